// Drops between and within the panes, as a real drag gives them: the rows selected when the drag
// began and the row or node under the pointer; against a real local server.
#include "DragDrop.h"
#include "LocalTree.h"
#include "tst_queue_fixture.h"

#include <QTreeView>

class TestDragDrop : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

    static QStandardItem *localNode(const QString &folder)
    {
        auto *node = new QStandardItem(QFileInfo(folder).fileName());
        node->setData(folder.endsWith('/') ? folder : folder + '/', LocalTree::PathRole);
        return node;
    }
    static void drag(QueueWindow &f, DragDrop::Source source, const QStringList &names)
    {
        FileListView *list = source == DragDrop::Source::RemoteList ? f.window->ListView1 : f.window->ListView3;
        QueueWindow::select(list, names);
        f.window->dragDrop().beginDrag(source);
    }
    static int rowOf(FileListView *list, const QString &name)
    {
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (list->model()->item(r, 0)->text() == name)
                return r;
        return -1;
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    }

    void remoteFilesOntoARemoteFolderRowAreRenamedThere()
    {
        for (const char *name : {"m/a.txt", "m/b.txt", "m/c.txt", "m/dst/keep.txt", "m/dst/c.txt"})
            QVERIFY(server->writeFile(name, name));
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.showRemote("/m/");
        drag(f, DragDrop::Source::RemoteList, {"a.txt", "b.txt", "c.txt"});
        QCOMPARE(f.window->dragDrop().rows().size(), 3);
        f.window->dragDrop().dropOnRemoteRow(rowOf(f.window->ListView1, "dst"));
        QStringList renames = f.commands("RNTO"); // in the order the server listed them
        renames.sort();
        QCOMPARE(renames, QStringList({"Command: RNTO /m/dst/a.txt", "Command: RNTO /m/dst/b.txt"}));
        // c.txt stands in the target already: reported, and both files kept.
        QCOMPARE(f.prompter->messageTexts(), QStringList({"Could not move remote file."}));
        QCOMPARE(server->readFile("m/dst/c.txt"), QByteArray("m/dst/c.txt"));
        QCOMPARE(server->readFile("m/c.txt"), QByteArray("m/c.txt"));
        QVERIFY(rowOf(f.window->ListView1, "a.txt") < 0);
        QVERIFY(rowOf(f.window->ListView1, "c.txt") >= 0);
        QCOMPARE(server->readFile("m/dst/a.txt"), QByteArray("m/a.txt"));
        QCOMPARE(f.window->statusPanel("")->text(), QString("Ready."));
    }

    void dragsOntoThemselvesOrFileRowsDoNothing()
    {
        QVERIFY(server->writeFile("s/file.txt", "f"));
        QVERIFY(server->writeFile("s/folder/inner.txt", "i"));
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.showRemote("/s/");
        const QString before = f.logText();
        drag(f, DragDrop::Source::RemoteList, {"folder"});
        f.window->dragDrop().dropOnRemoteRow(rowOf(f.window->ListView1, "folder"));
        QVERIFY(!f.window->dragDrop().acceptsRemoteRow(rowOf(f.window->ListView1, "file.txt")));
        f.window->dragDrop().dropOnRemoteRow(rowOf(f.window->ListView1, "file.txt"));
        QCOMPARE(f.logText(), before);
        // A local folder dragged onto its own row, and local files onto a remote file row.
        QVERIFY(QDir(f.local.path()).mkpath("here"));
        QVERIFY(writeLocal(f.localPath("up.txt"), "u"));
        f.showLocal(f.local.path());
        drag(f, DragDrop::Source::LocalList, {"here"});
        f.window->dragDrop().dropOnLocalRow(rowOf(f.window->ListView3, "here"));
        QVERIFY(QFileInfo(f.localPath("here")).isDir());
        drag(f, DragDrop::Source::LocalList, {"up.txt"});
        f.window->dragDrop().dropOnRemoteRow(rowOf(f.window->ListView1, "file.txt"));
        QCOMPARE(f.window->ListView2->model()->rowCount(), 0);
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void aRemoteFolderOntoALocalNodeQueuesEveryFileBelowIt()
    {
        for (const char *name : {"t/tree/one.txt", "t/tree/sub/two.txt", "t/tree/sub/deeper/three.txt"})
            QVERIFY(server->writeFile(name, name));
        QVERIFY(QDir().mkpath(server->pathOf("t/tree/empty")));
        QueueWindow f;
        QVERIFY(f.connect(*server));
        f.state.queueRunning = false; // paused: entries wait
        f.showRemote("/t/");
        drag(f, DragDrop::Source::RemoteList, {"tree"});
        std::unique_ptr<QStandardItem> node(localNode(f.localPath("into")));
        QVERIFY(QDir(f.local.path()).mkpath("into"));
        f.window->dragDrop().dropOnLocalNode(node.get());
        QStringList local = f.queueColumn("lname");
        local.sort();
        QCOMPARE(local, QStringList({f.localPath("into/tree/one.txt"), f.localPath("into/tree/sub/deeper/three.txt"),
                                     f.localPath("into/tree/sub/two.txt")}));
        QCOMPARE(f.queueColumn("stat"), QStringList(3, "Paused"));
        QVERIFY(!QFile::exists(f.localPath("into/tree/one.txt"))); // nothing moves while paused
        // Resumed, the tree arrives; the empty folder is not made.
        f.window->queuePane().btnResume_Click();
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
        QCOMPARE(readLocal(f.localPath("into/tree/sub/deeper/three.txt")), QByteArray("t/tree/sub/deeper/three.txt"));
        QVERIFY(!QFileInfo::exists(f.localPath("into/tree/empty")));
    }

    void localFilesOntoARemoteRowAndARemoteNode()
    {
        QVERIFY(QDir().mkpath(server->pathOf("u/in")));
        QueueWindow f;
        QVERIFY(writeLocal(f.localPath("x.txt"), "x"));
        QVERIFY(writeLocal(f.localPath("y.bin"), "y"));
        f.showLocal(f.local.path());
        QVERIFY(f.connect(*server));
        f.showRemote("/u/");
        drag(f, DragDrop::Source::LocalList, {"x.txt"});
        f.window->dragDrop().dropOnRemoteRow(rowOf(f.window->ListView1, "in"));
        QTRY_VERIFY(QFile::exists(server->pathOf("u/in/x.txt")));
        // The tree node of /u/ takes y.bin, and the folder is listed again.
        QStandardItem *root = f.window->remoteTree->item(0);
        QStandardItem *u = nullptr;
        for (int r = 0; r < root->rowCount(); ++r)
            if (root->child(r)->text() == "u")
                u = root->child(r);
        QVERIFY(u);
        drag(f, DragDrop::Source::LocalList, {"y.bin"});
        f.window->dragDrop().dropOnRemoteNode(u);
        QTRY_COMPARE(server->readFile("u/y.bin"), QByteArray("y"));
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
    }

    void aLocalFolderMovesOntoAnotherLocalFolder()
    {
        QueueWindow f;
        QVERIFY(writeLocal(f.localPath("from/a.txt"), "a"));
        QVERIFY(writeLocal(f.localPath("from/sub/b.txt"), "b"));
        QVERIFY(writeLocal(f.localPath("loose.txt"), "l"));
        QVERIFY(writeLocal(f.localPath("to/loose.txt"), "already"));
        QVERIFY(QDir(f.local.path()).mkpath("to"));
        f.showLocal(f.local.path());
        drag(f, DragDrop::Source::LocalList, {"from", "loose.txt"});
        f.window->dragDrop().dropOnLocalRow(rowOf(f.window->ListView3, "to"));
        QCOMPARE(readLocal(f.localPath("to/from/sub/b.txt")), QByteArray("b"));
        QVERIFY(!QFileInfo::exists(f.localPath("from")));
        // The same name in the target: kept where it was, and said in the status line.
        QCOMPARE(readLocal(f.localPath("loose.txt")), QByteArray("l"));
        QCOMPARE(readLocal(f.localPath("to/loose.txt")), QByteArray("already"));
        QVERIFY(f.window->statusPanel("")->text().contains("loose.txt"));
        QVERIFY(rowOf(f.window->ListView3, "from") < 0);
    }
};

QTEST_MAIN(TestDragDrop)
#include "tst_dragdrop.moc"
