// FTP over TLS against vsftpd, a server that requires the data connections to resume the control
// connection's TLS session (require_ssl_reuse) and that closes a data connection only after both
// sides sent close_notify. vsftpd needs root (it changes its root folder and user per session):
// without root or without vsftpd the test is skipped.

#include "TestCertificate.h"
#include "support/FtpTestKit.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace FtpTestKit;

class TestFtpsVsftpd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_served;
    TestCertificate m_cert;
    QProcess m_server;
    quint16 m_port = 0;

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0 || !QFile::exists("/usr/sbin/vsftpd"))
            QSKIP("vsftpd runs only as root, with /usr/sbin/vsftpd installed");
        QVERIFY(m_dir.isValid());
        m_cert = TestCertificate::make(m_dir.path(), "vsftpd-test");
        QVERIFY2(m_cert.error.isEmpty(), qPrintable(m_cert.error));
        // vsftpd refuses a root its user can write to; uploads go to "up".
        m_served = m_dir.filePath("served");
        QVERIFY(QDir().mkpath(m_served + "/up") && QDir().mkpath(m_dir.filePath("empty")));
        for (const QString &path : {m_dir.path(), m_served})
            QFile::setPermissions(path, QFile::Permissions(0x7055));
        QFile::setPermissions(m_served + "/up", QFile::Permissions(0x7777));
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
        probe.close();
        const QString config =
            QStringLiteral("listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                           "background=NO\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
                           "anon_root=%2\nwrite_enable=YES\nanon_upload_enable=YES\nanon_umask=022\n"
                           "secure_chroot_dir=%3\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                           "connect_from_port_20=NO\nxferlog_enable=NO\nssl_enable=YES\n"
                           "rsa_cert_file=%4\nrsa_private_key_file=%5\nallow_anon_ssl=YES\n"
                           "force_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\nrequire_ssl_reuse=YES\n")
                .arg(m_port)
                .arg(m_served, m_dir.filePath("empty"), m_dir.filePath("vsftpd-test.crt"),
                     m_dir.filePath("vsftpd-test.key"));
        QVERIFY(writeFile(m_dir.filePath("vsftpd.conf"), config.toUtf8()));
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start("/usr/sbin/vsftpd", {m_dir.filePath("vsftpd.conf")});
        QVERIFY(m_server.waitForStarted(5000));
        const auto greets = [this] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            return probe.waitForConnected(500) && probe.waitForReadyRead(1000) && probe.readAll().startsWith("220");
        };
        QTRY_VERIFY2_WITH_TIMEOUT(greets(), m_server.readAll().constData(), 10000);
    }

    void cleanupTestCase()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(3000))
                m_server.kill();
        }
    }

    void listAndTransferWithSessionReuse_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }
    void listAndTransferWithSessionReuse()
    {
        QFETCH(bool, passive);
        const QByteArray data = pattern(2 * 1024 * 1024 + 5);
        QVERIFY(writeFile(m_served + "/down.bin", data));
        FtpSession session;
        FtpOptions o = options("127.0.0.1", m_port, "anonymous", "tester@");
        o.passive = passive;
        o.security = FtpSecurity::Explicit;
        o.trustedCertificate = m_cert.sha256;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.protectsData());
        // Each listing is a new data connection, each must resume the session; vsftpd also waits for
        // our close_notify before it ends the listing's connection.
        QList<FtpEntry> entries;
        for (int i = 0; i < 3; ++i)
            QVERIFY2(session.list(QString(), entries), qPrintable(session.lastResponseInfo()));
        QVERIFY(std::any_of(entries.begin(), entries.end(), [](const FtpEntry &e) { return e.name == "down.bin"; }));
        const QString local = m_dir.filePath("copy.bin");
        QElapsedTimer clock;
        clock.start();
        QVERIFY2(session.getFile("down.bin", local, FtpTransferType::Binary), qPrintable(session.lastResponseInfo()));
        QVERIFY(clock.elapsed() < 5000); // not waiting out the time limit for the end of the data
        QVERIFY(readFile(local) == data);
        const QString remote = passive ? "up/p.bin" : "up/a.bin"; // anonymous users may not overwrite
        QVERIFY2(upload(session, remote, data), qPrintable(session.lastResponseInfo()));
        QVERIFY(readFile(m_served + '/' + remote) == data);
    }
};

QTEST_GUILESS_MAIN(TestFtpsVsftpd)
#include "tst_ftps_vsftpd.moc"
