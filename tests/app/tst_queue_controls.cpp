// Pause, resume, cancel, clear and every way of stopping a transfer under way through the window;
// the progress a user reads.
#include "MainWindowFixture.h"
#include "RemoteOperations.h"

#include <QTreeView>

namespace {

constexpr qsizetype kFile = 512 * 1024; // 512 blocks of the default size
constexpr qsizetype kSlowFile = 900 * 1024;
constexpr int kBytesPerSecond = 300 * 1024; // the slow server's line: three seconds for the file
constexpr int kControlledRate = 256 * 1024;   // two seconds a file: the controls act mid-file

// Runs once, when a transfer under way first reaches the percentage.
void atPercent(QueueWindow &f, int percent, std::function<void()> act)
{
    auto done = std::make_shared<bool>(false);
    QObject::connect(&f.engine(), &TransferEngine::progressed, f.window.get(), [=](int, int now) {
        if (*done || now < percent)
            return;
        *done = true;
        act();
    });
}

// The colour at a fraction of the width of a cell.
QRgb at(const QImage &image, const QRect &cell, double fraction)
{
    return image.pixel(cell.left() + int(cell.width() * fraction), cell.top() + 3); // above the text
}

} // namespace

class TestQueueControls : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>(QStringList{"--throttle", QString::number(kControlledRate)});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(QDir().mkpath(server->pathOf("c")));
        for (int i = 1; i <= 3; ++i)
            QVERIFY(server->writeFile(QString("c/f%1.bin").arg(i), pattern(kFile, i)));
    }

    void pauseHoldsMidFileAndResumeFinishesItBothWays()
    {
        auto f = QueueWindow::connectedTo(*server, "/c/");
        f->state.settings.simultaneousTransfers = 1; // strictly in turn
        selectRows(f->window->ListView1, {"f1.bin", "f2.bin"});
        QStringList atPause;
        QString percentPaused;
        atPercent(*f, 42, [&] {
            f->window->action("menu_pause")->trigger();
            percentPaused = QString::number(f->engine().percentOf(0)) + "% Paused";
            atPause << f->queueColumn("stat") << f->totals();
            atPause << QString::number(f->window->action("menu3_pause")->isEnabled())
                    << QString::number(f->window->action("menu3_resume")->isEnabled());
            // Held: once the block on its way is in, nothing moves while events run; then Resume goes on.
            QTimer::singleShot(300, f->window.get(), [&] {
                const qint64 held = f->engine().bytesDone();
                QTimer::singleShot(300, f->window.get(), [&, held] {
                    atPause << QString::number(f->engine().bytesDone() == held);
                    f->window->action("menu3_resume")->trigger();
                    atPause << f->queueColumn("stat").join(',').remove(QRegularExpression("\\d+% Transferring"));
                });
            });
        });
        f->window->queuePane().btnDownload_Click();
        QVERIFY(f->queueEnds());
        QCOMPARE(atPause.mid(0, 2), QStringList({percentPaused, "Paused"}));
        QVERIFY(percentPaused >= "42% Paused");
        QCOMPARE(atPause[2], QString("Queue: Paused 2 files, %1 bytes").arg(2 * kFile));
        QCOMPARE(atPause.mid(3), QStringList({"0", "1", "1", ",Pending"}));
        QCOMPARE(readLocal(f->localPath("f1.bin")), pattern(kFile, 1));
        QCOMPARE(readLocal(f->localPath("f2.bin")), pattern(kFile, 2));
        QCOMPARE(f->totals(), QString("Queue: Running 0 files, 0 bytes"));

        // The same for an upload.
        QVERIFY(writeLocal(f->localPath("up.bin"), pattern(kFile, 9)));
        f->showLocal(f->local.path());
        selectRows(f->window->ListView3, {"up.bin"});
        bool paused = false;
        atPercent(*f, 40, [&] {
            f->window->queuePane().btnPause_Click();
            paused = f->queueColumn("stat") == QStringList{QString::number(f->engine().percentOf(0)) + "% Paused"};
            QTimer::singleShot(50, f->window.get(), [&] { f->window->queuePane().btnResume_Click(); });
        });
        f->window->action("menu2_upload")->trigger();
        QVERIFY(f->queueEnds());
        QVERIFY(paused);
        QCOMPARE(server->readFile("c/up.bin"), pattern(kFile, 9));
    }

    // The browsing connection stays free while a file moves and while it is held: another folder is
    // listed, a folder made, a file renamed and a remote folder queued, each at once.
    void browsingWhileAFileMoves_data()
    {
        QTest::addColumn<bool>("paused");
        QTest::newRow("running") << false;
        QTest::newRow("paused") << true;
    }
    void browsingWhileAFileMoves()
    {
        QFETCH(bool, paused);
        QVERIFY(server->writeFile("c/long.bin", pattern(8 * kFile)) && server->writeFile("other/x.txt", "x"));
        auto f = QueueWindow::connectedTo(*server, "/c/");
        f->window->queuePane().QueueRemoteFile("/c/long.bin", f->localPath("long.bin"));
        f->window->queuePane().ProcessTransfer();
        QTRY_VERIFY(f->engine().bytesDone() > 0);
        if (paused)
            f->window->queuePane().btnPause_Click();
        f->showRemote("/other/");
        QCOMPARE(f->remoteNames().filter("x.txt"), QStringList{"x.txt"});
        f->prompter->inputs = {"made"};
        f->window->remoteOperations().btnMkdir_Click();
        QVERIFY(QDir(server->pathOf("other/made")).exists());
        f->selectRemote("x.txt");
        f->prompter->inputs = {"y.txt"};
        f->window->remoteOperations().btnRename_Click();
        QCOMPARE(server->readFile("other/y.txt"), QByteArray("x"));
        QVERIFY(f->window->queuePane().QueueRemoteFolder(f->state.session, "/other/", f->localPath("other/")));
        QCOMPARE(f->queueRows(), 2);
        QVERIFY(f->engine().isCurrentRow(0)); // the file is still under way
        QVERIFY(f->prompter->messageTexts().isEmpty());
        if (paused)
            f->window->queuePane().btnResume_Click();
        QVERIFY(f->engine().stopRow(0));
        QVERIFY(f->queueEnds());
        QCOMPARE(readLocal(f->localPath("other/y.txt")), QByteArray("x"));
        QVERIFY(QDir(server->pathOf("other")).removeRecursively() && QFile::remove(server->pathOf("c/long.bin")));
    }

    void cancelStopsTheRunningRowAndDropsAnotherAtOnce()
    {
        auto f = QueueWindow::connectedTo(*server, "/c/");
        f->state.settings.simultaneousTransfers = 1;
        // The queue's order is the list's.
        const QStringList order = f->remoteNames().filter(QRegularExpression("^f\\d\\.bin$"));
        QCOMPARE(order.size(), 3);
        selectRows(f->window->ListView1, order);
        QStringList during;
        atPercent(*f, 30, [&] {
            QItemSelectionModel *selection = f->window->ListView2->selectionModel();
            const QAbstractItemModel *rows = f->window->ListView2->shownModel();
            for (int r : {0, 2})
                selection->select(rows->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            f->window->action("menu3_cancel")->trigger();
            during << f->queueColumn("sname") << f->totals();
        });
        f->window->queuePane().btnDownload_Click();
        QVERIFY(f->queueEnds());
        // The third row went at once; the first when its transfer had stopped.
        QCOMPARE(during, QStringList({"/c/" + order[0], "/c/" + order[1],
                                      QString("Queue: Running 2 files, %1 bytes").arg(2 * kFile)}));
        const QByteArray part = readLocal(f->localPath(order[0]));
        QVERIFY(part.size() >= kFile * 3 / 10 && part.size() < kFile);
        QCOMPARE(part, pattern(kFile, order[0].mid(1, 1).toInt()).left(part.size())); // what arrived, kept
        QCOMPARE(readLocal(f->localPath(order[1])), pattern(kFile, order[1].mid(1, 1).toInt()));
        QVERIFY(!QFileInfo::exists(f->localPath(order[2])));
        QCOMPARE(f->logLines().count("Transfer complete."), 1);
        QCOMPARE(f->logLines().count("Transfer stopped."), 1);
        QCOMPARE(f->totals(), QString("Queue: Running 0 files, 0 bytes"));
    }

    // Every way of stopping the transfer under way: the user's own copy is never replaced, what
    // arrived waits beside it, and the next entry runs or goes with the queue.
    void waysToStopTheRunningTransfer_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("nextArrives");
        QTest::addColumn<QString>("totalsAfter"); // empty: the window is gone
        const QString running = "Queue: Running 0 files, 0 bytes";
        QTest::newRow("Delete key") << "delete" << true << running;
        QTest::newRow("Clear") << "clear" << false << running;
        QTest::newRow("Disconnect while held") << "disconnect" << false << "Queue: Paused 0 files, 0 bytes";
        QTest::newRow("a new connection") << "connect" << true << running;
        QTest::newRow("File > Exit") << "exit" << false << "";
        QTest::newRow("closing the window") << "close" << false << "";
    }
    void waysToStopTheRunningTransfer()
    {
        QFETCH(QString, way);
        QFETCH(bool, nextArrives);
        QFETCH(QString, totalsAfter);
        auto f = QueueWindow::connectedTo(*server, "/c/");
        f->state.settings.simultaneousTransfers = 1;
        QVERIFY(writeLocal(f->localPath("f1.bin"), "the user's own copy"));
        f->window->queuePane().QueueRemoteFile("/c/f1.bin", f->localPath("f1.bin"));
        f->window->queuePane().QueueRemoteFile("/c/f2.bin", f->localPath("f2.bin"));
        RemoteSession *first = f->state.session;
        QString during;
        atPercent(*f, 30, [&] {
            f->prompter->answers = {Prompter::Answer::Ok}; // "You are already connected", "Some files are still..."
            if (way == "delete") {
                f->window->ListView2->selectionModel()->select(f->window->ListView2->shownModel()->index(0, 0),
                                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
                QTest::keyClick(f->window->ListView2->reportView(), Qt::Key_Delete);
            } else if (way == "clear") {
                f->window->action("menu_clear")->trigger();
                during = f->totals() + QString::number(f->queueRows());
            } else if (way == "disconnect") {
                f->window->queuePane().btnPause_Click();
                QTimer::singleShot(30, f->window.get(), [&] { f->window->action("menu_disconnect")->trigger(); });
            } else if (way == "connect") {
                f->window->remotePane().btnConnect_Click();
            } else {
                way == "close" ? void(f->window->close()) : f->window->action("menu_exit")->trigger();
            }
        });
        f->window->queuePane().ProcessTransfer();
        QVERIFY(f->queueEnds());
        QCOMPARE(readLocal(f->localPath("f1.bin")), QByteArray("the user's own copy"));
        const QByteArray part = readLocal(f->localPath("f1.bin.part"));
        QVERIFY(part.size() >= kFile * 3 / 10 && part.size() < kFile);
        QCOMPARE(part, pattern(kFile, 1).left(part.size()));
        QCOMPARE(readLocal(f->localPath("f2.bin")), nextArrives ? pattern(kFile, 2) : QByteArray("<missing>"));
        if (totalsAfter.isEmpty()) {
            QVERIFY(!f->state.connected());
            QCOMPARE(f->queueColumn("sname"), QStringList{"/c/f2.bin"}); // the stopped row went
            return;
        }
        QCOMPARE(f->totals(), totalsAfter);
        if (way != "connect") // a new connection starts a new log
            QVERIFY(f->logLines().contains("The part received was kept as " + f->localPath("f1.bin.part") + "."));
        if (way == "clear")
            QCOMPARE(during, totalsAfter + "0");
        if (way == "connect")
            QVERIFY(f->state.connected() && f->state.session != first);
        if (way == "disconnect") {
            QVERIFY(!f->state.connected() && f->window->action("menu_resume")->isEnabled());
            const QStringList lines = f->logLines();
            QVERIFY(lines.indexOf("Disconnected from server.") < lines.lastIndexOf("Transfer stopped."));
        }
    }

    void aDroppedConnectionLeavesTheOldLocalFileIntact()
    {
        // A slow server of its own, stopped in the middle of a download, so that the end of the
        // file never comes (a fast one may have sent all of it before the first report).
        auto own = std::make_unique<TestFtpServer>(QStringList{"--throttle", QString::number(kControlledRate)});
        QVERIFY(own->isRunning() && own->writeFile("big.bin", pattern(32 * kFile, 7)));
        QueueWindow f;
        QVERIFY(f.connect(*own) && writeLocal(f.localPath("big.bin"), "precious"));
        f.state.settings.downloadBufferSize = 64 * 1024;
        QVERIFY(own->writeFile("next.bin", "n"));
        f.showRemote("/"); // queued entries come from the listed rows
        f.window->queuePane().QueueRemoteFile("/big.bin", f.localPath("big.bin"));
        f.window->queuePane().QueueRemoteFile("/next.bin", f.localPath("next.bin"));
        f.state.settings.simultaneousTransfers = 1;
        atPercent(f, 0, [&] { own.reset(); }); // at the first report: the first blocks are in
        f.window->queuePane().ProcessTransfer();
        QTRY_VERIFY(!f.state.connected());
        QVERIFY(f.queueEnds());
        QCOMPARE(readLocal(f.localPath("big.bin")), QByteArray("precious"));
        // The window learns that the connection is gone; what was still queued waits, paused (the cut
        // file too when its retry was waiting by then: it goes on from its part after reconnecting).
        QTRY_VERIFY(!f.state.connected());
        QVERIFY(f.logLines().contains("The connection to the server was lost."));
        const QStringList stats = f.queueColumn("stat");
        QVERIFY2(!stats.isEmpty() && stats.count("Paused") == stats.size(), qPrintable(stats.join(',')));
        QCOMPARE(f.queueColumn("sname").constLast(), "/next.bin");
        QVERIFY(!f.state.queueRunning && f.window->action("menu_resume")->isEnabled() && !f.engine().isActive());
    }

    void aSlowTransferShowsItsBarSpeedAndBytesThenTheTotal()
    {
        TestFtpServer slow({"--throttle", QString::number(kBytesPerSecond)});
        QVERIFY2(slow.isRunning(), qPrintable(slow.errorText()));
        QVERIFY(slow.writeFile("slow.bin", pattern(kSlowFile)));
        QueueWindow f;
        QVERIFY(f.connectAt(slow, "/"));
        f.window->show();
        f.window->state().settings.downloadBufferSize = 16384;

        QStringList statusLines, tooltips;
        QImage painted;
        QRect cell;
        QObject::connect(&f.engine(), &TransferEngine::progressed, f.window.get(), [&](int, int percent) {
            const QString line = f.status();
            if (statusLines.isEmpty() || statusLines.constLast() != line)
                statusLines << line;
            const QModelIndex status = f.window->ListView2->shownModel()->index(0, f.window->ListView2->column("stat"));
            if (const QString tip = status.data(Qt::ToolTipRole).toString(); !tip.isEmpty())
                tooltips << tip;
            if (percent >= 50 && painted.isNull() && status.isValid()) {
                QTreeView *view = f.window->ListView2->reportView();
                cell = view->visualRect(status);
                painted = view->viewport()->grab().toImage();
                QCOMPARE(status.data().toString(), QString("%1% Transferring").arg(percent)); // the text stays
            }
        });
        selectRows(f.window->ListView1, {"slow.bin"});
        f.window->queuePane().btnDownload_Click();
        QTRY_COMPARE_WITH_TIMEOUT(f.window->queuePane().queue().count(), 0, 20000);
        QCOMPARE(readLocal(f.localPath("slow.bin")), pattern(kSlowFile));

        const QRegularExpression rate(R"(^(\d+\.\d (KB|MB)/s), 0:0\d left$)");
        const QStringList rates = statusLines.filter(rate);
        QVERIFY2(!rates.isEmpty(), qPrintable(statusLines.join(" | ")));
        // Near the server's limit (a shared machine may be slower, never faster).
        const QString first = rate.match(rates.constLast()).captured(1);
        const double kb = first.section(' ', 0, 0).toDouble() * (first.endsWith("MB/s") ? 1024 : 1);
        QVERIFY2(kb > 50 && kb < 2 * kBytesPerSecond / 1024, qPrintable(first));
        QVERIFY(rates.size() <= 8); // refreshed at most twice a second: about six times in three seconds
        QVERIFY2(!tooltips.isEmpty() && tooltips.constLast().endsWith(" of 921 600 bytes"),
                 qPrintable(tooltips.join(" | ")));
        QTRY_VERIFY(f.status().contains(QRegularExpression(R"(^Transferred 1 file, 900\.0 KB in 0:0\d\.$)")));

        // The bar: filled on the left of the cell, empty on the right, over the whole cell.
        QVERIFY(!painted.isNull() && cell.isValid());
        const QRgb filled = at(painted, cell, 0.2), empty = at(painted, cell, 0.9);
        QVERIFY2(filled != empty, qPrintable(QString::number(filled, 16) + " " + QString::number(empty, 16)));
        QCOMPARE(at(painted, cell, 0.4), filled);
    }
};

QTEST_MAIN(TestQueueControls)
#include "tst_queue_controls.moc"
