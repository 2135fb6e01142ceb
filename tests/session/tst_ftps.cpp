// FTP over TLS against a real server (pyftpdlib's TLS handler on 127.0.0.1, certificates made by
// openssl at test time): explicit and implicit TLS, protected data in both modes, servers without
// TLS, the certificate question, servers that insist on session reuse, and cut data connections.


#include "FtpSession.h"
#include "TestCertificate.h"
#include "TestFtpServer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(FtpSecurity)

class TestFtps : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TestCertificate m_cert;  // "127.0.0.1" is not its name: never verifiable
    TestCertificate m_other; // another server's, or a changed one

    FtpOptions optionsFor(const TestFtpServer &server, FtpSecurity security, bool passive = true) const
    {
        FtpOptions o;
        o.host = server.host();
        o.port = server.port();
        o.user = server.user();
        o.password = server.password();
        o.passive = passive;
        o.timeoutMs = 10000;
        o.security = security;
        return o;
    }

    static QByteArray pattern(qsizetype size)
    {
        QByteArray data(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; ++i)
            data[i] = char((i * 131 + i / 251) & 0xff);
        return data;
    }

    QString commandsFile(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    static QStringList commandsIn(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    static QStringList logOf(const FtpSession &session, FtpSession::LogLine::Kind kind)
    {
        QStringList texts;
        for (const auto &line : session.loginLog()) {
            if (line.kind == kind)
                texts.append(line.text.trimmed());
        }
        return texts;
    }

    // Accepts the test certificate once, counting the questions.
    static FtpCertificateCheck trustOnce(int *asked, FtpCertificate *seen = nullptr)
    {
        return [asked, seen](const FtpCertificate &c) {
            ++*asked;
            if (seen)
                *seen = c;
            return FtpTrust::Once;
        };
    }

    static QByteArray download(FtpSession &session, const QString &path)
    {
        auto file = session.openFile(path, FtpFile::Read, FtpTransferType::Binary);
        if (!file)
            return "<open failed: " + session.lastResponseInfo().toUtf8() + ">";
        QByteArray out, buffer(64 * 1024, '\0');
        qint64 n = 0;
        while ((n = file->read(buffer.data(), buffer.size())) > 0)
            out += buffer.left(n);
        if (n < 0 || !file->close())
            return "<transfer failed: " + session.lastResponseInfo().toUtf8() + ">";
        return out;
    }

    static bool upload(FtpSession &session, const QString &path, const QByteArray &data)
    {
        auto file = session.openFile(path, FtpFile::Write, FtpTransferType::Binary);
        if (!file)
            return false;
        for (qint64 i = 0; i < data.size(); i += 100000) {
            const qint64 n = qMin<qint64>(100000, data.size() - i);
            if (file->write(data.constData() + i, n) != n)
                return false;
        }
        return file->close();
    }

    // Listing and both transfers, checked byte for byte.
    void exerciseData(FtpSession &session, TestFtpServer &server, bool passive)
    {
        const QByteArray data = pattern(3 * 1024 * 1024 + 11);
        QVERIFY(server.writeFile(QStringLiteral("down.bin"), data));
        QList<FtpEntry> entries;
        QVERIFY2(session.list(QString(), entries), qPrintable(session.lastResponseInfo()));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, QStringLiteral("down.bin"));
        QVERIFY(download(session, QStringLiteral("down.bin")) == data);
        QVERIFY2(upload(session, QStringLiteral("up.bin"), data), qPrintable(session.lastResponseInfo()));
        const QByteArray stored = server.readFile(QStringLiteral("up.bin"));
        if (stored != data) {
            qsizetype same = 0;
            while (same < qMin(stored.size(), data.size()) && stored[same] == data[same])
                ++same;
            qWarning() << "stored" << stored.size() << "of" << data.size() << "same up to" << same;
        }
        QVERIFY(stored == data);
        // The whole-file calls, and an empty file.
        const QString local = m_dir.filePath(passive ? QStringLiteral("p.bin") : QStringLiteral("a.bin"));
        QVERIFY2(session.getFile(QStringLiteral("up.bin"), local, FtpTransferType::Binary),
                 qPrintable(session.lastResponseInfo()));
        QFile f(local);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll() == data);
        QVERIFY(upload(session, QStringLiteral("empty.bin"), {}));
        QVERIFY(download(session, QStringLiteral("empty.bin")).isEmpty());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_cert = TestCertificate::make(m_dir.path(), QStringLiteral("ftps-test"));
        QVERIFY2(m_cert.error.isEmpty(), qPrintable(m_cert.error));
        m_other = TestCertificate::make(m_dir.path(), QStringLiteral("ftps-other"));
        QVERIFY2(m_other.error.isEmpty(), qPrintable(m_other.error));
        QVERIFY(m_cert.sha256 != m_other.sha256);
    }

    void explicitTlsProtectsLoginAndData_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<FtpSecurity>("security");
        QTest::newRow("ftp:// passive") << true << FtpSecurity::Auto;
        QTest::newRow("ftp:// active") << false << FtpSecurity::Auto;
        QTest::newRow("ftpes:// passive") << true << FtpSecurity::Explicit;
        QTest::newRow("ftpes:// active") << false << FtpSecurity::Explicit;
    }
    void explicitTlsProtectsLoginAndData()
    {
        QFETCH(bool, passive);
        QFETCH(FtpSecurity, security);
        const QString record = commandsFile(passive ? "explicit-p.txt" : "explicit-a.txt");
        // Required on the server: a client that sent anything secret in clear would be refused.
        TestFtpServer server({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--tls-required"),
                              QStringLiteral("--commands"), record});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        int asked = 0;
        session.setCertificateCheck(trustOnce(&asked));
        QVERIFY2(session.open(optionsFor(server, security, passive)), qPrintable(session.lastResponseInfo()));
        QCOMPARE(asked, 1);
        QVERIFY(session.isEncrypted());
        QVERIFY(session.protectsData());
        // The first attempt stopped at the certificate; the second went on once it was accepted.
        QCOMPARE(logOf(session, FtpSession::LogLine::Command),
                 QStringList({"AUTH TLS", "AUTH TLS", "USER " + server.user(), "PASS ********", "PBSZ 0", "PROT P",
                              "FEAT", "OPTS UTF8 ON"}));
        QVERIFY(logOf(session, FtpSession::LogLine::Warning).isEmpty());
        const QString replies = logOf(session, FtpSession::LogLine::Reply).join(QLatin1Char('\n'));
        QVERIFY2(replies.contains(QLatin1String("234 ")) && replies.contains(QLatin1String("230 ")), qPrintable(replies));
        QVERIFY(!replies.contains(server.password()));
        exerciseData(session, server, passive);
        // Typed protection commands would leave the two sides disagreeing: refused, not sent.
        for (const char *typed : {"PROT C", "ccc", "AUTH TLS"}) {
            QVERIFY(!session.command(QString::fromLatin1(typed)));
            QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("Refused:")));
        }
        QList<FtpEntry> still;
        QVERIFY(session.list(QString(), still));
        const QStringList commands = commandsIn(record);
        // The rejected first attempt stops at AUTH TLS; the accepted one goes on under TLS.
        QVERIFY2(commands.size() > 6, qPrintable(commands.join(QLatin1Char(','))));
        QCOMPARE(commands[0], QStringLiteral("AUTH TLS"));
        const qsizetype user = commands.indexOf(QStringLiteral("USER tester"));
        QCOMPARE(commands.mid(user - 1, 5), QStringList({QStringLiteral("AUTH TLS"), QStringLiteral("USER tester"),
                                                         QStringLiteral("PASS ****"), QStringLiteral("PBSZ 0"),
                                                         QStringLiteral("PROT P")}));
    }

    void serverWithoutTls()
    {
        const QString record = commandsFile("plain.txt");
        TestFtpServer server({QStringLiteral("--commands"), record});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        // ftp://: goes on in clear, and says so in the log.
        FtpSession session;
        int asked = 0;
        session.setCertificateCheck(trustOnce(&asked));
        QVERIFY2(session.open(optionsFor(server, FtpSecurity::Auto)), qPrintable(session.lastResponseInfo()));
        QVERIFY(!session.isEncrypted());
        QVERIFY(!session.protectsData());
        const QStringList warnings = logOf(session, FtpSession::LogLine::Warning);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains(QLatin1String("does not support FTP over TLS")) &&
                     warnings[0].contains(QLatin1String("unencrypted")),
                 qPrintable(warnings[0]));
        QList<FtpEntry> entries;
        QVERIFY(session.list(QString(), entries));
        session.close();
        // ftpes://: a refusal ends it, and neither name nor password is sent.
        QFile::remove(record);
        FtpSession strict;
        QVERIFY(!strict.open(optionsFor(server, FtpSecurity::Explicit)));
        QVERIFY2(strict.lastResponseInfo().contains(QLatin1String("does not support FTP over TLS")),
                 qPrintable(strict.lastResponseInfo()));
        QCOMPARE(commandsIn(record), QStringList{QStringLiteral("AUTH TLS")});
        QCOMPARE(asked, 0);
        // An implicit-TLS client talking to a plain server fails within the time limit.
        FtpOptions implicit = optionsFor(server, FtpSecurity::Implicit);
        implicit.timeoutMs = 3000;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!strict.open(implicit));
        QVERIFY(clock.elapsed() < 8000);
        QVERIFY(!commandsIn(record).contains(QStringLiteral("USER tester")));
    }

    void implicitTlsOnChosenPort()
    {
        const QString record = commandsFile("implicit.txt");
        TestFtpServer server({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--implicit"),
                              QStringLiteral("--commands"), record});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        FtpOptions o = optionsFor(server, FtpSecurity::Implicit);
        o.trustedCertificate = m_cert.sha256; // already trusted: no question
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.isEncrypted());
        QVERIFY(session.protectsData());
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("220 Test server ready.")));
        const QStringList commands = commandsIn(record);
        QVERIFY(!commands.contains(QStringLiteral("AUTH TLS")));
        QCOMPARE(commands.mid(0, 4), QStringList({QStringLiteral("USER tester"), QStringLiteral("PASS ****"),
                                                  QStringLiteral("PBSZ 0"), QStringLiteral("PROT P")}));
        exerciseData(session, server, true);
    }

    void certificateQuestion()
    {
        const QString record = commandsFile("certificate.txt");
        TestFtpServer server({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--commands"), record});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));

        // Cancel: nothing secret leaves; the server saw AUTH TLS and nothing else.
        FtpSession session;
        FtpCertificate seen;
        int asked = 0;
        session.setCertificateCheck([&](const FtpCertificate &c) {
            ++asked;
            seen = c;
            return FtpTrust::Cancel;
        });
        QVERIFY(!session.open(optionsFor(server, FtpSecurity::Auto)));
        QCOMPARE(asked, 1);
        QCOMPARE(commandsIn(record), QStringList{QStringLiteral("AUTH TLS")});
        QVERIFY2(session.lastResponseInfo().contains(QLatin1String("not accepted")), qPrintable(session.lastResponseInfo()));
        QCOMPARE(seen.sha256, m_cert.sha256);
        QCOMPARE(seen.fingerprint().size(), 32 * 3 - 1);
        QVERIFY2(seen.subject.contains(QLatin1String("ftps-test")), qPrintable(seen.subject));
        QVERIFY2(seen.issuer.contains(QLatin1String("ftps-test")), qPrintable(seen.issuer)); // self-signed
        QVERIFY(seen.notBefore.isValid() && seen.notAfter > QDateTime::currentDateTime());
        QVERIFY(!seen.problems.isEmpty());
        QCOMPARE(seen.host, server.host());
        QCOMPARE(seen.port, server.port());
        // No check at all behaves as Cancel.
        FtpSession unchecked;
        QVERIFY(!unchecked.open(optionsFor(server, FtpSecurity::Explicit)));

        // Once: connects; the next connection asks again.
        asked = 0;
        session.setCertificateCheck(trustOnce(&asked));
        QVERIFY2(session.open(optionsFor(server, FtpSecurity::Auto)), qPrintable(session.lastResponseInfo()));
        QCOMPARE(asked, 1);
        QVERIFY(session.isEncrypted());
        QVERIFY(!logOf(session, FtpSession::LogLine::Note).filter(QLatin1String("accepted")).isEmpty());
        session.close();
        QVERIFY(session.open(optionsFor(server, FtpSecurity::Auto)));
        QCOMPARE(asked, 2);

        // Trusted before (what "Always trust" stores): not asked; another certificate is.
        FtpOptions trusted = optionsFor(server, FtpSecurity::Auto);
        trusted.trustedCertificate = m_cert.sha256;
        asked = 0;
        QVERIFY(session.open(trusted));
        QCOMPARE(asked, 0);
        trusted.trustedCertificate = m_other.sha256;
        QVERIFY(session.open(trusted));
        QCOMPARE(asked, 1);
    }

    void serverRequiringSessionReuse_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::newRow("passive") << true;
        QTest::newRow("active") << false;
    }
    void serverRequiringSessionReuse()
    {
        QFETCH(bool, passive);
        TestFtpServer server({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--reuse-required")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        FtpOptions o = optionsFor(server, FtpSecurity::Explicit, passive);
        o.trustedCertificate = m_cert.sha256;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        exerciseData(session, server, passive);
        // Several data connections in a row, each resuming the same session.
        for (int i = 0; i < 3; ++i) {
            QList<FtpEntry> entries;
            QVERIFY2(session.list(QString(), entries), qPrintable(session.lastResponseInfo()));
        }
    }

    void dataConnectionWithAnotherCertificateIsRefused()
    {
        // The user accepted the control connection's certificate; a data connection showing another
        // one (someone in between) must not carry the listing.
        TestFtpServer server({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--data-cert"), m_other.pemPath});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        FtpSession session;
        FtpOptions o = optionsFor(server, FtpSecurity::Explicit);
        o.trustedCertificate = m_cert.sha256;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QList<FtpEntry> entries;
        QVERIFY(!session.list(QString(), entries));
        QVERIFY(entries.isEmpty());
    }

    void cutDataConnectionIsATruncation()
    {
        TestFtpServer server({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--cut-tls-retr"),
                              QStringLiteral("100000")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QByteArray data = pattern(1000000);
        QVERIFY(server.writeFile(QStringLiteral("whole.bin"), data));
        FtpSession session;
        FtpOptions o = optionsFor(server, FtpSecurity::Explicit);
        o.trustedCertificate = m_cert.sha256;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        const QString local = m_dir.filePath(QStringLiteral("cut.bin"));
        // The server says 226 and pyftpdlib refuses SIZE in ASCII mode, the type a connection starts in:
        // the size must be asked in binary for the shortfall to show.
        QVERIFY(!session.getFile(QStringLiteral("whole.bin"), local, FtpTransferType::Binary));
        QVERIFY2(session.lastResponseInfo().contains(QRegularExpression(QStringLiteral("Only \\d+ of 1000000 bytes"))),
                 qPrintable(session.lastResponseInfo()));
        QVERIFY(!QFile::exists(local));
        QVERIFY(session.isOpen()); // the connection stays usable
        QCOMPARE(session.fileSize(QStringLiteral("whole.bin")), qint64(data.size()));
    }

    // A listing has no size to hold it to: only close_notify tells that all of it came.
    void aListingCutWithoutCloseNotifyFails_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("cut") << true;
        QTest::newRow("with close_notify") << false;
    }
    void aListingCutWithoutCloseNotifyFails()
    {
        QFETCH(bool, cut);
        QStringList args{QStringLiteral("--tls"), m_cert.pemPath};
        if (cut) // a few of the ten entries
            args << QStringLiteral("--cut-tls-retr") << QStringLiteral("250");
        TestFtpServer server(args);
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        for (int i = 0; i < 10; ++i)
            QVERIFY(server.writeFile(QStringLiteral("entry-%1.txt").arg(i), "x"));
        FtpSession session;
        FtpOptions o = optionsFor(server, FtpSecurity::Explicit);
        o.trustedCertificate = m_cert.sha256;
        QVERIFY2(session.open(o), qPrintable(session.lastResponseInfo()));
        QList<FtpEntry> entries;
        QCOMPARE(session.list(QStringLiteral("/"), QStringLiteral("*.*"), entries), !cut);
        QCOMPARE(entries.size(), cut ? 0 : 10);
        QVERIFY2(session.lastResponseInfo().contains(QLatin1String("close_notify")) == cut,
                 qPrintable(session.lastResponseInfo()));
        QVERIFY(session.setCurrentDirectory(QStringLiteral("/"))); // still in step
    }
};

QTEST_GUILESS_MAIN(TestFtps)
#include "tst_ftps.moc"
