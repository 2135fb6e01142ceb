// FTP over TLS against vsftpd, a server that requires the data connections to resume the control
// connection's TLS session (require_ssl_reuse) and that closes a data connection only after both
// sides sent close_notify. vsftpd needs root (it changes its root folder and user per session):
// without root or without vsftpd the test is skipped.

#include "FtpSession.h"
#include "TestCertificate.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestFtpsVsftpd : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_served;
    TestCertificate m_cert;
    QProcess m_server;
    quint16 m_port = 0;

    static quint16 freePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }

    FtpOptions options(bool passive) const
    {
        FtpOptions o;
        o.host = QStringLiteral("127.0.0.1");
        o.port = m_port;
        o.user = QStringLiteral("anonymous");
        o.password = QStringLiteral("tester@");
        o.passive = passive;
        o.timeoutMs = 10000;
        o.security = FtpSecurity::Explicit;
        o.trustedCertificate = m_cert.sha256;
        return o;
    }

    static QByteArray pattern(qsizetype size)
    {
        QByteArray data(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            data[i] = char((i * 7 + i / 509) & 0xff);
        return data;
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0 || !QFile::exists(QStringLiteral("/usr/sbin/vsftpd")))
            QSKIP("vsftpd runs only as root, with /usr/sbin/vsftpd installed");
        QVERIFY(m_dir.isValid());
        m_cert = TestCertificate::make(m_dir.path(), QStringLiteral("vsftpd-test"));
        QVERIFY2(m_cert.error.isEmpty(), qPrintable(m_cert.error));
        // vsftpd refuses a root its user can write to; uploads go to "up".
        m_served = m_dir.filePath(QStringLiteral("served"));
        QVERIFY(QDir().mkpath(m_served + QStringLiteral("/up")));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("empty"))));
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(m_served, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(m_served + QStringLiteral("/up"), QFile::Permissions(0x7777));
        QFile key(m_dir.filePath(QStringLiteral("vsftpd-test.key")));
        m_port = freePort();
        const QString config = QStringLiteral(
                                   "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                                   "background=NO\nanonymous_enable=YES\nlocal_enable=NO\nno_anon_password=YES\n"
                                   "anon_root=%2\nwrite_enable=YES\nanon_upload_enable=YES\nanon_umask=022\n"
                                   "secure_chroot_dir=%3\nseccomp_sandbox=NO\nisolate=NO\nisolate_network=NO\n"
                                   "connect_from_port_20=NO\nxferlog_enable=NO\nssl_enable=YES\n"
                                   "rsa_cert_file=%4\nrsa_private_key_file=%5\nallow_anon_ssl=YES\n"
                                   "force_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\nrequire_ssl_reuse=YES\n")
                                   .arg(m_port)
                                   .arg(m_served, m_dir.filePath(QStringLiteral("empty")),
                                        m_dir.filePath(QStringLiteral("vsftpd-test.crt")), key.fileName());
        QFile conf(m_dir.filePath(QStringLiteral("vsftpd.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write(config.toUtf8()) > 0);
        conf.close();
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(QStringLiteral("/usr/sbin/vsftpd"), {conf.fileName()});
        QVERIFY(m_server.waitForStarted(5000));
        // Up once it greets.
        QDeadlineTimer deadline(10000);
        bool greeted = false;
        while (!greeted && !deadline.hasExpired()) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            greeted = probe.waitForConnected(500) && probe.waitForReadyRead(1000) && probe.readAll().startsWith("220");
            if (!greeted)
                QTest::qWait(100);
        }
        QVERIFY2(greeted, m_server.readAll().constData());
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
        QFile source(m_served + QStringLiteral("/down.bin"));
        QVERIFY(source.open(QIODevice::WriteOnly) && source.write(data) == data.size());
        source.close();
        FtpSession session;
        QVERIFY2(session.open(options(passive)), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.protectsData());
        QList<FtpEntry> entries;
        // Each listing is a new data connection, each must resume the session; vsftpd also waits for
        // our close_notify before it ends the listing's connection.
        for (int i = 0; i < 3; ++i)
            QVERIFY2(session.list(QString(), entries), qPrintable(session.lastResponseInfo()));
        QStringList names;
        for (const FtpEntry &e : entries)
            names << e.name;
        QVERIFY2(names.contains(QStringLiteral("down.bin")), qPrintable(names.join(',')));
        const QString local = m_dir.filePath(passive ? QStringLiteral("p.bin") : QStringLiteral("a.bin"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY2(session.getFile(QStringLiteral("down.bin"), local, FtpTransferType::Binary),
                 qPrintable(session.lastResponseInfo()));
        QVERIFY(clock.elapsed() < 5000); // not waiting out the time limit for the end of the data
        QFile got(local);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QVERIFY(got.readAll() == data);
        const QString remote = passive ? QStringLiteral("up/p.bin") : QStringLiteral("up/a.bin");
        auto file = session.openFile(remote, FtpFile::Write, FtpTransferType::Binary);
        QVERIFY2(file, qPrintable(session.lastResponseInfo()));
        QCOMPARE(file->write(data.constData(), data.size()), data.size());
        QVERIFY2(file->close(), qPrintable(session.lastResponseInfo()));
        QFile stored(m_served + QLatin1Char('/') + remote);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.readAll() == data);
    }
};

QTEST_GUILESS_MAIN(TestFtpsVsftpd)
#include "tst_ftps_vsftpd.moc"
