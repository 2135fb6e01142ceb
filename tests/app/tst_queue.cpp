// The queue through the main window against a real local server: files and folder trees both
// ways, transfer types, missing folders on either side, open failures.
#include "EndedModel.h"
#include "MainWindowFixture.h"
#include "QueueArea.h"
#include "RemoteOperations.h"

#include <QTabBar>
#include <QTreeView>

class TestQueue : public QObject
{
    Q_OBJECT

    QTemporaryDir recordDir;
    std::unique_ptr<TestFtpServer> server;

    QString commandsFile() const { return recordDir.filePath("commands.txt"); }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>(QStringList{"--commands", commandsFile()});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    }

    // The log's "Command: " lines are the server's record of what it received, line by line.
    void logShowsEveryCommandAsSent_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action : {"login", "delete", "upload", "rename"})
            QTest::newRow(action) << QString(action);
    }
    void logShowsEveryCommandAsSent()
    {
        QFETCH(QString, action);
        QFile::remove(commandsFile());
        QVERIFY(server->writeFile("sent/a.txt", "a"));
        QueueWindow f;
        QVERIFY(f.connect(*server));
        qsizetype logFrom = 0, receivedFrom = 0;
        if (action != "login") {
            f.showRemote("/sent/");
            f.selectRemote("a.txt");
            logFrom = f.logLines().size();
            receivedFrom = commandsIn(commandsFile()).size();
        }
        if (action == "delete") {
            f.prompter->answers = {Prompter::Answer::Ok};
            f.window->remoteOperations().btnDelete_Click();
            QVERIFY(!QFile::exists(server->pathOf("sent/a.txt")));
        } else if (action == "rename") {
            f.prompter->inputs = {"b.txt"};
            f.window->remoteOperations().btnRename_Click();
            QCOMPARE(server->readFile("sent/b.txt"), QByteArray("a"));
        } else if (action == "upload") {
            QVERIFY(writeLocal(f.localPath("up.bin"), pattern(3000)));
            f.showLocal(f.local.path());
            f.window->queuePane().QueueLocalFile(f.localPath("up.bin"), "/sent/new/up.bin");
            f.window->queuePane().ProcessTransfer();
            QVERIFY(f.queueEnds());
            QCOMPARE(server->readFile("sent/new/up.bin"), pattern(3000));
        }
        const QStringList lines = f.logLines().mid(logFrom);
        QStringList logged = lines.filter(QRegularExpression("^Command: "));
        logged.replaceInStrings(QRegularExpression("^Command: "), "").replaceInStrings("PASS ********", "PASS ****");
        QCOMPARE(logged, commandsIn(commandsFile()).mid(receivedFrom));
        if (action == "login") // each reply after its command
            QVERIFY(lines.indexOf(QRegularExpression("^331 .*")) == lines.indexOf("Command: USER tester") + 1);
        QDir(server->pathOf("sent")).removeRecursively();
    }

    void threeDownloadsRunInOrderAndEmptyTheQueue()
    {
        QVERIFY(server->writeFile("three/one.bin", pattern(100 * 1024, 1)));
        QVERIFY(server->writeFile("three/two.bin", pattern(1000, 2)) && server->writeFile("three/zero.bin", {}));
        QueueWindow f;
        QVERIFY(f.connectAt(*server, "/three/"));
        selectRows(f.window->ListView1, {"..", "one.bin", "two.bin", "zero.bin"});
        QStringList seen; // the queue as it looked while the first file moved
        f.state.settings.simultaneousTransfers = 1; // strictly in turn
        connect(&f.engine(), &TransferEngine::progressed, this, [&] {
            if (seen.isEmpty())
                seen << f.queueColumn("sname") << f.queueColumn("stat") << f.totals();
        });
        f.window->action("menu1_download")->trigger();
        QVERIFY(f.queueEnds());

        // The queue takes the rows in the order the list shows them.
        QStringList order = f.remoteNames();
        order.removeAll("..");
        const QStringList remotes = QStringList(order).replaceInStrings(QRegularExpression("^"), "/three/");
        QCOMPARE(seen.mid(0, 3), remotes);
        QVERIFY2(seen[3].endsWith("% Transferring") && seen[4] == "Pending" && seen[5] == "Pending",
                 qPrintable(seen.join('|')));
        QCOMPARE(seen[6], QString("Queue: Running 3 files, 103400 bytes"));

        QCOMPARE(f.totals(), QString("Queue: Running 0 files, 0 bytes"));
        QCOMPARE(f.queueRows(), 0);
        QCOMPARE(f.commands("RETR"), QStringList(remotes).replaceInStrings(QRegularExpression("^"), "Command: RETR "));
        QCOMPARE(f.logLines().count("Transfer complete."), 3);
        QVERIFY(f.logText().contains("\n[2] Command: RETR /three/")); // the transfer connection's own lines
        QCOMPARE(readLocal(f.localPath("one.bin")), pattern(100 * 1024, 1));
        QCOMPARE(readLocal(f.localPath("two.bin")), pattern(1000, 2));
        QCOMPARE(readLocal(f.localPath("zero.bin")), QByteArray());
        QCOMPARE(QDir(f.local.path()).entryList(QDir::Files).size(), 3); // no part file left
        // The local list was listed again once the queue had run.
        QCOMPARE(f.window->ListView3->model()->rowCount(), 4); // "..", three files
        QTRY_VERIFY2(QRegularExpression(R"(^Transferred 3 files, 101\.0 KB in 0:0\d\.$)").match(f.status()).hasMatch(),
                     qPrintable(f.status()));
    }

    void uploadMakesMissingRemoteFolders()
    {
        QueueWindow f;
        QVERIFY(f.connect(*server) && writeLocal(f.localPath("up.bin"), pattern(5000, 3)));
        QVERIFY(writeLocal(f.localPath("second.bin"), pattern(10, 4)));
        f.showLocal(f.local.path());
        f.window->queuePane().QueueLocalFile(f.localPath("up.bin"), "/new/sub/f.bin");
        QCOMPARE(f.queueColumn("sname"), QStringList{"/new/sub/f.bin"});
        QCOMPARE(f.queueColumn("size"), QStringList{"5 000"});
        f.window->queuePane().ProcessTransfer();
        QVERIFY(f.queueEnds());
        QCOMPARE(server->readFile("new/sub/f.bin"), pattern(5000, 3));
        QCOMPARE(f.commands("RNTO"), QStringList{"Command: RNTO /new/sub/f.bin"}); // from its temporary name
        // An existing remote file is replaced; the remote list shows the folder after the queue.
        f.showRemote("/new/sub/");
        selectRows(f.window->ListView3, {"second.bin"});
        f.state.currentRemoteFolder = "/new/sub/";
        f.window->action("menu2_upload")->trigger();
        QVERIFY(f.queueEnds());
        QCOMPARE(server->readFile("new/sub/second.bin"), pattern(10, 4));
        QTRY_VERIFY(f.remoteNames().contains("second.bin"));
        QCOMPARE(f.totals(), QString("Queue: Running 0 files, 0 bytes"));
    }

    // Folders that are not there yet are made, and the local tree shows them.
    void downloadMakesMissingLocalFolders()
    {
        QVERIFY(server->writeFile("down/f.bin", pattern(3000, 5)));
        QueueWindow f;
        QVERIFY(f.connectAt(*server, "/down/"));
        f.typeLocal(f.local.path()); // the local tree opens down to the folder
        f.window->queuePane().QueueRemoteFile("/down/f.bin", f.localPath("deep/er/f.bin"));
        f.window->queuePane().ProcessTransfer();
        QVERIFY(f.queueEnds());
        QCOMPARE(readLocal(f.localPath("deep/er/f.bin")), pattern(3000, 5));
        QStandardItem *node = f.window->localPane().tree().folderNode(f.local.path() + '/');
        QVERIFY(node && node->rowCount() == 1);
        QCOMPARE(node->child(0)->text(), QString("deep"));
    }

    // The engine's rule as the window shows it: a file that cannot be opened on either side is
    // told, nothing is sent for it, and the next entry runs.
    void anOpenFailureIsShownAndTheNextEntryRuns()
    {
        QVERIFY(server->writeFile("fail/gone.bin", "soon gone") && server->writeFile("fail/kept.bin", "kept"));
        QueueWindow f;
        QVERIFY(f.connectAt(*server, "/fail/"));
        QVERIFY(QFile::remove(server->pathOf("fail/gone.bin")));
        selectRows(f.window->ListView1, {"gone.bin", "kept.bin"});
        f.window->queuePane().btnDownload_Click();
        QVERIFY(f.queueEnds());
        QCOMPARE(f.prompter->messageTexts(), QStringList{"Could not open file /fail/gone.bin"});
        QCOMPARE(f.prompter->shown[0].icon, Prompter::Icon::Critical);
        QCOMPARE(QDir(f.local.path()).entryList(QDir::Files), QStringList{"kept.bin"});
        // An upload whose file went before the queue reached it leaves the remote file alone.
        f.window->queuePane().btnPause_Click();
        selectRows(f.window->ListView3, {"kept.bin"});
        f.window->queuePane().btnUpload_Click();
        QVERIFY(QFile::remove(f.localPath("kept.bin")));
        f.window->queuePane().btnResume_Click();
        QVERIFY(f.queueEnds());
        QCOMPARE(f.prompter->messageTexts().last(), "Could not open file " + f.localPath("kept.bin"));
        QCOMPARE(server->readFile("fail/kept.bin"), QByteArray("kept"));
        QVERIFY(f.commands("STOR").isEmpty());
        QCOMPARE(f.totals(), QString("Queue: Running 0 files, 0 bytes"));
    }

    // A failed entry stays in the Failed tab with the server's reason and its time, its log line in
    // red, and the run's last line names it; Retry sends it back and it completes. Finished entries
    // keep their sizes until Clear.
    void aFailedDownloadWaitsInItsTabForRetry()
    {
        QVERIFY(server->writeFile("ff/gone.bin", "x") && server->writeFile("ff/kept.bin", pattern(3000, 7)));
        QueueWindow f;
        QVERIFY(f.connectAt(*server, "/ff/"));
        QVERIFY(QFile::remove(server->pathOf("ff/gone.bin")));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        selectRows(f.window->ListView1, {"gone.bin", "kept.bin"});
        f.window->queuePane().btnDownload_Click();
        QVERIFY(f.queueEnds());
        EndedModel &failed = f.window->queuePane().failedList(), &finished = f.window->queuePane().finishedList();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).entry.remotePath, QString("/ff/gone.bin"));
        QVERIFY2(failed.at(0).reason.startsWith("550 "), qPrintable(failed.at(0).reason));
        QVERIFY(failed.at(0).endedAt >= before && failed.at(0).endedAt <= QDateTime::currentDateTime());
        QVERIFY(f.loggedInRed("Transfer of /ff/gone.bin failed: 550 "));
        QTRY_COMPARE(f.window->queueArea->tabs()->tabText(QueueArea::Failed), QString("Failed (1)"));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(QList<qint64>({finished.at(0).entry.bytes, finished.at(0).bytesDone}), QList<qint64>({3000, 3000}));
        QTRY_VERIFY2(f.status().contains(QRegularExpression("^Transferred 1 file, 2.9 KB in 0:0\\d; 1 failed\\.$")),
                     qPrintable(f.status()));

        QVERIFY(server->writeFile("ff/gone.bin", pattern(10, 8)));
        f.window->queueArea->view(QueueArea::Failed)->selectAll();
        f.window->queueArea->retrySelected->trigger();
        QCOMPARE(failed.count(), 0);
        QVERIFY(f.queueEnds());
        QCOMPARE(readLocal(f.localPath("gone.bin")), pattern(10, 8));
        QCOMPARE(finished.count(), 2);
        QTRY_COMPARE(f.window->queueArea->tabs()->tabText(QueueArea::Finished), QString("Finished (2)"));
        QTRY_VERIFY2(f.status().startsWith("Transferred 1 file, 10 bytes in 0:0") && !f.status().contains("failed"),
                     qPrintable(f.status()));
        f.window->queueArea->clearFinished->trigger();
        QCOMPARE(finished.count(), 0);
        QTRY_COMPARE(f.window->queueArea->tabs()->tabText(QueueArea::Finished), QString("Finished (0)"));
    }

    // Files that fail to open while the box is up are counted into it, and the other transfers go
    // on meanwhile; Remove takes rows from the Failed tab, Retry all sends back the rest.
    void oneBoxGathersTheOpenFailures()
    {
        const QStringList names{"a.bin", "b.bin", "c.bin", "ok.bin"};
        for (const QString &name : names)
            QVERIFY(server->writeFile("box/" + name, pattern(200000, 9)));
        QueueWindow f;
        f.prompter->keepNoticesOpen = true;
        f.state.settings.simultaneousTransfers = 2;
        QVERIFY(f.connectAt(*server, "/box/"));
        for (const QString &name : names.mid(0, 3))
            QVERIFY(QFile::remove(server->pathOf("box/" + name)));
        selectRows(f.window->ListView1, names);
        f.window->queuePane().btnDownload_Click();
        QVERIFY(f.queueEnds());
        QCOMPARE(f.prompter->shown.size(), 1);
        QVERIFY2(f.prompter->shown[0].text.contains(QRegularExpression(
                     "^Could not open file /box/[abc]\\.bin\n\\.\\.\\. and 2 more: see the Failed tab$")),
                 qPrintable(f.prompter->shown[0].text));
        QCOMPARE(readLocal(f.localPath("ok.bin")), pattern(200000, 9));
        QTRY_VERIFY2(f.status().contains(QRegularExpression("^Transferred 1 file, .* in 0:0\\d; 3 failed\\.$")),
                     qPrintable(f.status()));

        EndedModel &failed = f.window->queuePane().failedList();
        QTreeView *view = f.window->queueArea->view(QueueArea::Failed);
        QStringList paths;
        for (const StoredEntry &e : failed.entries())
            paths << e.entry.remotePath;
        for (const int row : {0, 2})
            view->selectionModel()->select(failed.index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f.window->queueArea->removeFailed->trigger();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).entry.remotePath, paths[1]);
        QVERIFY(server->writeFile(paths[1].mid(1), "back"));
        f.prompter->closeNotices();
        f.window->queueArea->retryAll->trigger();
        QVERIFY(f.queueEnds());
        QCOMPARE(failed.count(), 0);
        QCOMPARE(readLocal(f.localPath(paths[1].mid(5))), QByteArray("back"));
        QCOMPARE(f.prompter->shown.size(), 1);
    }

    // The remote tree's node of a folder downloads it whole, the local tree's node uploads it; empty
    // folders are made on neither side.
    void folderTreesBothWaysFromTheTrees()
    {
        for (const char *file : {"rt/x", "rt/sub/y", "rt/sub/deeper/z", "rt/bad\\name"})
            QVERIFY(server->writeFile(file, file));
        QVERIFY(QDir().mkpath(server->pathOf("rt/hollow")));
        QueueWindow f;
        QVERIFY(f.connect(*server) && nodeWithKey(f.window->remoteTree, "/rt/"));
        f.window->TreeView2->setCurrentIndex(nodeWithKey(f.window->remoteTree, "/rt/")->index());
        f.window->action("menu6_download")->trigger();
        QVERIFY(f.queueEnds());
        for (const char *file : {"rt/x", "rt/sub/y", "rt/sub/deeper/z"})
            QCOMPARE(readLocal(f.localPath(file)), QByteArray(file));
        QCOMPARE(f.commands("RETR").size(), 3); // each file once
        QVERIFY(f.logLines().contains("Skipped /rt/bad\\name: not a possible local file name."));
        QCOMPARE(QDir(f.localPath("rt")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"sub", "x"}));

        QVERIFY(QDir().mkpath(f.localPath("rt/empty")));
        f.typeLocal(f.localPath("rt"));
        f.state.currentRemoteFolder = "/";
        f.window->queuePane().btnPause_Click();
        f.window->queuePane().menu5_upload_Click();
        QStringList remotes = f.queueColumn("sname");
        remotes.sort();
        QCOMPARE(remotes, QStringList({"/rt/sub/deeper/z", "/rt/sub/y", "/rt/x"}));
        QCOMPARE(f.status(), QString("Ready."));
        QVERIFY(QDir(server->pathOf("rt")).removeRecursively()); // what arrives is only what was queued
        f.window->queuePane().btnResume_Click();
        QVERIFY(f.queueEnds());
        QCOMPARE(server->readFile("rt/sub/deeper/z"), QByteArray("rt/sub/deeper/z"));
        QVERIFY(!QFileInfo::exists(server->pathOf("rt/empty")));
        QCOMPARE(f.totals(), QString("Queue: Running 0 files, 0 bytes"));
    }
};

QTEST_MAIN(TestQueue)
#include "tst_queue.moc"
