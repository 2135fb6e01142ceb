// Pause, resume, cancel, clear and the Delete key on transfers under way, and what a disconnect,
// a new connection, Exit or a lost connection do to them; through the main window against a real
// local server.
#include "tst_queue_fixture.h"

#include <QTreeView>

namespace {

constexpr qsizetype kFile = 1024 * 1024; // 1024 blocks of the default size

// Runs once, when the transfer under way first reaches the percentage.
void atPercent(QueueWindow &f, int percent, std::function<void()> act)
{
    auto done = std::make_shared<bool>(false);
    QObject::connect(&f.engine(), &TransferEngine::progressed, f.window.get(), [=](int now, qint64) {
        if (*done || now < percent)
            return;
        *done = true;
        act();
    });
}

} // namespace

class TestQueueControls : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

    QueueWindow *connected(const QString &folder)
    {
        auto *f = new QueueWindow;
        if (f->connect(*server))
            f->showRemote(folder);
        return f;
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(QDir().mkpath(server->pathOf("c")));
        for (int i = 1; i <= 3; ++i)
            QVERIFY(server->writeFile(QString("c/f%1.bin").arg(i), pattern(kFile, i)));
    }

    void pauseHoldsMidFileAndResumeFinishesItBothWays()
    {
        std::unique_ptr<QueueWindow> f(connected("/c/"));
        QueueWindow::select(f->window->ListView1, {"f1.bin", "f2.bin"});
        QStringList atPause;
        atPercent(*f, 42, [&] {
            f->window->action("menu_pause")->trigger();
            atPause << f->queueColumn("stat") << f->totals();
            atPause << QString::number(f->window->action("menu3_pause")->isEnabled())
                    << QString::number(f->window->action("menu3_resume")->isEnabled());
            const qint64 held = f->engine().bytesDone();
            // Held: nothing moves while events run; then Resume goes on from there.
            QTimer::singleShot(100, f->window.get(), [&, held] {
                atPause << QString::number(f->engine().bytesDone() == held);
                f->window->action("menu3_resume")->trigger();
                atPause << f->queueColumn("stat").join(',');
            });
        });
        f->window->queuePane().btnDownload_Click();
        QCOMPARE(atPause.mid(0, 2), QStringList({"42% Paused", "Paused"}));
        QCOMPARE(atPause[2], QString("Queue: Paused 2 files, %1 bytes").arg(2 * kFile));
        QCOMPARE(atPause.mid(3), QStringList({"0", "1", "1", "Pending,Pending"}));
        QCOMPARE(readLocal(f->localPath("f1.bin")), pattern(kFile, 1));
        QCOMPARE(readLocal(f->localPath("f2.bin")), pattern(kFile, 2));
        QCOMPARE(f->totals(), QString("Queue: Running 0 files, 0 bytes"));

        // The same for an upload.
        QVERIFY(writeLocal(f->localPath("up.bin"), pattern(kFile, 9)));
        f->showLocal(f->local.path());
        QueueWindow::select(f->window->ListView3, {"up.bin"});
        bool paused = false;
        atPercent(*f, 40, [&] {
            f->window->queuePane().btnPause_Click();
            paused = f->queueColumn("stat") == QStringList{"40% Paused"};
            QTimer::singleShot(50, f->window.get(), [&] { f->window->queuePane().btnResume_Click(); });
        });
        f->window->action("menu2_upload")->trigger();
        QVERIFY(paused);
        QCOMPARE(server->readFile("c/up.bin"), pattern(kFile, 9));
    }

    void cancelStopsTheRunningRowAndDropsAnotherAtOnce()
    {
        std::unique_ptr<QueueWindow> f(connected("/c/"));
        // The queue's order is the list's.
        const QStringList order = f->remoteNames().filter(QRegularExpression("^f\\d\\.bin$"));
        QCOMPARE(order.size(), 3);
        QueueWindow::select(f->window->ListView1, order);
        QStringList during;
        atPercent(*f, 30, [&] {
            QItemSelectionModel *selection = f->window->ListView2->selectionModel();
            const QAbstractItemModel *rows = f->window->ListView2->model();
            for (int r : {0, 2})
                selection->select(rows->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            f->window->action("menu3_cancel")->trigger();
            during << f->queueColumn("sname") << f->totals();
        });
        f->window->queuePane().btnDownload_Click();
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

    void deleteKeyOnTheRunningRowStopsIt()
    {
        std::unique_ptr<QueueWindow> f(connected("/c/"));
        QVERIFY(writeLocal(f->localPath("f1.bin"), "the user's own copy"));
        f->window->queuePane().QueueRemoteFile("/c/f1.bin", f->localPath("f1.bin"));
        f->window->queuePane().QueueRemoteFile("/c/f2.bin", f->localPath("f2.bin"));
        atPercent(*f, 20, [&] {
            f->window->ListView2->selectionModel()->select(f->window->ListView2->model()->index(0, 0),
                                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QTest::keyClick(f->window->ListView2->reportView(), Qt::Key_Delete);
        });
        f->window->queuePane().ProcessTransfer();
        // The stopped download did not replace the file there: what arrived waits beside it.
        QCOMPARE(readLocal(f->localPath("f1.bin")), QByteArray("the user's own copy"));
        const QByteArray part = readLocal(f->localPath("f1.bin.part"));
        QVERIFY(part.size() > 0 && part.size() < kFile);
        QVERIFY(f->logLines().contains("The part received was kept as " + f->localPath("f1.bin.part") + "."));
        QCOMPARE(readLocal(f->localPath("f2.bin")), pattern(kFile, 2));
    }

    void clearDuringATransferEmptiesTheQueue()
    {
        std::unique_ptr<QueueWindow> f(connected("/c/"));
        f->window->queuePane().QueueRemoteFile("/c/f1.bin", f->localPath("f1.bin"));
        f->window->queuePane().QueueRemoteFile("/c/f2.bin", f->localPath("f2.bin"));
        QString during;
        atPercent(*f, 30, [&] {
            f->window->action("menu_clear")->trigger();
            during = f->totals() + QString::number(f->window->ListView2->model()->rowCount());
        });
        f->window->queuePane().ProcessTransfer();
        QCOMPARE(during, QString("Queue: Running 0 files, 0 bytes0"));
        QVERIFY(!QFileInfo::exists(f->localPath("f2.bin")));
        QCOMPARE(f->totals(), QString("Queue: Running 0 files, 0 bytes"));
        QVERIFY(!f->engine().isActive());
    }

    void disconnectDuringAHeldTransferEndsItCleanly()
    {
        std::unique_ptr<QueueWindow> f(connected("/c/"));
        f->window->queuePane().QueueRemoteFile("/c/f1.bin", f->localPath("f1.bin"));
        f->window->queuePane().QueueRemoteFile("/c/f2.bin", f->localPath("f2.bin"));
        atPercent(*f, 40, [&] {
            f->window->queuePane().btnPause_Click();
            QTimer::singleShot(30, f->window.get(), [&] {
                f->prompter->answers = {Prompter::Answer::Ok}; // "Some files are still in queue..."
                f->window->action("menu_disconnect")->trigger();
            });
        });
        f->window->queuePane().ProcessTransfer();
        QVERIFY(!f->state.connected());
        QVERIFY(!f->engine().isActive() && !f->engine().transferUnderWay());
        QCOMPARE(f->totals(), QString("Queue: Paused 0 files, 0 bytes"));
        QVERIFY(f->window->action("menu_resume")->isEnabled());
        const QStringList lines = f->logLines();
        QVERIFY(lines.indexOf("Disconnected from server.") < lines.lastIndexOf("Transfer stopped."));
        // Stopped, not failed: what arrived is kept, and nothing more was asked of the server.
        const QByteArray part = readLocal(f->localPath("f1.bin"));
        QVERIFY(part.size() >= kFile * 4 / 10 && part.size() < kFile);
        QCOMPARE(part, pattern(kFile, 1).left(part.size()));
        QVERIFY(!QFileInfo::exists(f->localPath("f2.bin")));
    }

    void aNewConnectionStopsTheTransferAndTheQueueGoesOnOverIt()
    {
        std::unique_ptr<QueueWindow> f(connected("/c/"));
        f->window->queuePane().QueueRemoteFile("/c/f1.bin", f->localPath("f1.bin"));
        f->window->queuePane().QueueRemoteFile("/c/f2.bin", f->localPath("f2.bin"));
        FtpSession *first = f->state.session;
        atPercent(*f, 30, [&] {
            f->prompter->answers = {Prompter::Answer::Ok}; // "You are already connected..."
            f->window->remotePane().btnConnect_Click();
        });
        f->window->queuePane().ProcessTransfer();
        QVERIFY(f->state.connected() && f->state.session != first);
        QVERIFY(QFileInfo(f->localPath("f1.bin")).size() < kFile);
        QCOMPARE(readLocal(f->localPath("f2.bin")), pattern(kFile, 2));
        QCOMPARE(f->totals(), QString("Queue: Running 0 files, 0 bytes"));
    }

    void exitDuringATransferEndsIt()
    {
        // File > Exit, and closing the window by its frame.
        for (bool byFrame : {false, true}) {
            std::unique_ptr<QueueWindow> f(connected("/c/"));
            f->window->queuePane().QueueRemoteFile("/c/f1.bin", f->localPath("f1.bin"));
            atPercent(*f, 10, [&] { byFrame ? void(f->window->close()) : f->window->action("menu_exit")->trigger(); });
            f->window->queuePane().ProcessTransfer();
            QVERIFY(!f->state.connected());
            QVERIFY(!f->engine().isActive());
            QCOMPARE(f->window->ListView2->model()->rowCount(), 0);
        }
    }

    void aDroppedConnectionLeavesTheOldLocalFileIntact()
    {
        // A server of its own, stopped in the middle of a download larger than what the
        // system's socket buffers can hold, so that the end of the file never comes.
        auto own = std::make_unique<TestFtpServer>();
        QVERIFY(own->isRunning());
        QVERIFY(own->writeFile("big.bin", pattern(16 * kFile, 7)));
        QueueWindow f;
        QVERIFY(f.connect(*own));
        QVERIFY(writeLocal(f.localPath("big.bin"), "precious"));
        f.state.settings.downloadBufferSize = 64 * 1024;
        QVERIFY(own->writeFile("next.bin", "n"));
        f.showRemote("/"); // queued entries come from the listed rows
        f.window->queuePane().QueueRemoteFile("/big.bin", f.localPath("big.bin"));
        f.window->queuePane().QueueRemoteFile("/next.bin", f.localPath("next.bin"));
        atPercent(f, 3, [&] { own.reset(); });
        f.window->queuePane().ProcessTransfer();
        QCOMPARE(readLocal(f.localPath("big.bin")), QByteArray("precious"));
        // The window learns that the connection is gone; what was still queued waits, paused.
        QTRY_VERIFY(!f.state.connected());
        QVERIFY(f.logLines().contains("The connection to the server was lost."));
        QCOMPARE(f.queueColumn("stat"), QStringList({"Paused"}));
        QVERIFY(!f.state.queueRunning);
        QVERIFY(f.window->action("menu_resume")->isEnabled());
        QCOMPARE(QDir(f.local.path()).entryList(QDir::Files), QStringList{"big.bin"});
        QVERIFY2(f.logLines().contains("Transfer failed."), qPrintable(f.logText()));
        QVERIFY(!f.logLines().contains("Transfer complete."));
        QVERIFY(!f.engine().isActive());
    }
};

QTEST_MAIN(TestQueueControls)
#include "tst_queue_controls.moc"
