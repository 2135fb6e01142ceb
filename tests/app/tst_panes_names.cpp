// Server names never become paths outside their folder, whatever way the user takes; a row is a file
// or a folder by what the server said; drops between and within the panes, as a real drag gives them.
#include "DragDrop.h"
#include "MainWindowFixture.h"
#include "RemoteOperations.h"

#include <QDirIterator>
#include <QTreeView>

namespace {

const QString Escape = QStringLiteral("../../evil.txt");
const QString Back = QStringLiteral("..\\..\\back.txt");
const QString Up = QStringLiteral("/h/..\\..\\up/");

// The window with its local side in <root>/a/b/: a name that climbs two levels would land in <root>.
struct Window : QueueWindow
{
    QString target() const { return local.path() + "/a/b/"; }
    Window()
    {
        QDir(local.path()).mkpath("a/b");
        showLocal(target());
    }
    int skipped(const QString &remotePath) const
    {
        return logLines().count("Skipped " + remotePath + ": not a possible local file name.");
    }
};

} // namespace

class TestPaneNames : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> hostile, server;

    static void drag(QueueWindow &f, DragDrop::Source source, const QStringList &names)
    {
        selectRows(source == DragDrop::Source::RemoteList ? f.window->ListView1 : f.window->ListView3, names);
        f.window->dragDrop().beginDrag(source);
    }

private slots:
    void initTestCase()
    {
        // The files behind the hostile names: a client that sent RETR /h/../../evil.txt would get /evil.txt.
        hostile = std::make_unique<TestFtpServer>(QStringList{"--no-mlsd", "--list-as", "evilsrc", Escape});
        QVERIFY2(hostile->isRunning(), qPrintable(hostile->errorText()));
        QVERIFY(hostile->writeFile("evil.txt", "outside"));
        for (const QString &folder : {QString("h/"), QString("h/tree/")}) {
            QVERIFY(hostile->writeFile(folder + "evilsrc", "climbs") && hostile->writeFile(folder + Back, "backslash"));
            QVERIFY(hostile->writeFile(folder + "good.txt", "good"));
        }
        QVERIFY(hostile->writeFile("h/..\\..\\up/inner.txt", "inner") && hostile->writeFile("del/a\\b/c.txt", "c"));
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        for (const char *name :
             {"m/a.txt", "m/b.txt", "m/c.txt", "m/dst/keep.txt", "m/dst/c.txt", "s/file.txt", "s/folder/inner.txt",
              "t/tree/one.txt", "t/tree/sub/two.txt", "t/tree/sub/deeper/three.txt"})
            QVERIFY(server->writeFile(name, name));
        QVERIFY(QDir().mkpath(server->pathOf("t/tree/empty")) && QDir().mkpath(server->pathOf("u/in")));
    }

    // Each way of bringing files and a folder of /h/ home, and a tree node whose own name climbs.
    void serverNamesKeepToTheLocalFolder_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("into"); // where the files land, below <root>/a/b/
        QTest::newRow("menu") << "menu_download" << QString();
        QTest::newRow("popup") << "menu1_download" << QString();
        QTest::newRow("tree") << "menu6_download" << QString();
        QTest::newRow("drop on a row") << "row" << QString("row/");
        QTest::newRow("drop on a node") << "node" << QString("node/deeper/");
    }
    void serverNamesKeepToTheLocalFolder()
    {
        QFETCH(QString, way);
        QFETCH(QString, into);
        Window f;
        QVERIFY(QDir(f.target()).mkpath("row") && QDir(f.target()).mkpath("node/deeper"));
        f.showLocal(f.target());
        QVERIFY(f.connectAt(*hostile, "/h/"));
        selectRows(f.window->ListView1, {Escape, Back, "good.txt", "tree"});
        const auto node = localNode(f.target() + "node/deeper/");
        DragDrop &drops = f.window->dragDrop();
        if (way == "row" || way == "node") {
            drops.beginDrag(DragDrop::Source::RemoteList);
            if (way == "row")
                drops.dropOnLocalRow(rowOf(f.window->ListView3, "row"));
            else
                drops.dropOnLocalNode(node.get());
        } else {
            if (way == "menu6_download") { // legal on the server: the folder has its node
                QVERIFY(nodeWithKey(f.window->remoteTree, Up));
                f.window->TreeView2->setCurrentIndex(nodeWithKey(f.window->remoteTree, Up)->index());
            }
            f.window->action(way)->trigger();
        }
        QTRY_COMPARE(f.queueRows(), 0);
        QVERIFY(f.prompter->shown.isEmpty());
        if (way == "menu6_download") {
            QCOMPARE(filesBelow(f.local.path()), QStringList());
            QCOMPARE(f.skipped(Up), 1);
            return;
        }
        QCOMPARE(filesBelow(f.local.path()),
                 QStringList({"a/b/" + into + "good.txt", "a/b/" + into + "tree/good.txt"}));
        for (const QString &remote : {"/h/" + Escape, "/h/" + Back, "/h/tree/" + Escape, "/h/tree/" + Back})
            QCOMPARE(f.skipped(remote), 1); // each refusal is said once
    }

    void uploadsSkipNamesTheServerCannotTake()
    {
        Window f;
        QVERIFY(writeLocal(f.target() + "up/fine.txt", "f") && writeLocal(f.target() + "up/ctl\x01name.txt", "c"));
        f.showLocal(f.target());
        QVERIFY(f.connect(*hostile) && QDir().mkpath(hostile->pathOf("into")));
        f.showRemote("/into/");
        selectRows(f.window->ListView3, {"up"});
        f.window->action("menu_upload")->trigger();
        QTRY_COMPARE(f.queueRows(), 0);
        QCOMPARE(filesBelow(hostile->pathOf("into")), QStringList({"up/fine.txt"}));
        QCOMPARE(f.logLines().filter(QRegularExpression("^Skipped .*ctl\x01name.txt")).size(), 1);
    }

    void backslashFoldersAreOrdinaryOnTheServer()
    {
        Window f;
        QVERIFY(f.connectAt(*hostile, "/del/"));
        QStandardItem *node = nodeWithKey(f.window->remoteTree, "/del/a\\b/");
        QVERIFY(node);
        f.window->remotePane().TreeView2_NodeClick(node->index());
        QCOMPARE(f.state.currentRemoteFolder, QString("/del/a\\b/"));
        QCOMPARE(rowOf(f.window->ListView1, "c.txt"), 1);
        // Deleting the folder that holds it removes everything.
        f.showRemote("/");
        selectRows(f.window->ListView1, {"del"});
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        f.window->remoteOperations().btnDelete_Click();
        QVERIFY2(f.prompter->shown.size() == 1, qPrintable(f.prompter->messageTexts().join('|')));
        QVERIFY(!QFileInfo::exists(hostile->pathOf("del")));
    }

    void aFileOf4096BytesIsAFileEverywhere()
    {
        const QByteArray data = pattern(4096, 7);
        QVERIFY(server->writeFile("k/exact.bin", data) && server->writeFile("k/gone.bin", pattern(4096, 8)));
        QVERIFY(QDir().mkpath(server->pathOf("k/dir")));
        QueueWindow f;
        QVERIFY(QDir(f.local.path()).mkpath("into"));
        f.showLocal(f.local.path());
        QVERIFY(f.connectAt(*server, "/k/"));
        DragDrop &drops = f.window->dragDrop();
        FileListView *list = f.window->ListView1;
        // Only folders and ".." take drops.
        QVERIFY(!drops.acceptsRemoteRow(rowOf(list, "exact.bin")));
        QVERIFY(drops.acceptsRemoteRow(rowOf(list, "dir")) && drops.acceptsRemoteRow(rowOf(list, "..")));
        // Dragged onto a local folder, it arrives as the file it is.
        selectRows(list, {"exact.bin"});
        drops.beginDrag(DragDrop::Source::RemoteList);
        QCOMPARE(drops.rows().size(), 1);
        QVERIFY(!drops.rows().first().folder);
        drops.dropOnLocalRow(rowOf(f.window->ListView3, "into"));
        QTRY_COMPARE(f.queueRows(), 0);
        QCOMPARE(readLocal(f.localPath("into/exact.bin")), data);
        f.prompter->inputs = {""};
        f.window->remoteOperations().btnRename_Click();
        QCOMPARE(f.prompter->prompts.last(),
                 QString("Please enter the new file name for exact.bin. Do not use the characters / \\ * ; :"));
        f.selectRemote("exact.bin");
        f.window->remotePane().ListView1_DblClick();
        QCOMPARE(f.state.currentRemoteFolder, QString("/k/"));
        selectRows(list, {"gone.bin"});
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        f.window->remoteOperations().btnDelete_Click();
        QVERIFY2(f.prompter->shown.size() == 1, qPrintable(f.prompter->messageTexts().join('|')));
        QVERIFY(!QFileInfo::exists(server->pathOf("k/gone.bin")) && f.logLines().contains("Command: DELE gone.bin"));
    }

    void theTreeRootCannotBeDeletedOrRenamed()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        f.window->TreeView2->setCurrentIndex(f.window->remoteTree->item(0)->index());
        const int lines = f.logLines().size();
        f.window->remoteOperations().menu6_delete_Click();
        f.prompter->inputs = {"renamed"};
        f.window->remoteOperations().menu6_rename_Click();
        QCOMPARE(f.prompter->shown.size(), 2);
        QVERIFY(f.prompter->shown[0].text.contains("cannot be deleted"));
        QVERIFY(f.prompter->shown[1].text.contains("cannot be renamed"));
        QCOMPARE(f.logLines().size(), lines); // nothing sent
    }

    void remoteFilesOntoARemoteFolderRowAreRenamedThere()
    {
        auto f = QueueWindow::connectedTo(*server, "/m/");
        drag(*f, DragDrop::Source::RemoteList, {"a.txt", "b.txt", "c.txt"});
        QCOMPARE(f->window->dragDrop().rows().size(), 3);
        f->window->dragDrop().dropOnRemoteRow(rowOf(f->window->ListView1, "dst"));
        QStringList renames = f->commands("RNTO"); // in the order the server listed them
        renames.sort();
        QCOMPARE(renames, QStringList({"Command: RNTO /m/dst/a.txt", "Command: RNTO /m/dst/b.txt"}));
        // c.txt stands in the target already: reported, and both files kept.
        QCOMPARE(f->prompter->messageTexts(), QStringList({"Could not move remote file."}));
        QCOMPARE(server->readFile("m/dst/c.txt"), QByteArray("m/dst/c.txt"));
        QCOMPARE(server->readFile("m/c.txt"), QByteArray("m/c.txt"));
        QVERIFY(rowOf(f->window->ListView1, "a.txt") < 0 && rowOf(f->window->ListView1, "c.txt") >= 0);
        QCOMPARE(server->readFile("m/dst/a.txt"), QByteArray("m/a.txt"));
        QCOMPARE(f->status(), QString("Ready."));
    }

    void dragsOntoThemselvesOrFileRowsDoNothing()
    {
        auto f = QueueWindow::connectedTo(*server, "/s/");
        DragDrop &drops = f->window->dragDrop();
        const QString before = f->logText();
        drag(*f, DragDrop::Source::RemoteList, {"folder"});
        drops.dropOnRemoteRow(rowOf(f->window->ListView1, "folder"));
        QVERIFY(!drops.acceptsRemoteRow(rowOf(f->window->ListView1, "file.txt")));
        drops.dropOnRemoteRow(rowOf(f->window->ListView1, "file.txt"));
        QCOMPARE(f->logText(), before);
        // A local folder dragged onto its own row, and local files onto a remote file row.
        QVERIFY(QDir(f->local.path()).mkpath("here") && writeLocal(f->localPath("up.txt"), "u"));
        f->showLocal(f->local.path());
        drag(*f, DragDrop::Source::LocalList, {"here"});
        drops.dropOnLocalRow(rowOf(f->window->ListView3, "here"));
        QVERIFY(QFileInfo(f->localPath("here")).isDir());
        drag(*f, DragDrop::Source::LocalList, {"up.txt"});
        drops.dropOnRemoteRow(rowOf(f->window->ListView1, "file.txt"));
        QCOMPARE(f->queueRows(), 0);
        QVERIFY(f->prompter->shown.isEmpty());
    }

    void aRemoteFolderOntoALocalNodeQueuesEveryFileBelowIt()
    {
        auto f = QueueWindow::connectedTo(*server, "/t/");
        f->state.queueRunning = false; // paused: entries wait
        drag(*f, DragDrop::Source::RemoteList, {"tree"});
        const auto node = localNode(f->localPath("into"));
        QVERIFY(QDir(f->local.path()).mkpath("into"));
        f->window->dragDrop().dropOnLocalNode(node.get());
        QStringList local = f->queueColumn("lname");
        local.sort();
        QCOMPARE(local, QStringList({f->localPath("into/tree/one.txt"), f->localPath("into/tree/sub/deeper/three.txt"),
                                     f->localPath("into/tree/sub/two.txt")}));
        QCOMPARE(f->queueColumn("stat"), QStringList(3, "Paused"));
        QVERIFY(!QFile::exists(f->localPath("into/tree/one.txt"))); // nothing moves while paused
        // Resumed, the tree arrives; the empty folder is not made.
        f->window->queuePane().btnResume_Click();
        QTRY_COMPARE(f->queueRows(), 0);
        QCOMPARE(readLocal(f->localPath("into/tree/sub/deeper/three.txt")), QByteArray("t/tree/sub/deeper/three.txt"));
        QVERIFY(!QFileInfo::exists(f->localPath("into/tree/empty")));
    }

    void localFilesOntoARemoteRowAndARemoteNode()
    {
        auto f = QueueWindow::connectedTo(*server, "/u/");
        QVERIFY(writeLocal(f->localPath("x.txt"), "x") && writeLocal(f->localPath("y.bin"), "y"));
        f->showLocal(f->local.path());
        drag(*f, DragDrop::Source::LocalList, {"x.txt"});
        f->window->dragDrop().dropOnRemoteRow(rowOf(f->window->ListView1, "in"));
        QTRY_VERIFY(QFile::exists(server->pathOf("u/in/x.txt")));
        // The tree node of /u/ takes y.bin, and the folder is listed again.
        QStandardItem *u = nodeWithKey(f->window->remoteTree, "/u/");
        QVERIFY(u);
        drag(*f, DragDrop::Source::LocalList, {"y.bin"});
        f->window->dragDrop().dropOnRemoteNode(u);
        QTRY_COMPARE(server->readFile("u/y.bin"), QByteArray("y"));
        QTRY_COMPARE(f->queueRows(), 0);
    }

    void aLocalFolderMovesOntoAnotherLocalFolder()
    {
        QueueWindow f;
        for (auto [path, text] :
             {std::pair{"from/a.txt", "a"}, {"from/sub/b.txt", "b"}, {"loose.txt", "l"}, {"to/loose.txt", "already"}})
            QVERIFY(writeLocal(f.localPath(path), text));
        f.showLocal(f.local.path());
        drag(f, DragDrop::Source::LocalList, {"from", "loose.txt"});
        f.window->dragDrop().dropOnLocalRow(rowOf(f.window->ListView3, "to"));
        QCOMPARE(readLocal(f.localPath("to/from/sub/b.txt")), QByteArray("b"));
        QVERIFY(!QFileInfo::exists(f.localPath("from")));
        // The same name in the target: kept where it was, and said in the status line.
        QCOMPARE(readLocal(f.localPath("loose.txt")) + readLocal(f.localPath("to/loose.txt")), QByteArray("lalready"));
        QVERIFY(f.status().contains("loose.txt") && rowOf(f.window->ListView3, "from") < 0);
    }

    // A move to another file system copies under a temporary name: the user's own files that
    // look like one are never touched.
    void aLocalMoveNeverTouchesAFileNamedLikeItsCopy()
    {
        if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            QSKIP("no second file system to move across");
        QTemporaryDir memory(QStringLiteral("/dev/shm/vestrigal-panes-XXXXXX"));
        QVERIFY(memory.isValid());
        QueueWindow f;
        QVERIFY(writeLocal(memory.filePath("big.bin"), pattern(100000, 3)));
        const QStringList mine{".big.bin.part", "big.bin.part", "big.bin.part-move"};
        for (const QString &name : mine)
            QVERIFY(writeLocal(f.localPath("to/" + name), "mine"));
        f.showLocal(memory.path());
        drag(f, DragDrop::Source::LocalList, {"big.bin"});
        const auto node = localNode(f.localPath("to/"));
        f.window->dragDrop().dropOnLocalNode(node.get());
        QCOMPARE(readLocal(f.localPath("to/big.bin")), pattern(100000, 3));
        QVERIFY(!QFileInfo::exists(memory.filePath("big.bin")));
        QStringList left = QDir(f.localPath("to")).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, QStringList({".big.bin.part", "big.bin", "big.bin.part", "big.bin.part-move"}));
        for (const QString &name : mine)
            QCOMPARE(readLocal(f.localPath("to/" + name)), QByteArray("mine"));
    }
};

QTEST_MAIN(TestPaneNames)
#include "tst_panes_names.moc"
