// The window's queue kept across runs: a program killed with SIGKILL in the middle of a queue
// (this binary run again with --run-queue APP LOCAL URL) and started again on its folder, the
// entries left offered, damaged and locked files.
#include "EndedModel.h"
#include "QueueArea.h"
#include "QueueKeeper.h"
#include "app/MainWindowFixture.h"

#include <QProcess>
#include <QTreeView>
#include <unistd.h>

namespace {

constexpr int Files = 300;
constexpr int Big = 150; // the file the kill cuts, once 1 MiB of it is on disk: 2.5 s on the throttled line

// The child: downloads the server's "kept" folder in turn, a line out for each file that ended.
int runQueue(const QString &app, const QString &local, const QString &url)
{
    MainWindowFixture f({}, app);
    f.state.settings.simultaneousTransfers = 1; // one file at a time: the kill cuts the big one alone
    f.window->queuePane().restoreQueue();
    f.window->remotePane().connectTo(url);
    f.showLocal(local);
    selectRows(f.window->ListView1, {"kept"});
    QObject::connect(&f.window->queuePane().engine(), &TransferEngine::entryEnded, [] { (void)!write(1, "x\n", 2); });
    f.window->queuePane().btnDownload_Click();
    return QCoreApplication::exec();
}

QString fileName(int i)
{
    return QString("kept/f%1.dat").arg(i, 3, 10, QChar('0'));
}

QueueEntry entry(int i)
{
    return {"/tmp/" + fileName(i), "/" + fileName(i), QueueEntry::Direction::Down, "1", "", "-", "Pending", 1};
}

// What the store at path holds, once the window has let it go; a queue no test expects if it is not opened.
QueueStore::Lists listsIn(const QString &path)
{
    QueueStore store;
    return store.open(path) == QueueStore::Outcome::Opened ? store.load() : QueueStore::Lists{QList<StoredEntry>(99)};
}

} // namespace

class TestQueueKept : public QObject
{
    Q_OBJECT

private slots:
    void aKilledQueueGoesOnWhereItStopped()
    {
        const QTemporaryDir dir;
        const QString commands = dir.filePath("commands");
        TestFtpServer server({"--throttle", "1000000", "--commands", commands});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        for (int i = 0; i < Files; ++i)
            QVERIFY(server.writeFile(fileName(i), pattern(i == Big ? 2500000 : 3000 + i * 7, i)));
        QDir().mkpath(dir.filePath("local"));
        QProcess child;
        child.start(
            QCoreApplication::applicationFilePath(),
            {"--run-queue", dir.filePath("app"), dir.filePath("local"),
             QString("ftp://%1:%2@%3:%4/").arg(server.user(), server.password(), server.host()).arg(server.port())});
        const QString part = dir.filePath("local/") + fileName(Big) + ".part";
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(part).size() >= (1 << 20), 60000);
        child.kill();
        QVERIFY(child.waitForFinished() && child.exitStatus() == QProcess::CrashExit);
        const qsizetype ended = child.readAllStandardOutput().count('\n');
        const qint64 cut = QFileInfo(part).size();
        int gone = 0; // a file still to come, gone from the server: it fails
        while (gone == Big || QFile::exists(dir.filePath("local/") + fileName(gone)))
            ++gone;
        QVERIFY(QFile::remove(server.pathOf(fileName(gone))));
        MainWindowFixture f({}, dir.filePath("app"));
        f.prompter->choices = {0}; // Resume
        f.window->queuePane().restoreQueue();
        const int left = f.queueRows();
        QVERIFY(left >= Files - ended - 1 && left <= Files - ended);
        QCOMPARE(f.window->queuePane().keeper().finished().size(), Files - left);
        QCOMPARE(f.window->queuePane().finishedList().count(), Files - left); // in the Finished tab from the start
        QCOMPARE(f.prompter->messageTexts(),
                 QStringList(QString("%1 transfers from last time are still in the queue.").arg(left)));
        QVERIFY(f.connect(server));
        QTRY_VERIFY_WITH_TIMEOUT(f.queueRows() == 0 && !f.window->queuePane().engine().isActive(), 120000);

        // Each file byte-identical and sent once (RETRs in the server's command log), but the one the kill
        // cut, which goes on from where its part ended.
        const QStringList sent = commandsIn(commands);
        for (int i = 0; i < Files; ++i) {
            if (i != gone)
                QCOMPARE(readLocal(dir.filePath("local/") + fileName(i)), server.readFile(fileName(i)));
            QVERIFY2(sent.count("RETR /" + fileName(i)) == (i == Big ? 2 : 1), qPrintable(fileName(i)));
        }
        const QStringList rest = sent.filter(QRegularExpression("^REST [1-9]")); // a little before the part's end
        QVERIFY(rest.size() == 1 && rest[0].mid(5).toLongLong() <= cut && rest[0].mid(5).toLongLong() > cut - 65536);
        QueueStore::Lists lists = f.window->queuePane().keeper().store().load();
        QCOMPARE(std::tuple(lists.queued.size(), lists.finished.size(), lists.failed.size()),
                 std::tuple(0, Files - 1, 1));
        QVERIFY(lists.failed[0].entry.remotePath == "/" + fileName(gone) && lists.failed[0].reason.startsWith("550 "));
        // Clear and Remove reach the store, for the lists of last time and this one's alike.
        f.window->queueArea->view(QueueArea::Failed)->selectAll();
        f.window->queueArea->removeFailed->trigger();
        f.window->queueArea->clearFinished->trigger();
        f.window.reset();
        lists = listsIn(f.state.folders.queueFile);
        QCOMPARE(std::tuple(lists.queued.size(), lists.finished.size(), lists.failed.size()), std::tuple(0, 0, 0));
    }

    void entriesLeftAreResumedKeptPausedOrDiscarded_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("status"); // of the three rows put back; none when discarded
        QTest::addColumn<bool>("disconnect"); // after the cancel: the queue the user let go is not kept
        // The last row's transfer ends just before: its end, still waiting for its commit, stays kept.
        QTest::addColumn<bool>("ended");
        QTest::newRow("resume") << 0 << "Pending" << false << false;
        QTest::newRow("discard") << 1 << "" << false << false;
        QTest::newRow("keep paused") << 2 << "Paused" << false << false;
        QTest::newRow("keep paused, disconnect") << 2 << "Paused" << true << false;
        QTest::newRow("keep paused, one ended, disconnect") << 2 << "Paused" << true << true;
    }
    void entriesLeftAreResumedKeptPausedOrDiscarded()
    {
        QFETCH(int, choice);
        QFETCH(QString, status);
        QFETCH(bool, disconnect);
        QFETCH(bool, ended);
        const int rows = status.isEmpty() ? 0 : 3;
        auto f = std::make_unique<MainWindowFixture>();
        const QString file = f->state.folders.queueFile;
        QueueStore store;
        QVERIFY(store.open(file) == QueueStore::Outcome::Opened &&
                store.add({entry(1), entry(2), entry(3)}).size() == 3);
        store.open(":memory:"); // the file is let go
        f->prompter->choices = {choice};
        f->window->queuePane().restoreQueue();
        QCOMPARE(f->queueRows(), rows);
        QCOMPARE(f->state.queueRunning, status != "Paused");
        for (int r = 0; r < rows; ++r)
            QCOMPARE(f->window->queuePane().queue().status(r), status);
        f->window->ListView2->selectionModel()->select(f->window->ListView2->shownModel()->index(0, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f->window->queuePane().menu_cancel_Click();
        if (ended)
            emit f->window->queuePane().engine().entryEnding(rows - 2, TransferOutcome::Done, 1, {});
        if (disconnect)
            f->window->queuePane().clearQueue();
        f->window.reset();
        const QueueStore::Lists kept = listsIn(file);
        QCOMPARE(kept.queued.size(), disconnect ? 0 : qMax(0, rows - 1)); // the first row was cancelled
        QCOMPARE(kept.finished.size(), ended ? 1 : 0);
    }

    void aDamagedOrLockedFileGivesAnEmptyQueueInMemory_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::newRow("damaged") << false;
        QTest::newRow("locked") << true;
    }
    void aDamagedOrLockedFileGivesAnEmptyQueueInMemory()
    {
        QFETCH(bool, locked);
        MainWindowFixture f;
        const QString file = f.state.folders.queueFile;
        QueueStore other;
        QVERIFY(locked ? other.open(file) == QueueStore::Outcome::Opened && other.add({entry(1)}).size() == 1
                       : writeLocal(file, "Not a queue.\n"));
        f.window->queuePane().restoreQueue();
        const QString folder = QFileInfo(file).path() + "/";
        const QStringList aside = QDir(folder).entryList({"*.damaged-*"});
        QCOMPARE(f.prompter->messageTexts(),
                 QStringList(locked ? QueueStore::lockedMessage(file)
                                    : QueueStore::damagedMessage(file, folder + aside.value(0))));
        QCOMPARE(f.queueRows(), 0);
        QCOMPARE(aside.size(), locked ? 0 : 1);
        QVERIFY(locked || readLocal(folder + aside.value(0)) == "Not a queue.\n");
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--run-queue")
        return runQueue(argv[2], argv[3], argv[4]);
    TestQueueKept test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_queuekept.moc"
