// Names a server gives never become paths outside the folder they are meant for, whatever way
// the user takes (menu, popup, tree, folder walks, every drop); and names that are legal on the
// server (a backslash) are handled there like any other. Against a local server that lists
// hostile names.
#include "DragDrop.h"
#include "LocalTree.h"
#include "RemoteOperations.h"
#include "tst_queue_fixture.h"

#include <QDirIterator>
#include <QTreeView>

namespace {

const QString Escape = QStringLiteral("../../evil.txt");
const QString Back = QStringLiteral("..\\..\\back.txt");

// Every file below a folder, relative to it.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TestPaneNames : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

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
        // The files behind the hostile names: a client that sent RETR /h/../../evil.txt would get /evil.txt.
        server = std::make_unique<TestFtpServer>(QStringList{"--no-mlsd", "--list-as", "evilsrc", Escape});
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(server->writeFile("evil.txt", "outside"));
        for (const QString &folder : {QString("h/"), QString("h/tree/")}) {
            QVERIFY(server->writeFile(folder + "evilsrc", "climbs"));
            QVERIFY(server->writeFile(folder + Back, "backslash"));
            QVERIFY(server->writeFile(folder + "good.txt", "good"));
        }
        QVERIFY(server->writeFile("h/..\\..\\up/inner.txt", "inner"));
        QVERIFY(server->writeFile("h/a\\b/c.txt", "c"));
        QVERIFY(server->writeFile("del/a\\b/c.txt", "c"));
        QVERIFY(server->writeFile("del/plain.txt", "p"));
    }

    void menuAndPopupDownloadsKeepToTheLocalFolder()
    {
        Window f;
        QVERIFY(f.connect(*server));
        f.showRemote("/h/");
        QueueWindow::select(f.window->ListView1, {Escape, Back, "good.txt"});
        f.window->action("menu_download")->trigger();
        QueueWindow::select(f.window->ListView1, {"tree"});
        f.window->action("menu1_download")->trigger();
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
        QCOMPARE(filesBelow(f.local.path()), QStringList({"a/b/good.txt", "a/b/tree/good.txt"}));
        // Each refusal is said once.
        for (const QString &remote : {"/h/" + Escape, "/h/" + Back, "/h/tree/" + Escape, "/h/tree/" + Back})
            QCOMPARE(f.skipped(remote), 1);
    }

    void treeDownloadRefusesAFolderNameThatClimbs()
    {
        Window f;
        QVERIFY(f.connect(*server));
        f.showRemote("/h/");
        // Legal on the server: the folder has its node.
        QStandardItem *node = nodeWithKey(f.window->remoteTree, "/h/..\\..\\up/");
        QVERIFY(node);
        f.window->TreeView2->setCurrentIndex(node->index());
        f.window->action("menu6_download")->trigger();
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
        QCOMPARE(filesBelow(f.local.path()), QStringList());
        QCOMPARE(f.skipped("/h/..\\..\\up/"), 1);
    }

    void everyDropKindKeepsToItsFolder()
    {
        Window f;
        QVERIFY(QDir(f.target()).mkpath("row"));
        QVERIFY(QDir(f.target()).mkpath("node/deeper"));
        f.showLocal(f.target());
        QVERIFY(f.connect(*server));
        f.showRemote("/h/");
        DragDrop &drops = f.window->dragDrop();
        // Files and a folder onto a local folder row.
        QueueWindow::select(f.window->ListView1, {Escape, Back, "good.txt", "tree"});
        drops.beginDrag(DragDrop::Source::RemoteList);
        drops.dropOnLocalRow(rowOf(f.window->ListView3, "row"));
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
        // The same onto a local tree node two levels down.
        auto node = std::make_unique<QStandardItem>("deeper");
        node->setData(f.target() + "node/deeper/", LocalTree::PathRole);
        QueueWindow::select(f.window->ListView1, {Escape, Back, "good.txt", "tree"});
        drops.beginDrag(DragDrop::Source::RemoteList);
        drops.dropOnLocalNode(node.get());
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
        QCOMPARE(filesBelow(f.local.path()), QStringList({"a/b/node/deeper/good.txt", "a/b/node/deeper/tree/good.txt",
                                                          "a/b/row/good.txt", "a/b/row/tree/good.txt"}));
        QCOMPARE(f.skipped("/h/" + Escape), 2);
        QCOMPARE(f.skipped("/h/tree/" + Back), 2);
        QVERIFY(f.prompter->shown.isEmpty());
    }

    void uploadsSkipNamesTheServerCannotTake()
    {
        Window f;
        QVERIFY(writeLocal(f.target() + "up/fine.txt", "f"));
        QVERIFY(writeLocal(f.target() + "up/ctl\x01name.txt", "c"));
        f.showLocal(f.target());
        QVERIFY(f.connect(*server));
        QVERIFY(QDir().mkpath(server->pathOf("into")));
        f.showRemote("/into/");
        QueueWindow::select(f.window->ListView3, {"up"});
        f.window->action("menu_upload")->trigger();
        QTRY_COMPARE(f.window->ListView2->model()->rowCount(), 0);
        QCOMPARE(filesBelow(server->pathOf("into")), QStringList({"up/fine.txt"}));
        QCOMPARE(f.logLines().filter(QRegularExpression("^Skipped .*ctl\x01name.txt")).size(), 1);
    }

    void backslashFoldersAreOrdinaryOnTheServer()
    {
        Window f;
        QVERIFY(f.connect(*server));
        f.showRemote("/del/");
        QStandardItem *node = nodeWithKey(f.window->remoteTree, "/del/a\\b/");
        QVERIFY(node);
        f.window->remotePane().TreeView2_NodeClick(node->index());
        QCOMPARE(f.state.currentRemoteFolder, QString("/del/a\\b/"));
        QCOMPARE(rowOf(f.window->ListView1, "c.txt"), 1);
        // Deleting the folder that holds it removes everything.
        f.showRemote("/");
        QueueWindow::select(f.window->ListView1, {"del"});
        f.prompter->answers = {Prompter::Answer::Ok}; // "Delete ... from the server?"
        f.window->remoteOperations().btnDelete_Click();
        QVERIFY2(f.prompter->shown.size() == 1, qPrintable(f.prompter->messageTexts().join('|')));
        QVERIFY(!QFileInfo::exists(server->pathOf("del")));
    }
};

QTEST_MAIN(TestPaneNames)
#include "tst_panes_names.moc"
