// FTP over TLS against a real server (pyftpdlib's TLS handler on 127.0.0.1, certificates made by
// openssl at test time): explicit and implicit TLS, protected data in both modes, servers without
// TLS or without PROT P, the certificate question, servers that insist on session reuse, and cut
// data connections. Then vsftpd, when we run as root (it changes its root folder and user per
// session): it requires the data connections to resume the control connection's TLS session
// (require_ssl_reuse) and closes one only after both sides sent close_notify.

#include "TestCertificate.h"
#include "support/FtpTestKit.h"

#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace FtpTestKit;

Q_DECLARE_METATYPE(FtpSecurity)

class TestFtps : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TestCertificate m_cert;  // "127.0.0.1" is not its name: never verifiable
    TestCertificate m_other; // another server's, or a changed one
    QProcess m_vsftpd;
    quint16 m_vsftpdPort = 0; // 0: not running

    // The server's arguments for TLS with the test certificate, then extra.
    QStringList tls(const QStringList &extra = {}) const { return QStringList{"--tls", m_cert.pemPath} + extra; }

    // ftpes:// with the test certificate trusted already.
    FtpOptions trusted(const TestFtpServer &server, bool passive = true) const
    {
        FtpOptions o = options(server, passive, FtpSecurity::Explicit);
        o.trustedCertificate = m_cert.sha256;
        return o;
    }

    QString commandsFile(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    static QStringList commandsIn(const QString &path) // what the server's --commands recorded
    {
        return QFile::exists(path) ? QString::fromUtf8(contentOf(path)).split('\n', Qt::SkipEmptyParts) : QStringList();
    }

    static QStringList logOf(const FtpSession &session, FtpSession::LogLine::Kind kind)
    {
        QStringList texts;
        for (const auto &line : session.loginLog())
            if (line.kind == kind)
                texts.append(line.text.trimmed());
        return texts;
    }

    // Accepts the test certificate once, counting the questions.
    static FtpCertificateCheck trustOnce(int *asked, FtpTrust answer = FtpTrust::Once, FtpCertificate *seen = nullptr)
    {
        return [=](const FtpCertificate &c) {
            ++*asked;
            if (seen)
                *seen = c;
            return answer;
        };
    }

    // Listing and both transfers, checked byte for byte; the whole-file calls, and an empty file.
    void exerciseData(FtpSession &session, TestFtpServer &server)
    {
        const QByteArray data = pattern(3 * 1024 * 1024 + 11);
        QVERIFY(server.writeFile("down.bin", data));
        QList<FtpEntry> entries;
        QVERIFY2(session.list(QString(), entries), qPrintable(session.lastResponseInfo()));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, QStringLiteral("down.bin"));
        QVERIFY(download(session, "down.bin") == data);
        QVERIFY2(upload(session, "up.bin", data), qPrintable(session.lastResponseInfo()));
        QVERIFY(server.readFile("up.bin") == data);
        const QString local = m_dir.filePath("copy.bin");
        QVERIFY2(session.getFile("up.bin", local, FtpTransferType::Binary), qPrintable(session.lastResponseInfo()));
        QVERIFY(contentOf(local) == data);
        QVERIFY(upload(session, "empty.bin", {}));
        QVERIFY(download(session, "empty.bin").isEmpty());
    }

    // vsftpd serves m_dir/served to anonymous users, over TLS only, uploads into "up": it refuses a
    // root its user can write to.
    void startVsftpd()
    {
        const QString served = m_dir.filePath("served");
        QVERIFY(QDir().mkpath(served + "/up") && QDir().mkpath(m_dir.filePath("empty")));
        for (const QString &path : {m_dir.path(), served})
            QFile::setPermissions(path, QFile::Permissions(0x7055));
        QFile::setPermissions(served + "/up", QFile::Permissions(0x7777));
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 port = probe.serverPort();
        probe.close();
        const QString config =
            QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                           "background=NO\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
                           "anon_root=%2\nwrite_enable=YES\nanon_upload_enable=YES\nanon_umask=022\n"
                           "secure_chroot_dir=%3\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                           "connect_from_port_20=NO\nxferlog_enable=NO\nssl_enable=YES\n"
                           "rsa_cert_file=%4\nrsa_private_key_file=%5\nallow_anon_ssl=YES\n"
                           "force_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\nrequire_ssl_reuse=YES\n")
                .arg(port)
                .arg(served, m_dir.filePath("empty"), m_dir.filePath("ftps-test.crt"), m_dir.filePath("ftps-test.key"));
        QVERIFY(writeFile(m_dir.filePath("vsftpd.conf"), config.toUtf8()));
        m_vsftpd.setProcessChannelMode(QProcess::MergedChannels);
        m_vsftpd.start("/usr/sbin/vsftpd", {m_dir.filePath("vsftpd.conf")});
        QVERIFY(m_vsftpd.waitForStarted(5000));
        const auto greets = [port] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(500) && probe.waitForReadyRead(1000) && probe.readAll().startsWith("220");
        };
        QTRY_VERIFY2_WITH_TIMEOUT(greets(), m_vsftpd.readAll().constData(), 10000);
        m_vsftpdPort = port;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_cert = TestCertificate::make(m_dir.path(), "ftps-test");
        QVERIFY2(m_cert.error.isEmpty(), qPrintable(m_cert.error));
        m_other = TestCertificate::make(m_dir.path(), "ftps-other");
        QVERIFY2(m_other.error.isEmpty(), qPrintable(m_other.error));
        QVERIFY(m_cert.sha256 != m_other.sha256);
        if (::geteuid() == 0 && QFile::exists("/usr/sbin/vsftpd"))
            startVsftpd();
    }

    void cleanupTestCase()
    {
        m_vsftpd.kill();
        m_vsftpd.waitForFinished(3000);
    }

    void explicitTlsProtectsLoginAndData_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<FtpSecurity>("security");
        QTest::newRow("ftp:// passive") << true << FtpSecurity::Auto;
        QTest::newRow("ftpes:// active") << false << FtpSecurity::Explicit;
    }
    void explicitTlsProtectsLoginAndData()
    {
        QFETCH(bool, passive);
        QFETCH(FtpSecurity, security);
        // Required on the server: a client that sent anything secret in clear would be refused, and
        // every data connection (six in exerciseData) must resume the control connection's session.
        TestFtpServer server(tls({"--tls-required", "--reuse-required"}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        int asked = 0;
        session.setCertificateCheck(trustOnce(&asked));
        QVERIFY2(session.open(options(server, passive, security)), qPrintable(session.lastResponseInfo()));
        QCOMPARE(asked, 1);
        QVERIFY(session.isEncrypted() && session.protectsData());
        // The first attempt stopped at the certificate; the second went on once it was accepted.
        QCOMPARE(logOf(session, FtpSession::LogLine::Command),
                 QStringList({"AUTH TLS", "AUTH TLS", "USER " + server.user(), "PASS ********", "PBSZ 0", "PROT P",
                              "FEAT", "OPTS UTF8 ON"}));
        QVERIFY(logOf(session, FtpSession::LogLine::Warning).isEmpty());
        const QString replies = logOf(session, FtpSession::LogLine::Reply).join('\n');
        QVERIFY2(replies.contains("234 ") && replies.contains("230 ") && !replies.contains(server.password()),
                 qPrintable(replies));
        exerciseData(session, server);
        // Typed protection commands would leave the two sides disagreeing: refused, not sent.
        for (const char *typed : {"PROT C", "ccc", "AUTH TLS"}) {
            QVERIFY(!session.command(QString::fromLatin1(typed)));
            QVERIFY(session.lastResponseInfo().startsWith("Refused:"));
        }
        QList<FtpEntry> still;
        QVERIFY(session.list(QString(), still));
    }

    void serverWithoutTls()
    {
        const QString record = commandsFile("plain.txt");
        TestFtpServer server({"--commands", record});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        // ftp://: goes on in clear, and says so in the log.
        FtpSession session;
        int asked = 0;
        session.setCertificateCheck(trustOnce(&asked));
        QVERIFY2(session.open(options(server)), qPrintable(session.lastResponseInfo()));
        QVERIFY(!session.isEncrypted() && !session.protectsData());
        const QStringList warnings = logOf(session, FtpSession::LogLine::Warning);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains("does not support FTP over TLS") && warnings[0].contains("unencrypted"),
                 qPrintable(warnings[0]));
        QList<FtpEntry> entries;
        QVERIFY(session.list(QString(), entries));
        session.close();
        // ftpes://: a refusal ends it, and neither name nor password is sent.
        QFile::remove(record);
        FtpSession strict;
        QVERIFY(!strict.open(options(server, true, FtpSecurity::Explicit)));
        QVERIFY2(strict.lastResponseInfo().contains("does not support FTP over TLS"),
                 qPrintable(strict.lastResponseInfo()));
        QCOMPARE(commandsIn(record), QStringList{"AUTH TLS"});
        QCOMPARE(asked, 0);
        // An implicit-TLS client talking to a plain server fails within the time limit.
        FtpOptions implicit = options(server, true, FtpSecurity::Implicit);
        implicit.timeoutMs = 3000;
        QVERIFY(!strict.open(implicit));
        QVERIFY(!commandsIn(record).contains("USER tester"));
    }

    // PROT P refused: ftpes:// stops right there (no data connection in clear); ftp:// goes on in
    // clear and says so.
    void serverRefusingProtectedData_data()
    {
        QTest::addColumn<FtpSecurity>("security");
        QTest::newRow("ftpes://") << FtpSecurity::Explicit;
        QTest::newRow("ftp://") << FtpSecurity::Auto;
    }
    void serverRefusingProtectedData()
    {
        QFETCH(FtpSecurity, security);
        const QString record = commandsFile(security == FtpSecurity::Auto ? "noprot-auto.txt" : "noprot.txt");
        TestFtpServer server(tls({"--refuse-prot", "--commands", record}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        FtpOptions o = trusted(server);
        o.security = security;
        const bool strict = security == FtpSecurity::Explicit;
        QCOMPARE(session.open(o), !strict);
        QVERIFY(!session.protectsData());
        if (strict) {
            QVERIFY2(session.lastResponseInfo().contains("534 ") &&
                         session.lastResponseInfo().contains("data connections would not be encrypted"),
                     qPrintable(session.lastResponseInfo()));
            QCOMPARE(commandsIn(record).last(), QStringLiteral("PROT P")); // nothing after it
            return;
        }
        QVERIFY(!logOf(session, FtpSession::LogLine::Warning).filter("travel unencrypted").isEmpty());
        QList<FtpEntry> entries;
        QVERIFY(session.list(QString(), entries));
    }

    void implicitTlsOnChosenPort()
    {
        const QString record = commandsFile("implicit.txt");
        TestFtpServer server(tls({"--implicit", "--commands", record}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        FtpOptions o = trusted(server); // already trusted: no question
        o.security = FtpSecurity::Implicit;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.isEncrypted() && session.protectsData());
        QVERIFY(session.lastResponseInfo().startsWith("220 Test server ready."));
        QCOMPARE(commandsIn(record).mid(0, 4), QStringList({"USER tester", "PASS ****", "PBSZ 0", "PROT P"}));
        exerciseData(session, server);
    }

    void certificateQuestion()
    {
        const QString record = commandsFile("certificate.txt");
        TestFtpServer server(tls({"--commands", record}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        // Cancel: nothing secret leaves; the server saw AUTH TLS and nothing else.
        FtpSession session;
        FtpCertificate seen;
        int asked = 0;
        session.setCertificateCheck(trustOnce(&asked, FtpTrust::Cancel, &seen));
        QVERIFY(!session.open(options(server)));
        QCOMPARE(asked, 1);
        QCOMPARE(commandsIn(record), QStringList{"AUTH TLS"});
        QVERIFY2(session.lastResponseInfo().contains("not accepted"), qPrintable(session.lastResponseInfo()));
        QCOMPARE(seen.sha256, m_cert.sha256);
        QVERIFY2(seen.subject.contains("ftps-test") && seen.issuer.contains("ftps-test"), qPrintable(seen.issuer));
        QVERIFY(seen.notBefore.isValid() && seen.notAfter > QDateTime::currentDateTime());
        QVERIFY(!seen.problems.isEmpty());
        QCOMPARE(seen.host, server.host());
        QCOMPARE(seen.port, server.port());
        FtpSession unchecked; // no check at all behaves as Cancel
        QVERIFY(!unchecked.open(options(server, true, FtpSecurity::Explicit)));

        // Once: connects; the next connection asks again.
        asked = 0;
        session.setCertificateCheck(trustOnce(&asked));
        QVERIFY2(session.open(options(server)), qPrintable(session.lastResponseInfo()));
        QCOMPARE(asked, 1);
        QVERIFY(session.isEncrypted());
        QVERIFY(!logOf(session, FtpSession::LogLine::Note).filter("accepted").isEmpty());
        session.close();
        QVERIFY(session.open(options(server)));
        QCOMPARE(asked, 2);

        // Trusted before (what "Always trust" stores): not asked; another certificate is.
        asked = 0;
        QVERIFY(session.open(trusted(server)));
        QCOMPARE(asked, 0);
        FtpOptions changed = trusted(server);
        changed.trustedCertificate = m_other.sha256;
        QVERIFY(session.open(changed));
        QCOMPARE(asked, 1);
    }

    // A download dropped without close_notify after part of the data, and a 226 all the same.
    void cutDataConnectionIsATruncation()
    {
        TestFtpServer server(tls({"--cut-tls-retr", "100000"}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QByteArray data = pattern(1000000);
        QVERIFY(server.writeFile("whole.bin", data));
        FtpSession session;
        QVERIFY2(session.open(trusted(server)), qPrintable(session.lastResponseInfo()));
        const QString local = m_dir.filePath("cut.bin");
        // pyftpdlib refuses SIZE in ASCII mode, the type a connection starts in: the size must be
        // asked in binary for the shortfall to show.
        QVERIFY(!session.getFile("whole.bin", local, FtpTransferType::Binary));
        QVERIFY2(session.lastResponseInfo().contains(QRegularExpression("Only \\d+ of 1000000 bytes")),
                 qPrintable(session.lastResponseInfo()));
        QVERIFY(!QFile::exists(local));
        QVERIFY(session.isOpen()); // the connection stays usable
        QCOMPARE(session.fileSize("whole.bin"), qint64(data.size()));
    }

    // A listing has no size to hold it to: only close_notify tells that all of it came. A data
    // connection showing another certificate than the one the user accepted (someone in between)
    // must not carry it either.
    void listingsOnlyOverTheAcceptedWholeConnection_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("why");                                               // empty: the listing is taken
        QTest::newRow("cut") << QStringList{"--cut-tls-retr", "250"} << "close_notify"; // a few of ten entries
        QTest::newRow("with close_notify") << QStringList() << "";
        QTest::newRow("another certificate") << QStringList{"--data-cert", m_other.pemPath} << "426 ";
    }
    void listingsOnlyOverTheAcceptedWholeConnection()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, why);
        TestFtpServer server(tls(args));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        for (int i = 0; i < 10; ++i)
            QVERIFY(server.writeFile(QStringLiteral("entry-%1.txt").arg(i), "x"));
        FtpSession session;
        QVERIFY2(session.open(trusted(server)), qPrintable(session.lastResponseInfo()));
        QList<FtpEntry> entries;
        QCOMPARE(session.list("/", "*.*", entries), why.isEmpty());
        QCOMPARE(entries.size(), why.isEmpty() ? 10 : 0);
        QVERIFY2(why.isEmpty() || session.lastResponseInfo().contains(why), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.setCurrentDirectory("/")); // still in step
    }

    void vsftpdWithSessionReuse_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }
    void vsftpdWithSessionReuse()
    {
        QFETCH(bool, passive);
        if (!m_vsftpdPort)
            QSKIP("vsftpd runs only as root, with /usr/sbin/vsftpd installed");
        const QString served = m_dir.filePath("served");
        const QByteArray data = pattern(2 * 1024 * 1024 + 5);
        QVERIFY(writeFile(served + "/down.bin", data));
        FtpSession session;
        FtpOptions o = options("127.0.0.1", m_vsftpdPort, "anonymous", "tester@");
        o.passive = passive;
        o.security = FtpSecurity::Explicit;
        o.trustedCertificate = m_cert.sha256;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.protectsData());
        // Each listing is a new data connection, each must resume the session and send close_notify.
        QList<FtpEntry> entries;
        for (int i = 0; i < 3; ++i)
            QVERIFY2(session.list(QString(), entries), qPrintable(session.lastResponseInfo()));
        QVERIFY(std::any_of(entries.begin(), entries.end(), [](const FtpEntry &e) { return e.name == "down.bin"; }));
        const QString local = m_dir.filePath("copy.bin");
        QElapsedTimer clock;
        clock.start();
        QVERIFY2(session.getFile("down.bin", local, FtpTransferType::Binary), qPrintable(session.lastResponseInfo()));
        QVERIFY(clock.elapsed() < 5000); // not waiting out the time limit for the end of the data
        QVERIFY(contentOf(local) == data);
        const QString remote = passive ? "up/p.bin" : "up/a.bin"; // anonymous users may not overwrite
        QVERIFY2(upload(session, remote, data), qPrintable(session.lastResponseInfo()));
        QVERIFY(contentOf(served + '/' + remote) == data);
    }
};

QTEST_GUILESS_MAIN(TestFtps)
#include "tst_ftps.moc"
