// The HTTP download manager's queue and transfers against a local HTTP server, and its window.
#include "HttpChecks.h"
#include "HttpQueue.h"
#include "ScriptedPrompter.h"
#include "TestHttpServer.h"
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

class TestHttp : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        TestHttpServer server;
        QTemporaryDir dir;
        ScriptedPrompter prompter;
        HttpQueue queue{prompter};
        QStringList outcomes;

        Fixture(const QStringList &serverArgs = {}) : server(serverArgs)
        {
            QObject::connect(&queue, &HttpQueue::finished, [this](const QString &path, const QString &outcome) {
                outcomes << QFileInfo(path).fileName() + " " + outcome;
            });
        }
        QString local(const QString &name) const { return dir.filePath(name); }
        bool add(const QString &path, const QString &name) { return queue.add(server.url(path), local(name)); }
        QString cell(int row, int column) const { return queue.model()->item(row, column)->text(); }
        QStringList statuses() const
        {
            QStringList s;
            for (int r = 0; r < queue.model()->rowCount(); ++r)
                s << cell(r, HttpQueue::StatusColumn);
            return s;
        }
        bool waitEmpty(int ms = 20000)
        {
            return QTest::qWaitFor([this] { return queue.model()->rowCount() == 0 && !queue.isTransferring(); }, ms);
        }
        static QByteArray read(const QString &path)
        {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
        }
    };

    static bool write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }

private slots:
    void initTestCase()
    {
        TestHttpServer probe;
        QVERIFY2(probe.isRunning(), "the test HTTP server did not start");
    }

    void fieldChecks()
    {
        QVERIFY(HttpChecks::parseRemote("http://example.org/").isValid());
        QVERIFY(HttpChecks::parseRemote("http://example.org/dir/file.zip").isValid());
        QVERIFY(HttpChecks::parseRemote("HTTPS://example.org:8443/a").isValid());
        QCOMPARE(HttpChecks::parseRemote("http://example.org:8080/a").port(), 8080);
        for (const char *bad : {"http://example.org", "http://", "http:///a", "ftp://example.org/a", "example.org/a",
                                "http://example.org/a?b=1", "http://example.org/a\\b", "http://example.org/a|b",
                                "http://example.org:99999/a", "http://user:pw@example.org/a", "http://exa\tmple.org/a"})
            QVERIFY2(!HttpChecks::parseRemote(QString::fromLatin1(bad)).isValid(), bad);

        QTemporaryDir dir;
        QVERIFY(HttpChecks::validLocalName(dir.filePath("a.bin")));
        for (const QString &bad : {QString("relative.bin"), dir.path(), dir.path() + "/", dir.filePath("a\nb"),
                                   dir.filePath("a*b"), dir.filePath("a\\b"), QString()})
            QVERIFY2(!HttpChecks::validLocalName(bad), qPrintable(bad));

        Fixture f;
        QVERIFY(!f.queue.add("", f.local("a")));
        QVERIFY(!f.queue.add(f.server.url("/file/1/a"), "relative"));
        QVERIFY(!f.queue.add(f.server.url(""), f.local("a")));
        QCOMPARE(f.prompter.messageTexts(), (QStringList{"The 2 fields must be filled!", "Invalid local file name.",
                                                         "Invalid remote file name."}));
        QVERIFY(write(f.local("exists.bin"), "mine"));
        f.prompter.answers = {Prompter::Answer::Cancel};
        QVERIFY(!f.add("/file/10/x", "exists.bin"));
        QCOMPARE(f.prompter.messageTexts().last(), QString("Local file exists. Overwrite?"));
        QCOMPARE(f.queue.model()->rowCount(), 0);
    }

    void downloadsByteExactFromItsPortAndPath()
    {
        Fixture f;
        QVERIFY(write(f.local("old.bin"), "the old file"));
        f.prompter.answers = {Prompter::Answer::Ok};
        QVERIFY(f.add("/file/300000/data.bin", "old.bin"));
        QCOMPARE(f.queue.model()->rowCount(), 1);
        QCOMPARE(f.cell(0, HttpQueue::RemoteColumn), f.server.url("/file/300000/data.bin"));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.read(f.local("old.bin")), TestHttpServer::pattern(300000));
        QVERIFY(!QFile::exists(f.local("old.bin.part")));
        QVERIFY(f.server.stats().contains("\n/file/300000/data.bin\n"));
        QCOMPARE(f.outcomes, QStringList{"old.bin done"});
        QCOMPARE(f.queue.currentText(), QString("Idle"));
        QCOMPARE(f.queue.barValue(), 0);
    }

    void pausedRowsAndResume()
    {
        Fixture f;
        f.queue.pause();
        QVERIFY(f.add("/file/1000/a.bin", "a.bin"));
        QVERIFY(f.add("/file/2000/b.bin", "b.bin"));
        QCOMPARE(f.statuses(), (QStringList{"Paused", "Paused"}));
        QCOMPARE(f.cell(0, HttpQueue::SizeColumn), QString("?"));
        QTest::qWait(200);
        QVERIFY(!f.queue.isTransferring());
        QSignalSpy running(&f.queue, &HttpQueue::runningChanged);
        f.queue.resume();
        QCOMPARE(running.size(), 1);
        QCOMPARE(f.cell(1, HttpQueue::StatusColumn), QString("Pending"));
        QCOMPARE(f.cell(0, HttpQueue::StatusColumn), QString("Connecting..."));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.read(f.local("a.bin")), TestHttpServer::pattern(1000));
        QCOMPARE(f.read(f.local("b.bin")), TestHttpServer::pattern(2000));
    }

    // Pausing stops reading: the server is held back, not our memory; Resume reads on.
    void pauseMidBodyThenResume()
    {
        Fixture f;
        const qint64 size = 64 * 1024 * 1024;
        QVERIFY(f.add(QString("/file/%1/big.bin").arg(size), "big.bin"));
        QTRY_VERIFY(f.queue.received() > 0);
        f.queue.pause();
        QCOMPARE(f.statuses(), QStringList{"Paused"});
        const qint64 held = f.queue.received();
        QTest::qWait(700);
        QCOMPARE(f.queue.received(), held);
        QCOMPARE(QFileInfo(f.local("big.bin.part")).size(), held);
        QVERIFY2(f.server.stats().contains("completed=0"), "the server could send the whole body");
        QVERIFY(f.queue.isTransferring());
        f.queue.resume();
        QVERIFY(f.waitEmpty(60000));
        QCOMPARE(QFileInfo(f.local("big.bin")).size(), size);
        QVERIFY(f.read(f.local("big.bin")) == TestHttpServer::pattern(size));
    }

    void cancelTheCurrentRowAndAnother()
    {
        Fixture f;
        QVERIFY(write(f.local("kept.bin"), "kept"));
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

        f.queue.cancel({0}); // the current row: it stops and keeps what it has
        QCOMPARE(f.outcomes, QStringList{"kept.bin stopped"});
        QCOMPARE(f.read(f.local("kept.bin")), QByteArray("kept")); // an existing file stays
        const QByteArray partial = f.read(f.local("kept.bin.part"));
        QVERIFY(partial.size() > 0 && partial.size() < 100000);
        QCOMPARE(partial, TestHttpServer::pattern(partial.size()));

        QTRY_VERIFY(f.queue.received() > 0); // the next row started on its own
        f.queue.cancel({0});
        const QByteArray two = f.read(f.local("two.bin")); // no file was there: the part becomes it
        QVERIFY(two.size() > 0 && two.size() < 100000);
        QVERIFY(!QFile::exists(f.local("two.bin.part")));
        QVERIFY(f.waitEmpty());
        QVERIFY(!QFile::exists(f.local("three.bin")));
        QCOMPARE(f.read(f.local("four.bin")), TestHttpServer::pattern(6000));
    }

    void clearAllDuringATransfer()
    {
        Fixture f;
        QVERIFY(f.add("/slow/100000/1000/20/one", "one.bin"));
        QVERIFY(f.add("/file/5000/two", "two.bin"));
        QTRY_VERIFY(f.queue.received() > 0);
        f.prompter.answers = {Prompter::Answer::Cancel};
        f.queue.clearAll();
        QCOMPARE(f.queue.model()->rowCount(), 2);
        f.prompter.answers = {Prompter::Answer::Ok};
        f.queue.clearAll();
        QCOMPARE(f.prompter.messageTexts().last(), QString("Are you sure you want to clear all?"));
        QCOMPARE(f.queue.model()->rowCount(), 0);
        QVERIFY(!f.queue.isTransferring());
        QCOMPARE(f.outcomes, QStringList{"one.bin stopped"});
        QTest::qWait(300);
        QVERIFY(!f.queue.isTransferring());
        QVERIFY(!f.server.stats().contains("/file/5000/two"));
        QVERIFY(!QFile::exists(f.local("two.bin")));
        // The queue works on afterwards.
        QVERIFY(f.add("/file/10/three", "three.bin"));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.read(f.local("three.bin")), TestHttpServer::pattern(10));
    }

    void unknownLength_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("closed at the end") << "/nolength/3000000/n.bin";
        QTest::newRow("chunked") << "/chunked/3000000/777/n.bin";
    }
    void unknownLength()
    {
        QFETCH(QString, path);
        Fixture f;
        QStringList seen;
        QObject::connect(&f.queue, &HttpQueue::progressChanged, [&] {
            if (f.queue.model()->rowCount() > 0 && f.queue.currentText() != "Idle")
                seen << f.cell(0, HttpQueue::SizeColumn) + "|" + f.cell(0, HttpQueue::StatusColumn) + "|" +
                            f.queue.currentText() + "|" + QString::number(f.queue.barValue());
        });
        QVERIFY(f.add(path, "n.bin"));
        QVERIFY(f.waitEmpty());
        QVERIFY(!seen.isEmpty());
        QCOMPARE(seen.first(), QString("Unknown|Downloading...|???|100"));
        QCOMPARE(f.read(f.local("n.bin")), TestHttpServer::pattern(3000000));
    }

    void percentagesNeverPassAHundred()
    {
        Fixture f;
        QList<int> bars;
        QObject::connect(&f.queue, &HttpQueue::progressChanged, [&] { bars << f.queue.barValue(); });
        QVERIFY(f.add("/long/1000/5000/l.bin", "l.bin"));
        QVERIFY(f.waitEmpty());
        for (int b : bars)
            QVERIFY(b >= 0 && b <= 100);
        // Only what was announced is taken.
        QCOMPARE(f.read(f.local("l.bin")), TestHttpServer::pattern(1000));
    }

    void failuresLeaveTheFileAlone_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("404") << "/status/404/x"
                             << "404";
        QTest::newRow("500") << "/status/500/x"
                             << "500";
        QTest::newRow("cut short") << "/short/100000/40000/x"
                                   << "";
        QTest::newRow("too many redirects") << "/redirect/11/file/10/x"
                                            << "";
    }

    void failuresLeaveTheFileAlone()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        Fixture f;
        QVERIFY(write(f.local("mine.bin"), "mine"));
        f.prompter.answers = {Prompter::Answer::Ok};
        QVERIFY(f.add(path, "mine.bin"));
        QVERIFY(f.add("/file/10/next", "next.bin"));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes, (QStringList{"mine.bin failed", "next.bin done"}));
        const QString message = f.prompter.messageTexts().last();
        QVERIFY2(message.startsWith("There was an error downloading the file."), qPrintable(message));
        QVERIFY2(message.contains(reason), qPrintable(message));
        QCOMPARE(f.prompter.shown.last().icon, Prompter::Icon::Critical);
        QCOMPARE(f.read(f.local("mine.bin")), QByteArray("mine"));
        QVERIFY(!QFile::exists(f.local("mine.bin.part")));
    }

    // Pause and Resume before the status line has come: the answer is judged when it arrives,
    // also when it arrives while paused.
    void pauseWhileConnecting_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("error page") << "/delay/300/status/300/x" << "failed" << QByteArray("mine");
        QTest::newRow("file") << "/delay/300/file/5000/x" << "done" << TestHttpServer::pattern(5000);
    }
    void pauseWhileConnecting()
    {
        QFETCH(QString, path);
        QFETCH(QString, outcome);
        QFETCH(QByteArray, content);
        Fixture f;
        QVERIFY(write(f.local("mine.bin"), "mine"));
        f.prompter.answers = {Prompter::Answer::Ok};
        QVERIFY(f.add(path, "mine.bin"));
        QCOMPARE(f.statuses(), QStringList{"Connecting..."});
        f.queue.pause();
        f.queue.resume();
        f.queue.pause();
        QTest::qWait(800); // the answer comes while paused
        f.queue.resume();
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes, QStringList{"mine.bin " + outcome});
        QCOMPARE(f.read(f.local("mine.bin")), content);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"mine.bin"});
    }

    // A file of the user's that bears the part file's name is neither emptied nor deleted; a
    // stopped download keeps its part under a name of its own beside it.
    void partFilesNeverTakeAUsersFile()
    {
        Fixture f;
        const QStringList mine{"a.bin", "a.bin.part", "b.bin.part", "c.bin", "c.bin.part"};
        for (const QString &name : mine)
            QVERIFY(write(f.local(name), name.toUtf8()));
        f.prompter.answers = {Prompter::Answer::Ok};
        QVERIFY(f.add("/status/404/a", "a.bin"));
        QVERIFY(f.add("/file/3000/b", "b.bin"));
        QVERIFY(f.waitEmpty());
        f.prompter.answers = {Prompter::Answer::Ok};
        QVERIFY(f.add("/slow/100000/1000/20/c", "c.bin"));
        QTRY_VERIFY(f.queue.received() > 0);
        f.queue.cancel({0});
        QCOMPARE(f.outcomes, (QStringList{"a.bin failed", "b.bin done", "c.bin stopped"}));
        for (const QString &name : mine)
            QCOMPARE(f.read(f.local(name)), name.toUtf8());
        QCOMPARE(f.read(f.local("b.bin")), TestHttpServer::pattern(3000));
        QStringList parts = QDir(f.dir.path()).entryList({"c.bin*.part"}, QDir::Files);
        parts.removeOne("c.bin.part");
        QCOMPARE(parts.size(), 1);
        const QByteArray partial = f.read(f.local(parts.first()));
        QVERIFY(partial.size() > 0 && partial.size() < 100000);
        QCOMPARE(partial, TestHttpServer::pattern(partial.size()));
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files).size(), mine.size() + 2);
    }

    // The time limit counts from the last data: a slow body that keeps moving arrives, one that
    // stops fails the row and the next starts.
    void stalledBodiesFailMovingOnesArrive()
    {
        Fixture f;
        f.queue.setStallTimeout(400);
        QVERIFY(f.add("/slow/12000/1000/100/s", "slow.bin")); // 1.2 s in all, 0.1 s between chunks
        QVERIFY(f.add("/stall/10000/4000/t", "stalled.bin"));
        QVERIFY(f.add("/file/10/n", "next.bin"));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes, (QStringList{"slow.bin done", "stalled.bin failed", "next.bin done"}));
        QCOMPARE(f.read(f.local("slow.bin")), TestHttpServer::pattern(12000));
        QVERIFY(f.prompter.messageTexts().last().contains("No data arrived"));
        QVERIFY(!QFile::exists(f.local("stalled.bin")));
    }

    void redirectsAreFollowed()
    {
        Fixture f;
        QVERIFY(f.add("/redirect/3/file/4321/r.bin", "r.bin"));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.read(f.local("r.bin")), TestHttpServer::pattern(4321));
        QVERIFY(f.prompter.shown.isEmpty());
    }

    void refusedConnectionFailsTheRow()
    {
        Fixture f;
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        QVERIFY(f.queue.add(QString("http://127.0.0.1:%1/x").arg(port), f.local("x.bin")));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes, QStringList{"x.bin failed"});
        QVERIFY(f.prompter.messageTexts().last().contains("refused"));
        QVERIFY(!QFile::exists(f.local("x.bin")));
    }

    // https with the system's checks: an unknown certificate fails with the reason; trusted, the
    // file arrives, and a redirect from https to http is not followed.
    void httpsWithCertificateChecks()
    {
        QTemporaryDir keys;
        const QString cert = keys.filePath("cert.pem"), key = keys.filePath("key.pem");
        QProcess openssl;
        openssl.start("openssl",
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
                       "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            QSKIP("openssl could not make a certificate");
        Fixture f({"--tls", cert, key});
        QVERIFY(f.server.isRunning());
        QVERIFY(f.queue.add(f.server.url("/file/10/s.bin", "https"), f.local("s.bin")));
        QVERIFY(f.waitEmpty());
        QCOMPARE(f.outcomes, QStringList{"s.bin failed"});
        QVERIFY2(f.prompter.messageTexts().last().contains("certificate", Qt::CaseInsensitive),
                 qPrintable(f.prompter.messageTexts().last()));
        QVERIFY(!QFile::exists(f.local("s.bin")));

        const QSslConfiguration system = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = system;
        trusting.addCaCertificates(cert);
        QSslConfiguration::setDefaultConfiguration(trusting);
        TestHttpServer plain;
        HttpQueue queue(f.prompter);
        QStringList outcomes;
        connect(&queue, &HttpQueue::finished, [&](const QString &, const QString &o) { outcomes << o; });
        QVERIFY(queue.add(f.server.url("/file/5000/t.bin", "https"), f.local("t.bin")));
        QVERIFY(queue.add(f.server.url(QString("/to/%1/file/10/u.bin").arg(plain.port()), "https"), f.local("u.bin")));
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.size(), 2, 20000);
        QSslConfiguration::setDefaultConfiguration(system);
        QCOMPARE(outcomes, (QStringList{"done", "failed"}));
        QCOMPARE(Fixture::read(f.local("t.bin")), TestHttpServer::pattern(5000));
        QVERIFY(!QFile::exists(f.local("u.bin")));
        QVERIFY(!plain.stats().contains("/file/10/u.bin"));
    }

    void windowDownloadsTwoFiles()
    {
        TestHttpServer server;
        QTemporaryDir dir;
        ScriptedPrompter prompter;
        formhttp window(prompter);
        window.show();
        QCOMPARE(window.windowTitle(), QString("Vestrigal - HTTP download manager"));
        QCOMPARE(window.txtRemote->text(), QString("http://"));
        QCOMPARE(window.txtLocal->text(), formhttp::downloadFolder());
        QVERIFY(!window.btnResume->isEnabled() && !window.menu_resume->isEnabled());
        QVERIFY(window.btnPause->isEnabled());
        QCOMPARE(window.lblCurrent->text(), QString("Idle"));
        QStringList headers;
        for (int c = 0; c < 4; ++c)
            headers << window.lvwFiles->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"Remote file name", "Local file name", "File size (bytes)", "Status"}));

        window.btnPause->click();
        QVERIFY(window.btnResume->isEnabled() && !window.menu_pause->isEnabled());
        for (const QString &name : {QString("one.bin"), QString("two.bin")}) {
            window.txtRemote->setText(server.url("/file/250000/" + name));
            window.txtLocal->setText(dir.filePath(name));
            window.btnAdd->click();
        }
        QCOMPARE(window.lvwFiles->model()->rowCount(), 2);
        QCOMPARE(window.txtRemote->text(), QString("http://"));
        window.menu_resume->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window.lvwFiles->model()->rowCount(), 0, 20000);
        for (const char *name : {"one.bin", "two.bin"})
            QCOMPARE(Fixture::read(dir.filePath(name)), TestHttpServer::pattern(250000));
        QCOMPARE(window.lblCurrent->text(), QString("Idle"));
        QCOMPARE(window.barCurrent->value(), 0);
        QVERIFY(prompter.shown.isEmpty());

        prompter.fileNames = {dir.filePath("chosen.bin")};
        window.btnBrowse->click();
        QCOMPARE(window.txtLocal->text(), dir.filePath("chosen.bin"));
        window.btnBrowse->click(); // cancelled: nothing changes
        QCOMPARE(window.txtLocal->text(), dir.filePath("chosen.bin"));
    }

    void closingTheWindowStopsItsTransfer()
    {
        TestHttpServer server;
        QTemporaryDir dir;
        ScriptedPrompter prompter;
        formhttp window(prompter);
        window.show();
        QVERIFY(window.queue().add(server.url("/slow/100000/1000/20/one"), dir.filePath("one.bin")));
        QVERIFY(window.queue().add(server.url("/file/100/two"), dir.filePath("two.bin")));
        QTRY_VERIFY(window.queue().received() > 0);
        QTRY_VERIFY(window.lblCurrent->text().endsWith("%"));
        QVERIFY(window.barCurrent->value() >= 0 && window.barCurrent->value() < 100);
        window.close();
        QVERIFY(!window.queue().isTransferring());
        QTest::qWait(300);
        QVERIFY(!window.queue().isTransferring());
        const QByteArray part = Fixture::read(dir.filePath("one.bin"));
        QVERIFY(part.size() > 0 && part.size() < 100000);
        QVERIFY(!QFile::exists(dir.filePath("two.bin")));
    }
};

QTEST_MAIN(TestHttp)
#include "tst_http.moc"
