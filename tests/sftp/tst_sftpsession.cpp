#include "SftpSession.h"
#include "TestSshServer.h"

#include <QtTest>

namespace {

// A session that trusts every host key once and logs in with the keys of clientKeyFolder().
struct Connected
{
    SftpSession session;
    QList<SshHostKey> asked;
    SshTrust answer = SshTrust::Once;

    Connected(const TestSshServer &server, const QString &sshFolder = {})
    {
        session.setSshFolder(sshFolder.isEmpty() ? server.clientKeyFolder() : sshFolder);
        session.setHostKeyCheck([this](const SshHostKey &key) {
            asked.append(key);
            return answer;
        });
    }
    bool open(const TestSshProcess &server, const QString &user, const QString &password = {})
    {
        FtpOptions options;
        options.host = server.host();
        options.port = server.port();
        options.user = user;
        options.password = password;
        options.protocol = RemoteProtocol::Sftp;
        options.timeoutMs = 10000;
        return session.open(options);
    }
};

QByteArray readAll(RemoteFile &file)
{
    QByteArray out;
    char buffer[10000];
    for (qint64 n; (n = file.read(buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    return out;
}

} // namespace

class TestSftpSession : public QObject
{
    Q_OBJECT
private slots:
    void browseAndMoveFilesOverSshd();
};

void TestSftpSession::browseAndMoveFilesOverSshd()
{
    TestSshServer server;
    if (!server.skipReason().isEmpty())
        QSKIP(qPrintable(server.skipReason()));
    QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
    QByteArray big(3 * 1024 * 1024 + 17, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i * 7 + i / 1000);
    QVERIFY(server.writeFile("sub/big.bin", big));
    Connected c(server);
    QVERIFY2(c.open(server, server.user()), qPrintable(c.session.lastResponseInfo()));
    QCOMPARE(c.asked.size(), 1);
    QVERIFY(c.asked[0].fingerprint.startsWith("SHA256:"));
    QCOMPARE(c.session.currentFolder(), server.rootPath());

    QList<FtpEntry> entries;
    QVERIFY(c.session.list(server.rootPath(), QString(), entries));
    QCOMPARE(entries.size(), 1);
    QVERIFY(entries[0].isFolder);
    QCOMPARE(c.session.fileSize(server.pathOf("sub/big.bin")), qint64(big.size()));

    auto file = c.session.openFile(server.pathOf("sub/big.bin"), RemoteFile::Read, FtpTransferType::Binary);
    QVERIFY(file);
    QVERIFY(c.session.isBusy());
    QCOMPARE(readAll(*file), big);
    QVERIFY2(file->close(), qPrintable(c.session.lastResponseInfo()));

    auto up = c.session.openFile(server.pathOf("up.bin"), RemoteFile::Write, FtpTransferType::Binary);
    QVERIFY(up);
    for (int at = 0; at < big.size(); at += 70000)
        QCOMPARE(up->write(big.constData() + at, qMin(70000, int(big.size() - at))), qint64(qMin(70000, int(big.size() - at))));
    QVERIFY(up->close());
    QCOMPARE(server.readFile("up.bin"), big);

    QVERIFY(!c.session.renameFile(server.pathOf("up.bin"), server.pathOf("sub/big.bin")));
    QVERIFY(c.session.renameFile(server.pathOf("up.bin"), server.pathOf("moved.bin")));
    QVERIFY(c.session.createDirectory(server.pathOf("made")));
    QVERIFY(c.session.setCurrentDirectory("made"));
    QCOMPARE(c.session.currentFolder(), server.pathOf("made"));
    QVERIFY(c.session.removeDirectory(server.pathOf("made")));
    QVERIFY(c.session.deleteFile(server.pathOf("moved.bin")));
    QVERIFY(!c.session.deleteFile(server.pathOf("moved.bin")));
    QCOMPARE(c.session.lastReplyCode(), 550);
}

QTEST_MAIN(TestSftpSession)
#include "tst_sftpsession.moc"
