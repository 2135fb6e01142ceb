#include "SftpTestKit.h"

#include <QCryptographicHash>
#include <sys/stat.h>

namespace {

// The fingerprint OpenSSH prints for a known_hosts line: SHA-256 of the key, base64 unpadded.
QString fingerprintOf(const QString &hostKeyLine)
{
    const QByteArray blob = QByteArray::fromBase64(hostKeyLine.section(QLatin1Char(' '), 2, 2).toLatin1());
    return "SHA256:" +
           QCryptographicHash::hash(blob, QCryptographicHash::Sha256).toBase64(QByteArray::OmitTrailingEquals);
}

// A folder laid out like ~/.ssh holding only the named keys of the server's client folder.
bool copyKeys(const TestSshServer &server, const QString &to, const QStringList &names)
{
    return std::all_of(names.cbegin(), names.cend(), [&](const QString &name) {
        const QString from = server.clientKeyFolder() + '/' + name;
        return QFile::copy(from, to + '/' + name) && QFile::copy(from + ".pub", to + '/' + name + ".pub");
    });
}

} // namespace

class TestSftpSession : public QObject
{
    Q_OBJECT
private slots:
    void browseAndMoveFilesOverSshd();
    void unknownHostKeyIsAskedBeforeAnySecret();
    void knownHostsDecideTheQuestion_data();
    void knownHostsDecideTheQuestion();
    void passwordLogins_data();
    void passwordLogins();
    void keyLogins_data();
    void keyLogins();
};

// OpenSSH's server takes the large requests: a file both ways in blocks that straddle them.
void TestSftpSession::browseAndMoveFilesOverSshd()
{
    TestSshServer server;
    SSH_SERVER_UP(server);
    const QByteArray big = pattern(3 * 1024 * 1024 + 17);
    QVERIFY(server.writeFile("sub/big.bin", big));
    Connected c(server, server.clientKeyFolder());
    QVERIFY2(c.open(server.user()), qPrintable(c.session.lastResponseInfo()));
    QCOMPARE(c.session.currentFolder(), server.rootPath());
    QList<FtpEntry> entries;
    QVERIFY(c.session.list(server.rootPath(), QString(), entries) && entries.size() == 1 && entries[0].isFolder);
    auto file = c.session.openFile(server.pathOf("sub/big.bin"), RemoteFile::Read, FtpTransferType::Binary);
    QVERIFY(file && c.session.isBusy() && readAll(*file) == big && file->close());
    auto up = c.session.openFile(server.pathOf("up.bin"), RemoteFile::Write, FtpTransferType::Binary);
    for (qsizetype at = 0; up && at < big.size(); at += 70000)
        QVERIFY(up->write(big.constData() + at, qMin<qsizetype>(70000, big.size() - at)) > 0);
    QVERIFY(up && up->close() && server.readFile("up.bin") == big);
    // OpenSSH renames onto free names only; a folder is entered by a relative name.
    QVERIFY(!c.session.renameFile(server.pathOf("up.bin"), server.pathOf("sub/big.bin")));
    QVERIFY(c.session.createDirectory(server.pathOf("made")) && c.session.setCurrentDirectory("made"));
    QCOMPARE(c.session.currentFolder(), server.pathOf("made"));
    QVERIFY(c.session.deleteFile(server.pathOf("up.bin")) && !c.session.deleteFile(server.pathOf("up.bin")));
    QCOMPARE(c.session.lastReplyCode(), 550);
}

void TestSftpSession::unknownHostKeyIsAskedBeforeAnySecret()
{
    TestSftpScript server;
    SSH_SERVER_UP(server);
    const QString store = server.folder() + QStringLiteral("/config/trusted_keys");
    Connected c(server);
    c.session.setTrustedKeysFile(store);
    c.answer = SshTrust::Cancel;
    QVERIFY(!c.open(server.user(), server.password()));
    QCOMPARE(c.asked.size(), 1);
    QCOMPARE(c.asked[0].state, SshHostKey::State::Unknown);
    QCOMPARE(c.asked[0].type + ' ' + c.asked[0].fingerprint, "ssh-ed25519 " + fingerprintOf(server.hostKeyLine()));
    QCOMPARE(server.logins(), QString());

    c.answer = SshTrust::Once; // asked again on the next connection, never stored
    QVERIFY2(c.open(server.user(), server.password()) && c.open(server.user(), server.password()),
             qPrintable(c.shown()));
    QCOMPARE(c.asked.size(), 3);
    QVERIFY(!QFile::exists(store));
    QCOMPARE(server.logins(), QStringLiteral("password tester\npassword tester\n"));
    SftpSession transfer; // opened with what the first one was opened with, and asking nothing
    transfer.setSshFolder(server.folder());
    QVERIFY2(transfer.open(c.session.openedWith()), qPrintable(transfer.lastResponseInfo()));

    c.answer = SshTrust::Always;
    QVERIFY(c.open(server.user(), server.password()) && c.open(server.user(), server.password()));
    QCOMPARE(c.asked.size(), 4);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(store).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
}

void TestSftpSession::knownHostsDecideTheQuestion_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("changed");
    QTest::newRow("plain") << QStringList{} << false;
    QTest::newRow("hashed") << QStringList{"--hashed"} << false;
    QTest::newRow("changed") << QStringList{"--changed"} << true;
    QTest::newRow("changed, hashed") << QStringList{"--changed", "--hashed"} << true;
}

void TestSftpSession::knownHostsDecideTheQuestion()
{
    QFETCH(QStringList, args);
    QFETCH(bool, changed);
    QTemporaryDir ssh;
    TestSshServer server(QStringList{"--known-hosts", ssh.filePath("known_hosts")} + args);
    SSH_SERVER_UP(server);
    QVERIFY(copyKeys(server, ssh.path(), {"id_ed25519"}));
    Connected c(server, ssh.path());
    c.session.setTrustedKeysFile(ssh.filePath("trusted"));
    c.answer = SshTrust::Cancel;
    QCOMPARE(c.open(server.user()), !changed);
    QCOMPARE(c.asked.size(), changed ? 1 : 0);
    if (changed) { // refused unless the user deliberately answers the question marked changed
        QCOMPARE(c.asked[0].state, SshHostKey::State::Changed);
        QVERIFY(c.shown().contains("not the one on record"));
        c.answer = SshTrust::Always;
        QVERIFY(c.open(server.user()) && c.open(server.user()));
        QCOMPARE(c.asked.size(), 2);
    }
}

void TestSftpSession::passwordLogins_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("tried"); // the methods, as the server saw them
    const QString kbd = QStringLiteral("keyboard-interactive"), good = QStringLiteral("s3cret-Pw");
    QTest::newRow("password") << QStringList{"--only-methods", "password"} << good << "password";
    QTest::newRow("keyboard-interactive") << QStringList{"--only-methods", kbd} << good << kbd;
    QTest::newRow("two prompts") << QStringList{"--only-methods", kbd, "--two-prompts"} << good << kbd;
    QTest::newRow("wrong") << QStringList{} << "wrong-Pw9"
                           << "password," + kbd;
}

void TestSftpSession::passwordLogins()
{
    QFETCH(QStringList, args);
    QFETCH(QString, password);
    QFETCH(QString, tried);
    TestSftpScript server(args);
    SSH_SERVER_UP(server);
    Connected c(server);
    const bool ok = password == server.password();
    QCOMPARE(c.open(server.user(), password), ok);
    QCOMPARE(server.logins(), QString(tried).replace(',', " tester\n") + " tester\n");
    // The log names each method tried and its answer, never the password.
    const QString shown = c.shown();
    QVERIFY2(!shown.contains(password), qPrintable(shown));
    const QString last = tried.section(',', -1);
    QVERIFY2(shown.mid(shown.lastIndexOf("USERAUTH ")).startsWith("USERAUTH " + last + (ok ? "\n230 " : "\n530 ")),
             qPrintable(shown));
    QVERIFY(ok || (c.session.lastReplyCode() == 530 && shown.contains("USERAUTH password\n530 ") &&
                   c.session.lastResponseInfo().contains("password, keyboard-interactive")));
}

void TestSftpSession::keyLogins_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("agent");
    QTest::addColumn<QString>("passphrase");
    QTest::addColumn<QString>("accepted"); // the end of the login line that succeeded
    QTest::newRow("agent") << QStringList{} << true << QString() << "(keys of the SSH agent)";
    QTest::newRow("key file") << QStringList{"id_rsa"} << false << QString() << "/id_rsa";
    QTest::newRow("protected key") << QStringList{"id_ecdsa"} << false << "open-Sesame7"
                                   << "/id_ecdsa";
    QTest::newRow("wrong passphrase, next key") << QStringList{"id_ecdsa", "id_rsa"} << false << "nope"
                                                << "/id_rsa";
}

void TestSftpSession::keyLogins()
{
    QFETCH(QStringList, keys);
    QFETCH(bool, agent);
    QFETCH(QString, passphrase);
    QFETCH(QString, accepted);
    TestSshServer server;
    SSH_SERVER_UP(server);
    QTemporaryDir ssh;
    QVERIFY(copyKeys(server, ssh.path(), keys));
    // Only the test's agent, if any: an empty SSH_AUTH_SOCK is none.
    qputenv("SSH_AUTH_SOCK", agent ? server.startAgent().toLocal8Bit() : QByteArray());
    Connected c(server, ssh.path());
    QStringList askedFor;
    c.session.setPassphraseSource(
        [&](const QString &file) { return askedFor << QFileInfo(file).fileName(), passphrase; });
    QVERIFY2(c.open(server.user()), qPrintable(c.shown()));
    QCOMPARE(askedFor, keys.contains("id_ecdsa") ? QStringList{"id_ecdsa"} : QStringList{});
    QVERIFY2(c.shown().contains(accepted + "\n230 ") && !c.shown().contains(server.passphrase()),
             qPrintable(c.shown()));

    // A transfer connection opened with what the first one was opened with is not asked again
    // for the passphrase of the key taken (a key skipped is asked about, as on any new connection).
    SftpSession transfer;
    transfer.setSshFolder(ssh.path());
    transfer.setPassphraseSource([&](const QString &) { return askedFor << QStringLiteral("again"), QString(); });
    QVERIFY2(transfer.open(c.session.openedWith()), qPrintable(transfer.lastResponseInfo()));
    QCOMPARE(askedFor.count("again"), accepted == "/id_ecdsa" ? 0 : keys.count("id_ecdsa"));
}

QTEST_MAIN(TestSftpSession)
#include "tst_sftpsession.moc"
