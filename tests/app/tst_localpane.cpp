// The local pane of the main window on real temporary folders: listing, tree, path field, the local
// double-click and the local file operations, through the window's own commands.
#include "FileIconCache.h"
#include "FileOpener.h"
#include "LocalPaths.h"
#include "LocalTrash.h"
#include "MainWindowFixture.h"
#include "PaneServices.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTreeView>

namespace {

class RecordingOpener : public FileOpener
{
public:
    QStringList opened;
    bool startProgram(const QString &program, const QString &) override
    {
        opened << program;
        return true;
    }
    bool openWithDesktop(const QString &path) override
    {
        opened << path;
        return true;
    }
};

// Keeps what it is given in a folder of the test, as the desktop's trash would.
class RecordingTrash : public LocalTrash
{
public:
    explicit RecordingTrash(const QString &folder) : m_folder(folder) { QDir().mkpath(folder); }
    QStringList trashed;
    bool volumeHasTrash(const QString &) const override { return true; }
    bool moveToTrash(const QString &path) override
    {
        trashed << path;
        return QDir().rename(path, m_folder + QString::number(trashed.size()));
    }

private:
    QString m_folder;
};

struct Fixture : MainWindowFixture
{
    QString work = home.path() + "/work/";
    RecordingOpener *opener = new RecordingOpener;
    RecordingTrash *trash = new RecordingTrash(home.path() + "/trash/");

    Fixture()
    {
        QDir().mkpath(work);
        pane().setFileOpener(std::unique_ptr<FileOpener>(opener));
        pane().setTrash(std::unique_ptr<LocalTrash>(trash));
    }
    LocalPane &pane() const { return window->localPane(); }
    QStandardItemModel *rows() const { return window->ListView3->model(); }
    void select(const QStringList &names) const { selectRows(window->ListView3, names); }
    void typePath(const QString &text) const
    {
        window->txtLocal->setText(text);
        QTest::keyClick(window->txtLocal, Qt::Key_Return);
    }
    QStandardItem *node(const QString &folder) const { return pane().tree().folderNode(folder); }
    // The folder as the listing, the path field and the tree's selected node show it.
    QStringList shown() const
    {
        return {state.currentLocalFolder, window->txtLocal->text(),
                LocalTree::folderOf(window->localTree->itemFromIndex(window->TreeView1->currentIndex()))};
    }
    void selectNode(const QString &folder) const { window->TreeView1->setCurrentIndex(node(folder)->index()); }
    void trigger(const char *name) const { window->action(name)->trigger(); }
};

} // namespace

class TestLocalPane : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    // A pane needs no main window: the services and controls it is given are enough.
    void paneWithoutTheMainWindow()
    {
        struct Status : StatusPanels
        {
            QHash<QString, QString> shown;
            void showStatus(const QString &key, const QString &text) override { shown[key] = text; }
        } status;
        QTemporaryDir home, dir;
        AppState state(AppFolders::under(home.path()));
        ScriptedPrompter prompter;
        SessionLog log;
        FileIconCache icons;
        const QHash<QString, QAction *> noMenus;
        QWidget window;
        QTreeView tree;
        QStandardItemModel model;
        QLineEdit path;
        FileListView list("ListView3");
        list.setColumns({{"File name", "name", 90}, {"Size", "size", 40}, {"Type", "type", 40}, {"Date", "date", 40}});
        LocalPane pane({state, prompter, log, status, icons, noMenus, window}, {&tree, &model, &path, &list});
        QVERIFY(writeLocal(dir.path() + "/a.txt", "abc"));
        state.currentLocalFolder = dir.path();
        pane.ClientGetDirectoryContents();
        QCOMPARE(namesOf(&list), QStringList({"..", "a.txt"}));
        QCOMPARE(path.text(), dir.path() + '/');
        QCOMPARE(status.shown.value("local"), QStringLiteral("Local: 1 files, 3 bytes"));
    }

    void initTestCase()
    {
        // A home of the test's own: its documents folder is listed at start.
        QVERIFY(QDir().mkpath(m_home.path() + "/Documents/Letters"));
        QVERIFY(writeLocal(m_home.path() + "/Documents/cv.txt", "12345"));
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_home.path() + "/.config").toUtf8());
        qputenv("XDG_DATA_HOME", (m_home.path() + "/.local/share").toUtf8());
    }

    void startsInTheDocumentsFolder()
    {
        Fixture f;
        const QString documents = m_home.path() + "/Documents/";
        QCOMPARE(f.shown(), QStringList(3, documents)); // the node of the volumes' branch
        QCOMPARE(f.localNames(), QStringList({"..", "cv.txt", "Letters"}));
        QCOMPARE(f.rows()->item(0)->data(FileListView::KeyRole).toString(), m_home.path());
        const qint64 bytes = 5 + QFileInfo(documents + "Letters").size();
        QCOMPARE(f.window->statusPanel("local")->text(), QString("Local: 2 files, %1 bytes").arg(bytes));
        QStandardItem *node = f.node(documents);
        while (node->parent() && LocalTree::kindOf(node) != LocalTree::Kind::Computer)
            node = node->parent();
        QCOMPARE(node, f.pane().tree().computerNode());
    }

    void everyLocalFolderButTheRootHasAParentRow()
    {
        Fixture f;
        QString mount;
        for (const char *candidate : {"/dev/shm/", "/dev/", "/proc/", "/sys/", "/tmp/", "/home/", "/run/"})
            if (QFileInfo(candidate).isDir() && LocalPaths::isVolumeRoot(candidate)) {
                mount = candidate;
                break;
            }
        if (mount.isEmpty())
            QSKIP("no mount point besides / here");
        f.showLocal(mount);
        QVERIFY(f.rows()->rowCount() > 0);
        QCOMPARE(f.localNames().first(), QString(".."));
        QCOMPARE(f.rows()->item(0, 0)->data(FileListView::KeyRole).toString(), LocalPaths::parentKey(mount));
        f.showLocal("/");
        QVERIFY(!f.localNames().contains(".."));
    }

    void doubleClickEntersFoldersAndOpensFiles()
    {
        Fixture f;
        QVERIFY(writeLocal(f.work + "a/doc.txt", "") && QDir().mkpath(f.work + "a/inner"));
        f.showLocal(f.work + "a/");
        f.select({"inner"});
        f.trigger("menu2_open");
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/inner/");
        QCOMPARE(f.rows()->item(0)->data(FileListView::KeyRole).toString(), f.work + "a");
        f.select({".."});
        QTest::keyClick(f.window->ListView3->reportView(), Qt::Key_Return);
        QCOMPARE(f.window->txtLocal->text(), f.work + "a/");
        f.select({"doc.txt"});
        f.trigger("menu_exec");
        QCOMPARE(f.opener->opened, QStringList{f.work + "a/doc.txt"});
        f.select({});
        f.trigger("menu2_open");
        QCOMPARE(f.opener->opened.size(), 1);
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/");
    }

    void typedPathsAreTrimmedOrRefusedAndTheTreeFollows()
    {
        Fixture f;
        QVERIFY(writeLocal(f.work + "data/top.txt", "") && QDir().mkpath(f.work + "data/sub"));
        QVERIFY(writeLocal(f.work + "file.txt", "") && QDir().mkpath(f.work + "a/b"));
        f.typePath(f.work + "a//b//");
        QCOMPARE(f.shown(), QStringList(3, f.work + "a/b/")); // every level expanded on the way
        for (const QString &bad : {f.work + "missing", f.work + "file.txt", QString("relative/path")}) {
            f.typePath(bad);
            QCOMPARE(f.window->txtLocal->text(), f.work + "a/b/");
        }
        QCOMPARE(f.prompter->messageTexts(), QStringList(3, "Could not change local directory."));
        QCOMPARE(f.prompter->shown.first().icon, Prompter::Icon::Warning);
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/b/");
        // Collapsing the node above the listed folder lists the node; expanding lists its subfolders afresh.
        f.typePath(f.work + "data/sub/");
        f.window->TreeView1->collapse(f.node(f.work + "data/")->index());
        QCOMPARE(f.shown(), QStringList(3, f.work + "data/"));
        QCOMPARE(f.localNames(), QStringList({"..", "sub", "top.txt"}));
        f.window->TreeView1->expand(f.node(f.work + "data/")->index());
        QVERIFY(f.node(f.work + "data/sub/"));
    }

    void filterCommandsAndTotals()
    {
        Fixture f;
        QVERIFY(writeLocal(f.work + "README.TXT", "1234") && writeLocal(f.work + "notes.txt", "12"));
        QDir().mkdir(f.work + "docs");
        f.showLocal(f.work);
        f.prompter->inputs << "txt";
        f.trigger("menu2_showcustom");
        QCOMPARE(f.prompter->prompts, QStringList{"Please enter the extension to be shown:"});
        QCOMPARE(f.state.localFilter, QString("*.txt"));
        QCOMPARE(f.localNames(), QStringList({"..", "notes.txt"}));
        QCOMPARE(f.window->statusPanel("local")->text(), QString("Local: 1 files, 2 bytes"));
        f.trigger("menu_showcustom_client"); // no answer: nothing changes
        QCOMPARE(f.state.localFilter, QString("*.txt"));
        f.trigger("menu_showall_client");
        QCOMPARE(f.localNames(), QStringList({"..", "docs", "notes.txt", "README.TXT"}));
    }

    void manyFilesWithIconsAndSortingBySize()
    {
        Fixture f;
        for (int i = 0; i < 300; ++i)
            QVERIFY(writeLocal(f.work + QString("many/f%1.%2").arg(i).arg(i % 2 ? "txt" : "png"), ""));
        f.showLocal(f.work + "many/");
        QCOMPARE(f.rows()->rowCount(), 301);
        for (int r = 0; r < 301; ++r)
            QVERIFY(!f.rows()->item(r, 0)->icon().isNull());
        for (auto [name, size] : {std::pair{"big", 1000}, {"nine", 9}, {"twenty", 20}})
            QVERIFY(writeLocal(f.work + name, QByteArray(size, 'x')));
        QVERIFY(QDir(f.work + "many").removeRecursively());
        QDir().mkdir(f.work + "folder");
        f.showLocal(f.work);
        f.window->ListView3->headerClicked(f.window->ListView3->column("size"));
        QCOMPARE(f.localNames(), QStringList({"..", "nine", "twenty", "big", "folder"})); // folders read 4 096
    }

    void deletingLeavesTheParentRow()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.work + "list/sub/inner"));
        QVERIFY(writeLocal(f.work + "list/x.txt", "") && writeLocal(f.work + "list/y.txt", ""));
        f.typePath(f.work + "list/");
        f.select({"..", "x.txt", "sub"});
        f.trigger("menu2_delete");
        QCOMPARE(f.trash->trashed, QStringList({f.work + "list/sub", f.work + "list/x.txt"}));
        QCOMPARE(f.localNames(), QStringList({"..", "y.txt"}));
        QVERIFY(QFileInfo(f.work).isDir());
        QVERIFY(!f.node(f.work + "list/sub/")); // its node went with it
        QVERIFY(f.prompter->shown.isEmpty());   // no question asked
        f.select({"y.txt"});
        QTest::keyClick(f.window->ListView3->reportView(), Qt::Key_Delete);
        QCOMPARE(f.localNames(), QStringList{".."});
    }

    // The rules are the local operations' own; here each entry point is seen to keep to them.
    void renamingNeverOverwritesAndFoldersAreMadeOnce()
    {
        Fixture f;
        QVERIFY(writeLocal(f.work + "a.txt", "A") && writeLocal(f.work + "b.txt", "B"));
        f.typePath(f.work);
        f.select({"a.txt"});
        f.prompter->inputs << "b.txt";
        f.trigger("menu_crename");
        QCOMPARE(f.localNames(), QStringList({"..", "a.txt", "b.txt"}));
        QVERIFY(f.prompter->shown.isEmpty()); // a failed rename is silent
        // In place: the label edit renames; a refused one gets its old label back.
        f.rows()->item(1, 0)->setText("c.txt");
        QTRY_COMPARE(f.localNames(), QStringList({"..", "b.txt", "c.txt"}));
        f.rows()->item(2, 0)->setText("b.txt");
        QTRY_COMPARE(f.localNames(), QStringList({"..", "b.txt", "c.txt"}));
        QCOMPARE(readLocal(f.work + "c.txt"), QByteArray("A"));
        // A folder name that is taken is refused; a new one shows in the list and the tree.
        f.prompter->inputs << QStringList{"c.txt", "fresh"};
        f.trigger("menu2_mkdir");
        QCOMPARE(f.prompter->messageTexts(), QStringList{"The directory could not be created."});
        f.trigger("menu_cmkdir");
        QCOMPARE(f.localNames(), QStringList({"..", "b.txt", "c.txt", "fresh"}));
        QVERIFY(f.node(f.work + "fresh/"));
    }

    void copyLinkAndTheEditMenu()
    {
        Fixture f;
        QVERIFY(writeLocal(f.work + "a.txt", ""));
        f.showLocal(f.work);
        f.select({"a.txt"});
        f.trigger("menu2_copy");
        QCOMPARE(QGuiApplication::clipboard()->text(), f.work + "a.txt");
        f.window->show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.window->txtServer->setFocus();
        f.window->txtServer->setText("ftp.example.org");
        f.window->txtServer->setSelection(4, 7);
        f.trigger("menu_copy");
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("example"));
        f.trigger("menu_cut");
        QCOMPARE(f.window->txtServer->text(), QString("ftp..org"));
        f.window->txtServer->setCursorPosition(0);
        f.trigger("menu_paste");
        QCOMPARE(f.window->txtServer->text(), QString("exampleftp..org"));
        f.window->ListView3->reportView()->setFocus(); // a list has no text to cut
        f.trigger("menu_cut");
        QCOMPARE(f.localNames(), QStringList({"..", "a.txt"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("example"));
    }

    void treeCommands()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.work + "top/listed") && QDir().mkpath(f.work + "top/other"));
        f.typePath(f.work + "top/listed/");
        // Deleting the listed folder's node lists its parent.
        f.selectNode(f.work + "top/listed/");
        f.trigger("menu5_delete");
        QCOMPARE(f.trash->trashed, QStringList{f.work + "top/listed"});
        QCOMPARE(f.state.currentLocalFolder, f.work + "top/");
        QCOMPARE(f.localNames(), QStringList({"..", "other"}));
        QVERIFY(!f.node(f.work + "top/listed/"));
        f.selectNode(f.work + "top/");
        f.prompter->inputs << QStringList{"made", "renamed"};
        f.trigger("menu5_mkdir");
        QCOMPARE(f.localNames(), QStringList({"..", "made", "other"}));
        QVERIFY(f.node(f.work + "top/made/"));
        // Renaming the node above the listed folder takes the listing along.
        f.selectNode(f.work + "top/");
        f.trigger("menu5_rename");
        QVERIFY(QFileInfo(f.work + "renamed/made").isDir());
        QCOMPARE(f.shown(), QStringList(3, f.work + "renamed/"));
        // In place; a name that is taken leaves folder and label as they were.
        QDir().mkdir(f.work + "renamed/taken");
        f.node(f.work + "renamed/made/")->setText("edited");
        QTRY_VERIFY(QFileInfo(f.work + "renamed/edited").isDir());
        QStandardItem *edited = f.node(f.work + "renamed/edited/");
        QVERIFY(edited);
        edited->setText("taken");
        QTRY_COMPARE(edited->text(), QString("edited"));
        QVERIFY(QFileInfo(f.work + "renamed/edited").isDir());
        // The volumes and the desktop are not deleted from the tree.
        f.window->TreeView1->setCurrentIndex(f.pane().tree().desktopNode()->index());
        f.trigger("menu5_delete");
        QCOMPARE(f.prompter->messageTexts(), QStringList{"Could not remove directory."});
        QCOMPARE(f.trash->trashed.size(), 1);
        QVERIFY(QFileInfo(m_home.path()).isDir());
    }
};

QTEST_MAIN(TestLocalPane)
#include "tst_localpane.moc"
