// The HTTP download manager's queue and transfers against a local HTTP server, and its window.
#include "HttpChecks.h"
#include "HttpQueue.h"
#include "ScriptedPrompter.h"
#include "TestCertificate.h"
#include "TestSupport.h"
#include "formhttp.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QStandardItemModel>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

// The test HTTP server (httpserver.py beside this file) on 127.0.0.1 and a free port.
class TestHttpServer
{
public:
    explicit TestHttpServer(const QStringList &extraArgs = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("/usr/bin/python3",
                        QStringList{TestSupport::sourceDir() + "/tests/tools/httpserver.py"} + extraArgs);
        while (m_process.waitForReadyRead(10000)) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("PORT ")) {
                m_port = quint16(line.mid(5).toUInt());
                break;
            }
        }
    }
    ~TestHttpServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool isRunning() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    QString url(const QString &path, const QString &scheme = "http") const
    {
        return QString("%1://127.0.0.1:%2%3").arg(scheme).arg(m_port).arg(path);
    }
    // What the server has said so far: "GET <path>" for every request, "DONE <path>" for every
    // body sent whole.
    QString log()
    {
        while (m_process.waitForReadyRead(100))
            continue;
        return m_log += QString::fromUtf8(m_process.readAllStandardOutput());
    }

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_log;
};

using TestSupport::contentOf;
using TestSupport::pattern;
using TestSupport::writeFile;

class TestHttp : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        TestHttpServer server;
        QTemporaryDir dir;
        ScriptedPrompter prompter;
        QStringList outcomes; // before the queue, whose end may still report one
        HttpQueue queue{prompter};

        Fixture(const QStringList &serverArgs = {}) : server(serverArgs)
        {
            QObject::connect(&queue, &HttpQueue::finished, [this](const QString &path, const QString &outcome) {
                outcomes << QFileInfo(path).fileName() + " " + outcome;
            });
        }
        QString local(const QString &name) const { return dir.filePath(name); }
        bool add(const QString &path, const QString &name) { return queue.add(server.url(path), local(name)); }
        QString cell(int row, int column) const { return queue.model()->item(row, column)->text(); }
        static QStringList statusesOf(const HttpQueue &queue)
        {
            QStringList s;
            for (int r = 0; r < queue.model()->rowCount(); ++r)
                s << queue.model()->item(r, HttpQueue::StatusColumn)->text();
            return s;
        }
        bool waitEmpty(int ms = 20000)
        {
            return QTest::qWaitFor([this] { return queue.model()->rowCount() == 0 && !queue.isTransferring(); }, ms);
        }
    };

private slots:
    void fieldChecks()
    {
        for (const char *good : {"http://example.org/", "http://example.org/d/f.zip", "HTTPS://example.org:8443/a",
                                 "http://example.org/a file.zip"})
            QVERIFY2(HttpChecks::parseRemote(QString::fromLatin1(good)).isValid(), good);
        QCOMPARE(HttpChecks::parseRemote("http://example.org:8080/a").port(), 8080);
        for (const char *bad : {"http://example.org", "http://", "http:///a", "ftp://example.org/a", "example.org/a",
                                "http://example.org/a?b=1", "http://example.org/a\\b", "http://example.org/a|b",
                                "http://example.org:99999/a", "http://user:pw@example.org/a", "http://exa\tmple.org/a",
                                "http://example.org/a\x7f.zip"})
            QVERIFY2(!HttpChecks::parseRemote(QString::fromLatin1(bad)).isValid(), bad);

        QTemporaryDir dir;
        QVERIFY(HttpChecks::validLocalName(dir.filePath("a file.bin")));
        for (const QString &bad : {QString("relative.bin"), dir.path(), dir.path() + "/", dir.filePath("a\nb"),
                                   dir.filePath("a*b"), dir.filePath("a\\b"), dir.filePath("a\x7f"), QString()})
            QVERIFY2(!HttpChecks::validLocalName(bad), qPrintable(bad));

        Fixture f;
        QVERIFY2(f.server.isRunning(), "the test HTTP server did not start");
        QVERIFY(!f.queue.add("", f.local("a")));
        QVERIFY(!f.queue.add(f.server.url("/file/1/a"), "relative"));
        QVERIFY(!f.queue.add(f.server.url(""), f.local("a")));
        QCOMPARE(f.prompter.messageTexts(), (QStringList{"The 2 fields must be filled!", "Invalid local file name.",
                                                         "Invalid remote file name."}));
        QVERIFY(writeFile(f.local("exists.bin"), "mine"));
        f.prompter.answers = {Prompter::Answer::Cancel};
        QVERIFY(!f.add("/file/10/x", "exists.bin"));
        QCOMPARE(f.prompter.messageTexts().last(), QString("Local file exists. Overwrite?"));
        QCOMPARE(f.queue.model()->rowCount(), 0);
    }

    // Every download over a file of the user's, beside one named like the part file, with another
    // queued behind it: the file is replaced only by a whole body, the user's files stay, no part
    // file is left behind, and the next row runs either way.
    void downloadsEndAsTheyShould_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("size");       // of the file that arrives; -1: the row fails
        QTest::addColumn<QString>("reason"); // in the message of a failure
        QTest::addColumn<bool>("paused");    // Pause, Resume, Pause before the answer comes
        const auto row = [](const char *name, const char *path, int size, const char *reason = "",
                            bool paused = false) {
            QTest::newRow(name) << QString(path) << size << QString(reason) << paused;
        };
        row("whole", "/file/300000/data.bin", 300000);
        row("closed at the end", "/nolength/3000000/n", 3000000);
        row("chunked", "/chunked/3000000/777/n", 3000000);
        row("longer than announced", "/long/1000/5000/l", 1000);
        row("redirected", "/redirect/3/file/4321/r", 4321);
        row("ten redirects, the most", "/redirect/10/file/10/r", 10);
        row("404", "/status/404/x", -1, "404");
        row("cut short", "/short/100000/40000/x", -1);
        row("too many redirects", "/redirect/11/file/10/x", -1);
        row("refused", "refused", -1, "refused");
        row("error page, paused", "/delay/300/status/300/x", -1, "300", true);
        row("file, paused", "/delay/300/file/5000/x", 5000, "", true);
    }
    void downloadsEndAsTheyShould()
    {
        QFETCH(QString, path);
        QFETCH(int, size);
        QFETCH(QString, reason);
        QFETCH(bool, paused);
        Fixture f;
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString url =
            path == "refused" ? QString("http://127.0.0.1:%1/x").arg(closed.serverPort()) : f.server.url(path);
        closed.close();
        QStringList seen; // size, status, current text and bar at each step while the row runs
        QObject::connect(&f.queue, &HttpQueue::progressChanged, [&] {
            if (f.queue.model()->rowCount() > 0 && f.queue.currentText() != "Idle")
                seen << f.cell(0, HttpQueue::SizeColumn) + "|" + f.cell(0, HttpQueue::StatusColumn) + "|" +
                            f.queue.currentText() + "|" + QString::number(f.queue.barValue());
        });
        QVERIFY(writeFile(f.local("mine.bin"), "mine") && writeFile(f.local("mine.bin.part"), "my part"));
        f.prompter.answers = {Prompter::Answer::Ok};
        QVERIFY(f.queue.add(url, f.local("mine.bin")));
        if (paused) {
            QCOMPARE(Fixture::statusesOf(f.queue), QStringList{"Connecting..."});
            f.queue.pause();
            f.queue.resume();
            f.queue.pause();
            QTest::qWait(800); // the answer comes while paused
            f.queue.resume();
        }
        QVERIFY(f.add("/file/10/next", "next.bin"));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes, (QStringList{size < 0 ? "mine.bin failed" : "mine.bin done", "next.bin done"}));
        QVERIFY(contentOf(f.local("mine.bin")) == (size < 0 ? QByteArray("mine") : pattern(size)));
        QCOMPARE(contentOf(f.local("mine.bin.part")), QByteArray("my part"));
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), (QStringList{"mine.bin", "mine.bin.part", "next.bin"}));
        if (path != "refused")
            QVERIFY(f.server.log().contains("GET " + path + "\n"));
        if (path.startsWith("/nolength") || path.startsWith("/chunked"))
            QCOMPARE(seen.value(0), QString("Unknown|Downloading...|???|100"));
        if (size >= 0) {
            QCOMPARE(f.prompter.shown.size(), 1); // only the question about the file
            return;
        }
        const QString message = f.prompter.messageTexts().last();
        QVERIFY2(message.startsWith("There was an error downloading the file.") && message.contains(reason),
                 qPrintable(message));
        QCOMPARE(f.prompter.shown.last().icon, Prompter::Icon::Critical);
    }
    // Pausing stops reading: the server is held back, not our memory; Resume reads on.
    void pauseMidBodyThenResume()
    {
        Fixture f;
        const qint64 size = 64 * 1024 * 1024;
        QVERIFY(f.add(QString("/file/%1/big.bin").arg(size), "big.bin"));
        QTRY_VERIFY(f.queue.received() > 0);
        f.queue.pause();
        QCOMPARE(Fixture::statusesOf(f.queue), QStringList{"Paused"});
        const qint64 held = f.queue.received();
        QTest::qWait(700);
        QCOMPARE(f.queue.received(), held);
        QCOMPARE(QFileInfo(f.local("big.bin.part")).size(), held);
        QVERIFY2(!f.server.log().contains("DONE"), "the server could send the whole body");
        QVERIFY(f.queue.isTransferring());
        f.queue.resume();
        QVERIFY(f.waitEmpty(60000));
        QVERIFY(contentOf(f.local("big.bin")) == pattern(size));
    }

    void cancelAndClearAll()
    {
        Fixture f;
        QVERIFY(writeFile(f.local("kept.bin"), "kept") && writeFile(f.local("kept.bin.part"), "my part"));
        f.prompter.answers = {Prompter::Answer::Ok};
        QVERIFY(f.add("/slow/100000/1000/20/one", "kept.bin"));
        QVERIFY(f.add("/slow/100000/1000/20/two", "two.bin"));
        QVERIFY(f.add("/file/5000/three", "three.bin"));
        QVERIFY(f.add("/file/6000/four", "four.bin"));
        QTRY_VERIFY(f.queue.received() > 0);
        f.queue.cancel({2}); // not the current row: removed at once, the transfer goes on
        QCOMPARE(f.queue.model()->rowCount(), 3);
        QCOMPARE(f.cell(2, HttpQueue::LocalColumn), f.local("four.bin"));
        QVERIFY(f.queue.isTransferring());

        // The current row stops and keeps what it has beside an existing file, under a part name
        // that is not the user's.
        f.queue.cancel({0});
        QCOMPARE(f.outcomes, QStringList{"kept.bin stopped"});
        QCOMPARE(contentOf(f.local("kept.bin")), QByteArray("kept"));
        QCOMPARE(contentOf(f.local("kept.bin.part")), QByteArray("my part"));
        const QByteArray partial = contentOf(f.local("kept.bin.1.part"));
        QVERIFY(partial.size() > 0 && partial.size() < 100000);
        QCOMPARE(partial, pattern(partial.size()));

        QTRY_VERIFY(f.queue.received() > 0); // the next row started on its own
        f.queue.cancel({0});
        const QByteArray two = contentOf(f.local("two.bin")); // no file was there: the part becomes it
        QVERIFY(two.size() > 0 && two.size() < 100000);
        QVERIFY(!QFile::exists(f.local("two.bin.part")));
        QVERIFY(f.waitEmpty());
        QVERIFY(!QFile::exists(f.local("three.bin")));
        QCOMPARE(contentOf(f.local("four.bin")), pattern(6000));

        // Clear all asks first; then the transfer stops and nothing else starts.
        QVERIFY(f.add("/slow/100000/1000/20/five", "five.bin"));
        QVERIFY(f.add("/file/5000/six", "six.bin"));
        QTRY_VERIFY(f.queue.received() > 0);
        f.prompter.answers = {Prompter::Answer::Cancel};
        f.queue.clearAll();
        QCOMPARE(f.queue.model()->rowCount(), 2);
        f.prompter.answers = {Prompter::Answer::Ok};
        f.queue.clearAll();
        QCOMPARE(f.prompter.messageTexts().last(), QString("Are you sure you want to clear all?"));
        QCOMPARE(f.queue.model()->rowCount(), 0);
        QCOMPARE(f.outcomes.last(), QString("five.bin stopped"));
        QTest::qWait(300);
        QVERIFY(!f.queue.isTransferring() && !QFile::exists(f.local("six.bin")));
        QVERIFY(f.add("/file/10/seven", "seven.bin")); // the queue works on
        QVERIFY(f.waitEmpty());
        QCOMPARE(contentOf(f.local("seven.bin")), pattern(10));
    }

    // The time limit counts from the last data: a slow body that keeps moving arrives, one that
    // stops fails the row and the next starts; so does a server that never answers.
    void stalledBodiesFailMovingOnesArrive()
    {
        Fixture f;
        f.queue.setStallTimeout(400);
        QVERIFY(f.add("/slow/12000/1000/100/s", "slow.bin")); // 1.2 s in all, 0.1 s between chunks
        QVERIFY(f.add("/stall/10000/4000/t", "stalled.bin"));
        QVERIFY(f.add("/delay/20000/file/10/d", "silent.bin"));
        QVERIFY(f.add("/file/10/n", "next.bin"));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes,
                 (QStringList{"slow.bin done", "stalled.bin failed", "silent.bin failed", "next.bin done"}));
        QCOMPARE(contentOf(f.local("slow.bin")), pattern(12000));
        QVERIFY(f.prompter.messageTexts().last().contains("No data arrived"));
        QVERIFY(!QFile::exists(f.local("stalled.bin")));
    }

    // https with the system's checks: an unknown certificate fails with the reason; trusted, the
    // file arrives, and a redirect from https to http is not followed.
    void httpsWithCertificateChecks()
    {
        QTemporaryDir keys;
        const TestCertificate cert = TestCertificate::make(keys.path(), "127.0.0.1");
        if (!cert.error.isEmpty())
            QSKIP(qPrintable(cert.error));
        Fixture f({"--tls", cert.pemPath});
        QVERIFY(f.queue.add(f.server.url("/file/10/s.bin", "https"), f.local("s.bin")));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes, QStringList{"s.bin failed"});
        QVERIFY2(f.prompter.messageTexts().last().contains("certificate", Qt::CaseInsensitive),
                 qPrintable(f.prompter.messageTexts().last()));
        QVERIFY(!QFile::exists(f.local("s.bin")));

        const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = system;
        trusting.addCaCertificates(cert.pemPath);
        QSslConfiguration::setDefaultConfiguration(trusting);
        Fixture trusted; // a new queue: the first keeps the refused connection; and a plain server
        QVERIFY(trusted.queue.add(f.server.url("/file/5000/t.bin", "https"), f.local("t.bin")));
        QVERIFY(trusted.queue.add(f.server.url(QString("/to/%1/file/10/u.bin").arg(trusted.server.port()), "https"),
                                  f.local("u.bin")));
        const bool ended = trusted.waitEmpty();
        QSslConfiguration::setDefaultConfiguration(system);
        QVERIFY(ended);
        QCOMPARE(trusted.outcomes, (QStringList{"t.bin done", "u.bin failed"}));
        QCOMPARE(contentOf(f.local("t.bin")), pattern(5000));
        QVERIFY(!QFile::exists(f.local("u.bin")));
        QVERIFY(!trusted.server.log().contains("/file/10/u.bin"));
    }

    // The window downloads what it is given, and closing it stops its transfer.
    void windowDownloadsAndStopsWhenClosed()
    {
        Fixture f; // its server, folder and prompter
        formhttp window(f.prompter);
        window.show();
        QVERIFY(!window.btnResume->isEnabled() && !window.menu_resume->isEnabled() && window.btnPause->isEnabled());
        QStringList headers;
        for (int c = 0; c < 4; ++c)
            headers << window.lvwFiles->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"Remote file name", "Local file name", "File size (bytes)", "Status"}));

        window.btnPause->click();
        QVERIFY(window.btnResume->isEnabled() && !window.menu_pause->isEnabled());
        for (const QString &name : {QString("one.bin"), QString("two.bin")}) {
            window.txtRemote->setText(f.server.url("/file/250000/" + name));
            window.txtLocal->setText(f.local(name));
            window.btnAdd->click();
        }
        QCOMPARE(window.txtRemote->text(), QString("http://"));
        QCOMPARE(Fixture::statusesOf(window.queue()), (QStringList{"Paused", "Paused"}));
        QCOMPARE(window.queue().model()->item(0, HttpQueue::SizeColumn)->text(), QString("?"));
        QTest::qWait(200);
        QVERIFY(!window.queue().isTransferring());
        window.menu_resume->trigger();
        QCOMPARE(Fixture::statusesOf(window.queue()), (QStringList{"Connecting...", "Pending"}));
        QTRY_COMPARE_WITH_TIMEOUT(window.lvwFiles->model()->rowCount(), 0, 20000);
        for (const char *name : {"one.bin", "two.bin"})
            QCOMPARE(contentOf(f.local(name)), pattern(250000));
        QCOMPARE(window.lblCurrent->text(), QString("Idle"));
        QCOMPARE(window.barCurrent->value(), 0);
        QVERIFY(f.prompter.shown.isEmpty());

        f.prompter.fileNames = {f.local("chosen.bin")};
        window.btnBrowse->click();
        QCOMPARE(window.txtLocal->text(), f.local("chosen.bin"));
        window.btnBrowse->click(); // cancelled: nothing changes
        QCOMPARE(window.txtLocal->text(), f.local("chosen.bin"));

        QVERIFY(window.queue().add(f.server.url("/slow/100000/1000/20/three"), f.local("three.bin")));
        QVERIFY(window.queue().add(f.server.url("/file/100/four"), f.local("four.bin")));
        QTRY_VERIFY(window.lblCurrent->text().endsWith("%"));
        QVERIFY(window.barCurrent->value() >= 0 && window.barCurrent->value() < 100);
        window.close();
        QTest::qWait(300);
        QVERIFY(!window.queue().isTransferring());
        const QByteArray part = contentOf(f.local("three.bin"));
        QVERIFY(part.size() > 0 && part.size() < 100000);
        QVERIFY(!QFile::exists(f.local("four.bin")));
    }
};

QTEST_MAIN(TestHttp)
#include "tst_http.moc"
