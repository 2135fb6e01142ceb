// How an address chooses the connection's protocol and protection, the store of always-trusted
// certificates and the questions about a certificate or an SSH host key, without a server.

#include "CertificateQuestion.h"
#include "ConnectionSettings.h"
#include "HostKeyQuestion.h"
#include "KnownCertificates.h"
#include "ScriptedPrompter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(FtpSecurity)

class TestTlsSettings : public QObject
{
    Q_OBJECT

private slots:
    void serverFieldChoosesProtectionAndPort_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("portField");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<FtpSecurity>("security");
        QTest::newRow("bare host") << "ftp.example.org" << "21" << "ftp.example.org" << 21 << FtpSecurity::Auto;
        QTest::newRow("ftp:// with port and folder") << "FTP://h:2121/pub/" << "21" << "h" << 2121 << FtpSecurity::Auto;
        QTest::newRow("ftpes://") << "ftpes://Host" << "21" << "Host" << 21 << FtpSecurity::Explicit;
        QTest::newRow("ftps:// takes 990") << "ftps://h" << "21" << "h" << 990 << FtpSecurity::Implicit;
        QTest::newRow("ftps:// keeps a chosen port field") << "ftps://h" << "2990" << "h" << 2990 << FtpSecurity::Implicit;
        QTest::newRow("ftps:// port in the address") << "ftps://h:4990" << "21" << "h" << 4990 << FtpSecurity::Implicit;
        QTest::newRow("bracketed IPv6 with port") << "[::1]:2121" << "21" << "::1" << 2121 << FtpSecurity::Auto;
        QTest::newRow("bare IPv6") << "::1" << "2121" << "::1" << 2121 << FtpSecurity::Auto;
        QTest::newRow("ftpes:// IPv6") << "ftpes://[fe80::1]" << "21" << "fe80::1" << 21 << FtpSecurity::Explicit;
        QTest::newRow("sftp:// takes 22") << "sftp://h" << "21" << "h" << 22 << FtpSecurity::Auto;
        QTest::newRow("sftp:// keeps a chosen port field") << "sftp://h" << "2222" << "h" << 2222 << FtpSecurity::Auto;
        QTest::newRow("SFTP:// IPv6, port 21 given") << "SFTP://[::1]:21/" << "22" << "::1" << 21 << FtpSecurity::Auto;
    }
    void serverFieldChoosesProtectionAndPort()
    {
        QFETCH(QString, field);
        QFETCH(QString, portField);
        QString problem;
        const auto s = ConnectionSettings::fromFields(field, portField, "u", "p", "", "0", "0", false, &problem);
        QVERIFY2(s, qPrintable(problem));
        QTEST(s->host, "host");
        QTEST(int(s->port), "port");
        QTEST(s->security, "security");
        QCOMPARE(s->protocol == RemoteProtocol::Sftp, field.startsWith("sftp://", Qt::CaseInsensitive));
    }

    void unusableAddressesAreRefusedWithAReason()
    {
        QString problem;
        QVERIFY(!ConnectionSettings::fromFields("http://h", "21", "u", "p", "", "0", "0", false, &problem));
        QVERIFY2(problem.contains("\"http://\"") && problem.contains("sftp://"), qPrintable(problem));
        QVERIFY(!ConnectionSettings::fromFields("h:99999", "21", "u", "p", "", "0", "0", false, &problem));
        QVERIFY2(problem.contains("port"), qPrintable(problem));
        QVERIFY(!ConnectionSettings::fromFields("[::1", "21", "u", "p", "", "0", "0", false, &problem));
    }

    void linksKeepTheirScheme()
    {
        const auto implicit = ConnectionUrl::parse("ftps://u:p@h/pub");
        QVERIFY(implicit);
        QCOMPARE(implicit->security, FtpSecurity::Implicit);
        QCOMPARE(implicit->port, QString("990"));
        QCOMPARE(implicit->serverField(), QString("ftps://h"));
        QCOMPARE(implicit->path, QString("/pub"));
        const auto required = ConnectionUrl::parse("FTPES://[::1]:2121/");
        QVERIFY(required);
        QCOMPARE(required->serverField(), QString("ftpes://[::1]"));
        QCOMPARE(required->port, QString("2121"));
        // What the field shows reads back the same way.
        const auto again = ConnectionSettings::fromFields(required->serverField(), required->port, "u", "p", "", "0",
                                                          "0", false, nullptr);
        QVERIFY(again);
        QCOMPARE(again->host, QString("::1"));
        QCOMPARE(again->security, FtpSecurity::Explicit);
        QCOMPARE(ConnectionUrl::parse("ftp://h/")->serverField(), QString("h"));
        // A user without a password keeps the name; no user at all is anonymous.
        QCOMPARE(ConnectionUrl::parse("ftp://bob@h/")->user, QString("bob"));
        const auto anonymous = ConnectionUrl::parse("ftp://h");
        QCOMPARE(anonymous->user + ' ' + anonymous->port, QString("anonymous 21"));
        QVERIFY(!ConnectionUrl::parse("http://h/"));
        QVERIFY(!ConnectionUrl::parse("h"));
        // sftp:// keeps its scheme and port 22 through the fields; without a user, the local one, as ssh does.
        const auto ssh = ConnectionUrl::parse("sftp://ann@h/home/ann");
        QCOMPARE(QStringList({ssh->serverField(), ssh->port, ssh->user, ssh->path}),
                 QStringList({"sftp://h", "22", "ann", "/home/ann"}));
        const auto sshAgain =
            ConnectionSettings::fromFields(ssh->serverField(), ssh->port, "u", "", "", "0", "0", false, nullptr);
        QVERIFY(sshAgain && sshAgain->protocol == RemoteProtocol::Sftp && sshAgain->port == 22);
        qputenv("USER", "localname");
        const auto local = ConnectionUrl::parse("sftp://h:2222");
        QCOMPARE(local->user + ' ' + local->password + local->port, QString("localname 2222"));
    }

    void knownCertificatesFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("known_certificates");
        const KnownCertificates known(path);
        const QByteArray a(32, '\x11'), b(32, '\x22'), c(32, '\x33');
        QVERIFY(known.find("h", 21).isEmpty()); // no file yet
        QVERIFY(known.remember("Host.Example", 21, a));
        QVERIFY(known.remember("other", 990, b));
        QCOMPARE(known.find("host.example", 21), a); // names are not case-sensitive
        QVERIFY(known.find("host.example", 990).isEmpty()); // another port is another server
        QVERIFY(known.remember("HOST.example", 21, c));      // replaced, not added
        QCOMPARE(known.find("host.example", 21), c);
        QCOMPARE(known.find("other", 990), b);
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600)); // the user's alone
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QCOMPARE(text.count('\n'), 2);
        f.close();
        // Lines that are not entries (a hand edit, a cut digest) are skipped, not trusted.
        QVERIFY(f.open(QIODevice::Append));
        f.write("garbage\nhost.example 21 3333\nbad 0 " + a.toHex() + "\n");
        f.close();
        QCOMPARE(known.find("host.example", 21), c);
        QVERIFY(known.find("bad", 0).isEmpty());
        // A folder that cannot be written: false, with the reason.
        QString error;
        QVERIFY(!KnownCertificates(dir.filePath("missing/known")).remember("h", 21, a, &error));
        QVERIFY(error.contains("Could not store"));
    }

    void questionAnswersAndStore()
    {
        QTemporaryDir dir;
        const KnownCertificates known(dir.filePath("known"));
        FtpCertificate cert;
        cert.host = "h";
        cert.port = 21;
        cert.subject = "h.example";
        cert.issuer = "Some CA";
        cert.sha256 = QByteArray(32, '\x42');
        ScriptedPrompter prompter;
        prompter.choices = {0, 1, 2};
        QCOMPARE(CertificateQuestion::ask(cert, known, prompter), FtpTrust::Once);
        QVERIFY(known.find("h", 21).isEmpty());
        QCOMPARE(CertificateQuestion::ask(cert, known, prompter), FtpTrust::Always);
        QCOMPARE(known.find("h", 21), cert.sha256);
        QCOMPARE(CertificateQuestion::ask(cert, known, prompter), FtpTrust::Cancel);
        QCOMPARE(CertificateQuestion::ask(cert, known, prompter), FtpTrust::Cancel); // closed box: the way out
        QVERIFY(!prompter.shown[0].text.contains("CHANGED"));
        cert.sha256 = QByteArray(32, '\x43');
        CertificateQuestion::ask(cert, known, prompter);
        QVERIFY(prompter.shown.last().text.contains("CHANGED"));
        QVERIFY(prompter.shown.last().text.contains("43:43:43"));
    }

    // Cancel is the way out of both questions; a changed key warns first, an unknown one does not.
    void hostKeyQuestionAnswersAndWarnings()
    {
        SshHostKey key{"h.example", 2222, "ssh-ed25519", "SHA256:AAAAC3NzaC1lZDI1NTE5AAAAIOMq"};
        ScriptedPrompter prompter;
        prompter.choices = {0, 1, 2};
        QList<SshTrust> answers;
        for (int i = 0; i < 4; ++i) // the fourth box is closed: the way out
            answers << HostKeyQuestion::ask(key, prompter);
        QCOMPARE(answers, QList<SshTrust>({SshTrust::Once, SshTrust::Always, SshTrust::Cancel, SshTrust::Cancel}));
        QCOMPARE(prompter.choiceButtons.last().last(), QString("Cancel"));
        const QString unknown = prompter.shown[0].text;
        for (const char *part : {"h.example port 2222", "ssh-ed25519", "SHA256:AAAAC3NzaC1lZDI1NTE5AAAAIOMq"})
            QVERIFY2(unknown.contains(part), part);
        QVERIFY(!unknown.contains("CHANGED") && !unknown.contains("between"));
        key.state = SshHostKey::State::Changed;
        key.port = 22;
        HostKeyQuestion::ask(key, prompter);
        const QString changed = prompter.shown.last().text;
        QVERIFY2(changed.startsWith("WARNING: THE SERVER'S HOST KEY HAS CHANGED.") &&
                     changed.contains("between this program and the server") && !changed.contains("port 22") &&
                     changed.contains(key.fingerprint),
                 qPrintable(changed));
        // A key's passphrase is asked masked, never through the plain input box.
        prompter.inputs = {"in clear"};
        prompter.secrets = {"s3cret"};
        QCOMPARE(HostKeyQuestion::passphraseQuestion(prompter)("/home/u/.ssh/id_ed25519"), QString("s3cret"));
        QCOMPARE(prompter.prompts.last(), QString("Passphrase for the key /home/u/.ssh/id_ed25519:"));
    }
};

QTEST_GUILESS_MAIN(TestTlsSettings)
#include "tst_tls_settings.moc"
