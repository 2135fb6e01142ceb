// A row is a file or a folder by what the server said, not by the text of a cell: a file of
// exactly 4096 bytes is a file everywhere. And operations that are refused say so without
// logging replies to commands never sent. Against a local server.
#include "DragDrop.h"
#include "LocalTree.h"
#include "RemoteOperations.h"
#include "tst_queue_fixture.h"

#include <QTreeView>

class TestPaneKinds : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

    static int rowOf(FileListView *list, const QString &name)
    {
        for (int r = 0; r < list->model()->rowCount(); ++r)
            if (list->model()->item(r, 0)->text() == name)
                return r;
        return -1;
    }
    // Reply lines (a three-digit code first) among the lines from `from` on, up to the next command.
    static QStringList repliesWithoutCommand(const QStringList &lines, int from)
    {
        QStringList replies;
        for (int i = from; i < lines.size() && !lines[i].startsWith("Command: "); ++i)
            if (QRegularExpression("^\\d\\d\\d[ -]").match(lines[i]).hasMatch())
                replies << lines[i];
        return replies;
    }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
    }

    void aFileOf4096BytesIsAFileEverywhere()
    {
        const QByteArray data = pattern(4096, 7);
        QVERIFY(server->writeFile("k/exact.bin", data));
        QVERIFY(server->writeFile("k/gone.bin", pattern(4096, 8)));
        QVERIFY(QDir().mkpath(server->pathOf("k/dir")));
        QueueWindow f;
        QVERIFY(QDir(f.local.path()).mkpath("into"));
        f.showLocal(f.local.path());
        QVERIFY(f.connect(*server));
        f.showRemote("/k/");
        QCOMPARE(f.remoteCell("exact.bin", "tsize"), QString("4096")); // shown as it always was
        DragDrop &drops = f.window->dragDrop();
        FileListView *list = f.window->ListView1;
        // Only folders and ".." take drops.
        QVERIFY(!drops.acceptsRemoteRow(rowOf(list, "exact.bin")));
        QVERIFY(drops.acceptsRemoteRow(rowOf(list, "dir")));
        QVERIFY(drops.acceptsRemoteRow(rowOf(list, "..")));
        // Dragged onto a local folder, it arrives as the file it is.
        QueueWindow::select(list, {"exact.bin"});
        drops.beginDrag(DragDrop::Source::RemoteList);
        QCOMPARE(drops.rows().size(), 1);
        QVERIFY(!drops.rows().first().folder);
        drops.dropOnLocalRow(rowOf(f.window->ListView3, "into"));
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
        QCOMPARE(readLocal(f.localPath("into/exact.bin")), data);
        // Renaming asks for a file name.
        f.prompter->inputs = {""};
        f.window->remoteOperations().btnRename_Click();
        QCOMPARE(f.prompter->prompts.last(),
                 QString("Please enter the new file name for exact.bin. Do not use the characters / \\ * ; :"));
        // Double-clicking does not try to enter it.
        f.selectRemote("exact.bin");
        f.window->remotePane().ListView1_DblClick();
        QCOMPARE(f.state.currentRemoteFolder, QString("/k/"));
        // Deleting deletes the file.
        QueueWindow::select(list, {"gone.bin"});
        const qsizetype asked = f.prompter->shown.size();
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        f.window->remoteOperations().btnDelete_Click();
        QVERIFY2(f.prompter->shown.size() == asked + 1, qPrintable(f.prompter->messageTexts().join('|')));
        QVERIFY(!QFileInfo::exists(server->pathOf("k/gone.bin")));
        QVERIFY(f.logLines().contains("Command: DELE gone.bin"));
    }

    void refusedRenamesLogNoStaleReply()
    {
        QVERIFY(server->writeFile("r/a.txt", "a"));
        QVERIFY(server->writeFile("r/b.txt", "b"));
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        f.window->txtDirectory->setText("/r/");
        f.window->remotePane().txtDirectory_KeyPress();
        // Onto a name that stands in the folder: nothing is sent, so no reply may be logged.
        f.selectRemote("a.txt");
        f.prompter->inputs = {"b.txt"};
        int from = f.logLines().size();
        f.window->remoteOperations().btnRename_Click();
        QCOMPARE(f.prompter->messageTexts(), QStringList({"Error, could not rename file a.txt"}));
        QCOMPARE(repliesWithoutCommand(f.logLines(), from), QStringList());
        // The same in place.
        from = f.logLines().size();
        f.remoteRows()->item(f.remoteRow("a.txt"), 0)->setText("b.txt");
        QCOMPARE(f.prompter->messageTexts().last(), QString("The element could not be renamed."));
        QCOMPARE(repliesWithoutCommand(f.logLines(), from), QStringList());
        QCOMPARE(server->readFile("r/a.txt"), QByteArray("a"));
        QCOMPARE(server->readFile("r/b.txt"), QByteArray("b"));
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

    void aLocalMoveNeverTouchesAFileNamedLikeItsCopy()
    {
        if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            QSKIP("no second file system to move across");
        QTemporaryDir memory(QStringLiteral("/dev/shm/vestrigal-panes-XXXXXX"));
        QVERIFY(memory.isValid());
        QueueWindow f;
        QVERIFY(writeLocal(memory.filePath("big.bin"), pattern(100000, 3)));
        QVERIFY(QDir(f.local.path()).mkpath("to"));
        // The user's own files, named as a copy under way might be.
        for (const QString &name : {QString("big.bin.part-move"), QString(".big.bin.part"), QString("big.bin.part")})
            QVERIFY(writeLocal(f.localPath("to/" + name), "mine"));
        f.showLocal(memory.path());
        QueueWindow::select(f.window->ListView3, {"big.bin"});
        f.window->dragDrop().beginDrag(DragDrop::Source::LocalList);
        auto node = std::make_unique<QStandardItem>("to");
        node->setData(f.localPath("to/"), LocalTree::PathRole);
        f.window->dragDrop().dropOnLocalNode(node.get());
        QCOMPARE(readLocal(f.localPath("to/big.bin")), pattern(100000, 3));
        QVERIFY(!QFileInfo::exists(memory.filePath("big.bin")));
        QStringList left = QDir(f.localPath("to")).entryList(QDir::Files | QDir::Hidden);
        left.sort();
        QCOMPARE(left, QStringList({".big.bin.part", "big.bin", "big.bin.part", "big.bin.part-move"}));
        for (const QString &name : {QString("big.bin.part-move"), QString(".big.bin.part"), QString("big.bin.part")})
            QCOMPARE(readLocal(f.localPath("to/" + name)), QByteArray("mine"));
    }
};

QTEST_MAIN(TestPaneKinds)
#include "tst_panes_kinds.moc"
