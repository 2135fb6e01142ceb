// FTP over TLS as the window does it: the scheme, the certificate question, the log and the padlock.
#include "CertificateQuestion.h"
#include "HostKeyQuestion.h"
#include "KnownCertificates.h"
#include "MainWindowFixture.h"
#include "TestCertificate.h"
#include "WidgetPrompter.h"

#include <QApplication>

class TestTlsWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestCertificate m_cert;

    static QString knownFile(const MainWindowFixture &f) { return f.state.folders.app + KnownCertificates::fileName(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_cert = TestCertificate::make(m_dir.path(), "window-test");
        QVERIFY2(m_cert.error.isEmpty(), qPrintable(m_cert.error));
    }

    void certificateQuestionFromTheWindow()
    {
        const QString record = m_dir.filePath("window.txt");
        auto server = std::make_unique<TestFtpServer>(QStringList{"--tls", m_cert.pemPath, "--commands", record});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(server->writeFile("readme.txt", "hello\n"));
        MainWindowFixture f;

        // Cancel: no connection, and the server never saw the user name or the password.
        f.prompter->choices = {2};
        QVERIFY(!f.connect(*server, "ftpes://127.0.0.1"));
        QCOMPARE(f.prompter->choiceButtons.size(), 1);
        QCOMPARE(f.prompter->choiceButtons[0], QStringList({"Trust once", "Always trust", "Cancel"}));
        const QString question = f.prompter->shown[0].text;
        QVERIFY2(question.contains("could not be verified"), qPrintable(question));
        QVERIFY(question.contains(FtpCertificate::fingerprintText(m_cert.sha256)));
        QCOMPARE(commandsIn(record), QStringList{"AUTH TLS"});
        QVERIFY(!QFile::exists(knownFile(f)));
        f.prompter->shown.clear();

        // Trust once: connected and listed under TLS; the log shows the protection commands.
        f.prompter->choices = {0};
        QVERIFY(f.connect(*server, "ftpes://127.0.0.1"));
        QVERIFY(f.remoteNames().contains("readme.txt"));
        const QStringList lines = f.logLines();
        for (const char *command : {"Command: AUTH TLS", "Command: PBSZ 0", "Command: PROT P"})
            QVERIFY2(lines.contains(command), command);
        QVERIFY(lines.filter(QRegularExpression("^The connection is encrypted \\(TLS")).size() == 1);
        QVERIFY(lines.filter("does not support FTP over TLS").isEmpty() && !f.logText().contains(server->password()));
        QVERIFY(!QFile::exists(knownFile(f)));
        f.window->remotePane().btnDisconnect_Click();
        // ... and asked again next time: Always trust stores it.
        f.prompter->choices = {1};
        QVERIFY(f.connect(*server, "ftpes://127.0.0.1"));
        QCOMPARE(f.prompter->choiceButtons.size(), 3);
        QCOMPARE(KnownCertificates(knownFile(f)).find("127.0.0.1", server->port()), m_cert.sha256);
        f.window->remotePane().btnDisconnect_Click();
        // Not asked again: also for a plain ftp:// address of the same host and port.
        QVERIFY(f.connect(*server, "127.0.0.1"));
        QCOMPARE(f.prompter->choiceButtons.size(), 3);
        f.window->remotePane().btnDisconnect_Click();
    }

    // The real box: Enter and Escape both mean Cancel, even for a certificate that CHANGED;
    // trusting takes a deliberate click.
    void enterAndEscapeOnTheCertificateBoxCancel_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void enterAndEscapeOnTheCertificateBoxCancel()
    {
        QFETCH(int, key);
        FtpCertificate certificate;
        certificate.host = "example.org";
        certificate.port = 21;
        certificate.sha256 = QByteArray(32, '\x5a');
        const KnownCertificates known(m_dir.filePath("box-known"));
        QVERIFY(known.remember(certificate.host, certificate.port, QByteArray(32, '\x11')));
        WidgetPrompter prompter(nullptr);
        bool pressed = false;
        QTimer::singleShot(50, [&] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(box);
            QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(key));
            pressed = true;
        });
        QCOMPARE(CertificateQuestion::ask(certificate, known, prompter), FtpTrust::Cancel);
        QVERIFY(pressed);
        QCOMPARE(known.find(certificate.host, certificate.port), QByteArray(32, '\x11'));
    }

    // A key's passphrase is typed into the real box masked.
    void thePassphraseBoxIsMasked()
    {
        WidgetPrompter prompter(nullptr);
        QLineEdit::EchoMode shown = QLineEdit::Normal;
        QTimer::singleShot(50, [&shown] {
            QWidget *box = QApplication::activeModalWidget();
            auto *field = box ? box->findChild<QLineEdit *>() : nullptr;
            if (!field)
                return;
            shown = field->echoMode();
            QTest::keyClicks(field, "s3cret");
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(HostKeyQuestion::passphraseQuestion(prompter)("/k"), QString("s3cret"));
        QCOMPARE(shown, QLineEdit::Password);
    }

    // What the scheme asks for is kept to (the rules are the session's and the settings' own): ftpes://
    // to a server without TLS is refused with the reason, nothing sent in clear.
    void schemesInTheServerField()
    {
        MainWindowFixture f;
        const QString record = m_dir.filePath("plain.txt");
        TestFtpServer plain({"--commands", record});
        QVERIFY2(plain.isRunning(), qPrintable(plain.errorText()));
        QVERIFY(!f.connect(plain, "FTPES://127.0.0.1"));
        QVERIFY2(f.prompter->shown.value(0).text.contains("does not support FTP over TLS"),
                 qPrintable(f.prompter->shown.value(0).text));
        QCOMPARE(commandsIn(record), QStringList{"AUTH TLS"});
    }

    // The status bar's padlock: closed with the protocol, cipher and fingerprint under TLS (also
    // when the certificate was trusted before), open and red in clear, gone when disconnected.
    void thePadlockTellsHowTheConnectionTravels()
    {
        const auto hasRed = [](const QPixmap &p) {
            return anyPixel(p, [](QColor c) { return c.red() > 180 && c.green() < 80; });
        };
        TestFtpServer tls({"--tls", m_cert.pemPath});
        TestFtpServer plain;
        QVERIFY(tls.isRunning() && plain.isRunning());
        MainWindowFixture f;
        f.window->show();
        auto *padlock = f.window->findChild<QLabel *>("padlock");
        QVERIFY(padlock && !padlock->isVisible());
        const QRegularExpression encrypted("^Encrypted \\(TLSv?1\\.[23], \\S+\\)\nCertificate SHA-256: ");
        for (int choice : {1, -1}) { // Always trust, then not asked
            f.prompter->choices = {choice};
            QVERIFY(f.connect(tls, "ftpes://127.0.0.1"));
            QVERIFY(padlock->isVisible());
            QVERIFY2(padlock->toolTip().contains(encrypted), qPrintable(padlock->toolTip()));
            QVERIFY(padlock->toolTip().endsWith(FtpCertificate::fingerprintText(m_cert.sha256)));
            QVERIFY(!hasRed(padlock->pixmap()));
            f.window->remotePane().btnDisconnect_Click();
            QVERIFY(!padlock->isVisible());
        }
        QCOMPARE(f.prompter->choiceButtons.size(), 1);
        QVERIFY(f.connect(plain, "127.0.0.1") && padlock->isVisible());
        QVERIFY2(padlock->toolTip().contains("travel in clear"), qPrintable(padlock->toolTip()));
        QVERIFY(hasRed(padlock->pixmap()));
        // A new connection that fails leaves no padlock of the old one.
        f.prompter->answers = {Prompter::Answer::Ok};
        QVERIFY(!f.connect(plain, "127.0.0.1:1")); // nothing listens there
        QVERIFY(!padlock->isVisible());
    }
};

QTEST_MAIN(TestTlsWindow)
#include "tst_tls_window.moc"
