// The SSH test servers checked with OpenSSH's own sftp client, so that a fault of the fixtures is
// not taken for one of our client.
#include "TestSshServer.h"
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>

namespace {

struct SftpRun
{
    int exitCode = -1;
    QString output; // stdout and stderr
};

// sftp -b BATCH as USER against PORT, checking the host key strictly against KNOWNHOSTS and logging
// in with IDENTITY (a key file), or with the agent at AGENTSOCKET when IDENTITY is empty.
SftpRun runSftp(quint16 port, const QString &user, const QString &knownHosts, const QString &identity,
                const QByteArray &batch, const QString &agentSocket = {})
{
    TestSupport::TempTree work;
    const QString batchFile = work.file("batch", batch);
    QStringList args{"-b", batchFile, "-P", QString::number(port), "-o", "BatchMode=yes", "-o",
                     "StrictHostKeyChecking=yes", "-o", "UserKnownHostsFile=" + knownHosts};
    if (identity.isEmpty())
        args << "-o" << "IdentityAgent=" + agentSocket << "-o" << "IdentityFile=none";
    else
        args << "-o" << "IdentityAgent=none" << "-o" << "IdentitiesOnly=yes" << "-o" << "IdentityFile=" + identity;
    QProcess sftp;
    sftp.setProcessChannelMode(QProcess::MergedChannels);
    sftp.setWorkingDirectory(work.path());
    sftp.start("sftp", args << user + "@127.0.0.1");
    sftp.waitForFinished(30000);
    return {sftp.exitStatus() == QProcess::NormalExit ? sftp.exitCode() : -1, QString::fromUtf8(sftp.readAll())};
}

} // namespace

class TestSshServers : public QObject
{
    Q_OBJECT

private slots:
    void sshdLogsInAndServes_data()
    {
        QTest::addColumn<QStringList>("known"); // extra server options writing known_hosts
        QTest::addColumn<QString>("key");       // client key file; empty: through the agent
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain entry, ed25519") << QStringList{} << "id_ed25519" << true;
        QTest::newRow("hashed entry, rsa") << QStringList{"--hashed"} << "id_rsa" << true;
        QTest::newRow("agent, protected ecdsa") << QStringList{} << "" << true;
        QTest::newRow("changed host key") << QStringList{"--changed"} << "id_ed25519" << false;
    }
    void sshdLogsInAndServes()
    {
        QFETCH(QStringList, known);
        QFETCH(QString, key);
        QFETCH(bool, accepted);
        TestSupport::TempTree client;
        const QString knownHosts = client / "known_hosts";
        TestSshServer server(QStringList{"--known-hosts", knownHosts} + known);
        if (!server.skipReason().isEmpty())
            QSKIP(qPrintable(server.skipReason()));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QCOMPARE(TestSupport::contentOf(knownHosts).contains(server.hostKeyLine().section(' ', 1).toLatin1()), !known.contains("--changed"));
        const QString agent = key.isEmpty() ? server.startAgent("id_ecdsa") : QString();
        QVERIFY(key.isEmpty() != agent.isEmpty());
        QVERIFY(server.writeFile("sub/file name.txt", "through sshd"));
        const SftpRun run = runSftp(server.port(), server.user(), knownHosts, key.isEmpty() ? QString() : server.clientKeyFolder() + '/' + key,
                                    "cd sub\nls\nget \"file name.txt\" " + (client / "got").toUtf8() + "\n", agent);
        QVERIFY2((run.exitCode == 0) == accepted, qPrintable(run.output));
        QCOMPARE(TestSupport::contentOf(client / "got"), accepted ? QByteArray("through sshd") : QByteArray("<missing>"));
        if (!accepted)
            QVERIFY2(run.output.contains("HOST IDENTIFICATION HAS CHANGED"), qPrintable(run.output));
    }

    // The scripted server lists generated entries and serves files to a key it was given.
    void scriptServes()
    {
        TestSupport::TempTree client;
        QVERIFY(QProcess::execute("ssh-keygen", {"-q", "-t", "ed25519", "-N", "", "-f", client / "key"}) == 0);
        TestSftpScript server({"--authorized-keys", client / "key.pub", "--many", "300"});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(TestSupport::writeFile(client / "known_hosts", server.hostKeyLine().toLatin1() + '\n'));
        QVERIFY(server.writeFile("a.bin", TestSupport::pattern(100000)));
        const SftpRun run = runSftp(server.port(), server.user(), client / "known_hosts", client / "key",
                                    "ls -1 many\nget a.bin " + (client / "got").toUtf8() + "\n");
        QVERIFY2(run.exitCode == 0, qPrintable(run.output));
        QCOMPARE(run.output.count("many/f0"), 300);
        QCOMPARE(TestSupport::contentOf(client / "got"), TestSupport::pattern(100000));
    }
};

QTEST_GUILESS_MAIN(TestSshServers)
#include "tst_sshservers.moc"
