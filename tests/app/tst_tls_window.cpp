// FTP over TLS as the main window does it: the scheme in the server field, the certificate question
// answered Cancel, Trust once and Always trust (stored, private, asked again when it changes), the
// log, and a queued download and upload over protected data.

#include "CertificateQuestion.h"
#include "KnownCertificates.h"
#include "MainWindowFixture.h"
#include "WidgetPrompter.h"
#include "tst_queue_fixture.h"
#include "TestCertificate.h"

#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

class TestTlsWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TestCertificate m_cert;
    TestCertificate m_renewed;

    static QStringList commandsIn(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    static bool connectTo(MainWindowFixture &f, const TestFtpServer &server, const QString &serverField)
    {
        f.fillConnection(server);
        f.window->txtServer->setText(serverField);
        f.window->remotePane().btnConnect_Click();
        return f.state.connected();
    }

    static QString knownFile(const MainWindowFixture &f)
    {
        return f.state.folders.app + KnownCertificates::fileName();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_cert = TestCertificate::make(m_dir.path(), QStringLiteral("window-test"));
        QVERIFY2(m_cert.error.isEmpty(), qPrintable(m_cert.error));
        m_renewed = TestCertificate::make(m_dir.path(), QStringLiteral("window-renewed"));
        QVERIFY2(m_renewed.error.isEmpty(), qPrintable(m_renewed.error));
    }

    void certificateQuestionFromTheWindow()
    {
        const QString record = m_dir.filePath(QStringLiteral("window.txt"));
        auto server = std::make_unique<TestFtpServer>(
            QStringList{QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--commands"), record});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(server->writeFile(QStringLiteral("readme.txt"), "hello\n"));
        MainWindowFixture f;

        // Cancel: no connection, and the server never saw the user name or the password.
        f.prompter->choices = {2};
        QVERIFY(!connectTo(f, *server, QStringLiteral("ftpes://127.0.0.1")));
        QCOMPARE(f.prompter->choiceButtons.size(), 1);
        QCOMPARE(f.prompter->choiceButtons[0],
                 QStringList({QStringLiteral("Trust once"), QStringLiteral("Always trust"), QStringLiteral("Cancel")}));
        const QString question = f.prompter->shown[0].text;
        QVERIFY2(question.contains(QLatin1String("could not be verified")), qPrintable(question));
        QVERIFY(question.contains(QLatin1String("Subject: window-test")));
        QVERIFY(question.contains(QLatin1String("Issuer: window-test")));
        QVERIFY(question.contains(QRegularExpression(QStringLiteral("Valid from \\d{4}-\\d\\d-\\d\\d .* to \\d{4}"))));
        QVERIFY(question.contains(FtpCertificate::fingerprintText(m_cert.sha256)));
        QCOMPARE(commandsIn(record), QStringList{QStringLiteral("AUTH TLS")});
        QVERIFY(!QFile::exists(knownFile(f)));
        f.prompter->shown.clear();

        // Trust once: connected and listed under TLS; the log shows the protection commands.
        f.prompter->choices = {0};
        QVERIFY(connectTo(f, *server, QStringLiteral("ftpes://127.0.0.1")));
        QVERIFY(f.remoteNames().contains(QStringLiteral("readme.txt")));
        const QStringList lines = f.logLines();
        QVERIFY(lines.contains(QStringLiteral("Command: AUTH TLS")));
        QVERIFY(lines.contains(QStringLiteral("Command: PBSZ 0")));
        QVERIFY(lines.contains(QStringLiteral("Command: PROT P")));
        QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^The connection is encrypted \\(TLS"))).size() == 1);
        QVERIFY(lines.filter(QLatin1String("does not support FTP over TLS")).isEmpty());
        QVERIFY(!f.logText().contains(server->password()));
        QVERIFY(!QFile::exists(knownFile(f)));
        f.window->remotePane().btnDisconnect_Click();
        // ... and asked again next time: Always trust stores it, readable by the user only.
        f.prompter->choices = {1};
        QVERIFY(connectTo(f, *server, QStringLiteral("ftpes://127.0.0.1")));
        QCOMPARE(f.prompter->choiceButtons.size(), 3);
        QCOMPARE(KnownCertificates(knownFile(f)).find(QStringLiteral("127.0.0.1"), server->port()), m_cert.sha256);
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(knownFile(f)).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
        f.window->remotePane().btnDisconnect_Click();
        // Not asked again: also for a plain ftp:// address of the same host and port.
        QVERIFY(connectTo(f, *server, QStringLiteral("127.0.0.1")));
        QCOMPARE(f.prompter->choiceButtons.size(), 3);
        f.window->remotePane().btnDisconnect_Click();

        // The server's certificate changes: asked again, and told that it changed.
        const quint16 port = server->port();
        server.reset();
        // The new server gets a new port; the stored entry is moved there to stand for "same server".
        server = std::make_unique<TestFtpServer>(QStringList{QStringLiteral("--tls"), m_renewed.pemPath});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(KnownCertificates(knownFile(f)).remember(QStringLiteral("127.0.0.1"), server->port(), m_cert.sha256));
        Q_UNUSED(port);
        f.prompter->choices = {2};
        QVERIFY(!connectTo(f, *server, QStringLiteral("ftpes://127.0.0.1")));
        QCOMPARE(f.prompter->choiceButtons.size(), 4);
        const QString changed = f.prompter->shown.value(f.prompter->shown.size() - 2).text; // then the error box
        QVERIFY2(changed.contains(QLatin1String("CHANGED")), qPrintable(changed));
        QVERIFY(changed.contains(FtpCertificate::fingerprintText(m_renewed.sha256)));
        // Cancel keeps the old entry.
        QCOMPARE(KnownCertificates(knownFile(f)).find(QStringLiteral("127.0.0.1"), server->port()), m_cert.sha256);
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
        certificate.host = QStringLiteral("example.org");
        certificate.port = 21;
        certificate.sha256 = QByteArray(32, '\x5a');
        const KnownCertificates known(m_dir.filePath(QStringLiteral("box-known")));
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

    void queueOverProtectedDataWithSessionReuse()
    {
        // The server refuses data connections that do not resume the control connection's session.
        TestFtpServer server({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--reuse-required")});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(server.writeFile(QStringLiteral("pub/one.bin"), pattern(300 * 1024, 1)));
        QVERIFY(server.writeFile(QStringLiteral("pub/two.bin"), pattern(1000, 2)));
        QueueWindow f;
        QVERIFY(KnownCertificates(knownFile(f)).remember(QStringLiteral("127.0.0.1"), server.port(), m_cert.sha256));
        QVERIFY(connectTo(f, server, QStringLiteral("ftpes://127.0.0.1")));
        QVERIFY(f.prompter->choiceButtons.isEmpty()); // trusted before: not asked
        f.showRemote(QStringLiteral("/pub/"));
        QCOMPARE(f.remoteNames().filter(QStringLiteral(".bin")).size(), 2);
        QueueWindow::select(f.window->ListView1, {QStringLiteral("one.bin"), QStringLiteral("two.bin")});
        f.window->action(QStringLiteral("menu1_download"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(readLocal(f.localPath(QStringLiteral("two.bin"))), pattern(1000, 2), 20000);
        QCOMPARE(readLocal(f.localPath(QStringLiteral("one.bin"))), pattern(300 * 1024, 1));
        QVERIFY(writeLocal(f.localPath(QStringLiteral("up.bin")), pattern(200 * 1024, 3)));
        f.showLocal(f.local.path());
        f.window->queuePane().QueueLocalFile(f.localPath(QStringLiteral("up.bin")), QStringLiteral("/pub/up.bin"));
        f.window->queuePane().ProcessTransfer();
        QTRY_COMPARE_WITH_TIMEOUT(server.readFile(QStringLiteral("pub/up.bin")), pattern(200 * 1024, 3), 20000);
        QVERIFY(f.logLines().filter(QLatin1String("522")).isEmpty());
    }

    void schemesInTheServerField()
    {
        TestFtpServer implicit({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--implicit")});
        QVERIFY2(implicit.isRunning(), qPrintable(implicit.errorText()));
        MainWindowFixture f;
        // ftps:// with the port in the address, the port field left at 21.
        f.prompter->choices = {0};
        f.fillConnection(implicit);
        f.window->txtPort->setText(QStringLiteral("21"));
        f.window->txtServer->setText(QStringLiteral("ftps://127.0.0.1:%1").arg(implicit.port()));
        f.window->remotePane().btnConnect_Click();
        QVERIFY2(f.state.connected(), qPrintable(f.logText()));
        QVERIFY(f.logLines().contains(QStringLiteral("Command: PROT P")));
        QVERIFY(!f.logLines().contains(QStringLiteral("Command: AUTH TLS")));
        f.window->remotePane().btnDisconnect_Click();

        // ftpes:// to a server without TLS: refused with the reason, nothing sent in clear.
        const QString record = m_dir.filePath(QStringLiteral("plain.txt"));
        TestFtpServer plain({QStringLiteral("--commands"), record});
        QVERIFY2(plain.isRunning(), qPrintable(plain.errorText()));
        f.prompter->shown.clear();
        QVERIFY(!connectTo(f, plain, QStringLiteral("FTPES://127.0.0.1")));
        QVERIFY(!f.prompter->shown.isEmpty());
        QVERIFY2(f.prompter->shown.last().text.contains(QLatin1String("does not support FTP over TLS")),
                 qPrintable(f.prompter->shown.last().text));
        QCOMPARE(commandsIn(record), QStringList{QStringLiteral("AUTH TLS")});

        // ftpes:// to a server that refuses PROT P: no connection, and no data connection in clear.
        const QString noProt = m_dir.filePath(QStringLiteral("noprot.txt"));
        TestFtpServer clearData({QStringLiteral("--tls"), m_cert.pemPath, QStringLiteral("--refuse-prot"),
                                 QStringLiteral("--commands"), noProt});
        QVERIFY2(clearData.isRunning(), qPrintable(clearData.errorText()));
        QVERIFY(KnownCertificates(knownFile(f)).remember(QStringLiteral("127.0.0.1"), clearData.port(), m_cert.sha256));
        f.prompter->shown.clear();
        QVERIFY(!connectTo(f, clearData, QStringLiteral("ftpes://127.0.0.1")));
        QVERIFY2(f.prompter->shown.last().text.contains(QLatin1String("534 ")), qPrintable(f.prompter->shown.last().text));
        QVERIFY(f.logText().contains(QLatin1String("data connections would not be encrypted")));
        QCOMPARE(commandsIn(noProt).last(), QStringLiteral("PROT P")); // nothing after it

        // A scheme this program does not speak is refused before anything is sent.
        f.prompter->shown.clear();
        QVERIFY(!connectTo(f, plain, QStringLiteral("sftp://127.0.0.1")));
        QVERIFY2(f.prompter->shown.last().text.contains(QLatin1String("sftp://")), qPrintable(f.prompter->shown.last().text));
        QCOMPARE(commandsIn(record), QStringList{QStringLiteral("AUTH TLS")});
    }

    // The status bar's padlock: closed with the protocol, cipher and fingerprint under TLS (also
    // when the certificate was trusted before), open and red in clear, gone when disconnected.
    void thePadlockTellsHowTheConnectionTravels()
    {
        const auto hasRed = [](const QImage &image) {
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.alpha() > 128 && c.red() > 180 && c.green() < 80)
                        return true;
                }
            return false;
        };
        TestFtpServer tls({QStringLiteral("--tls"), m_cert.pemPath});
        TestFtpServer plain;
        QVERIFY(tls.isRunning() && plain.isRunning());
        MainWindowFixture f;
        f.window->show();
        auto *padlock = f.window->findChild<QLabel *>(QStringLiteral("padlock"));
        QVERIFY(padlock && !padlock->isVisible());
        const QRegularExpression encrypted(QStringLiteral("^Encrypted \\(TLSv?1\\.[23], \\S+\\)\nCertificate SHA-256: "));
        for (int choice : {1, -1}) { // Always trust, then not asked
            f.prompter->choices = {choice};
            QVERIFY(connectTo(f, tls, QStringLiteral("ftpes://127.0.0.1")));
            QVERIFY(padlock->isVisible());
            QVERIFY2(padlock->toolTip().contains(encrypted), qPrintable(padlock->toolTip()));
            QVERIFY(padlock->toolTip().endsWith(FtpCertificate::fingerprintText(m_cert.sha256)));
            QVERIFY(!hasRed(padlock->pixmap().toImage()));
            f.window->remotePane().btnDisconnect_Click();
            QVERIFY(!padlock->isVisible());
        }
        QCOMPARE(f.prompter->choiceButtons.size(), 1);
        QVERIFY(connectTo(f, plain, QStringLiteral("127.0.0.1")));
        QVERIFY(padlock->isVisible());
        QVERIFY2(padlock->toolTip().contains(QLatin1String("travel in clear")), qPrintable(padlock->toolTip()));
        QVERIFY(hasRed(padlock->pixmap().toImage()));
        // A new connection that fails leaves no padlock of the old one.
        f.prompter->answers = {Prompter::Answer::Ok};
        QVERIFY(!connectTo(f, plain, QStringLiteral("127.0.0.1:1"))); // nothing listens there
        QVERIFY(!padlock->isVisible());
    }
};

QTEST_MAIN(TestTlsWindow)
#include "tst_tls_window.moc"
