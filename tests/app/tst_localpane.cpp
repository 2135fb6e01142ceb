// The local pane of the main window on real temporary folders: listing, tree, path field, the local
// double-click and the local file operations, through the window's own commands.
#include "AppState.h"
#include "FileOpener.h"
#include "LocalPane.h"
#include "LocalTrash.h"
#include "ScriptedPrompter.h"
#include "formmain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
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

void write(const QString &path, const QByteArray &content = {})
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class TestLocalPane : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    struct Fixture
    {
        QTemporaryDir dir;
        QString work = dir.path() + "/work/";
        AppState state{AppFolders::under(dir.path() + "/app")};
        ScriptedPrompter *prompter = new ScriptedPrompter;
        std::unique_ptr<formmain> window;
        RecordingOpener *opener = new RecordingOpener;
        RecordingTrash *trash = new RecordingTrash(dir.path() + "/trash/");

        Fixture()
        {
            state.folders.createMissing();
            QDir().mkpath(work);
            window = std::make_unique<formmain>(state, std::unique_ptr<Prompter>(prompter));
            pane().setFileOpener(std::unique_ptr<FileOpener>(opener));
            pane().setTrash(std::unique_ptr<LocalTrash>(trash));
        }
        LocalPane &pane() const { return window->localPane(); }
        QStandardItemModel *rows() const { return window->ListView3->model(); }
        void list(const QString &folder)
        {
            state.currentLocalFolder = folder;
            pane().ClientGetDirectoryContents();
        }
        QStringList names() const
        {
            QStringList out;
            for (int r = 0; r < rows()->rowCount(); ++r)
                out << rows()->item(r, 0)->text();
            return out;
        }
        QString cell(const QString &name, const QString &column) const
        {
            return rows()->item(names().indexOf(name), window->ListView3->column(column))->text();
        }
        void select(const QStringList &wanted) const
        {
            QItemSelectionModel *selection = window->ListView3->selectionModel();
            selection->clear();
            for (const QString &name : wanted) {
                const QModelIndex index = rows()->index(names().indexOf(name), 0);
                selection->setCurrentIndex(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
        void typePath(const QString &text) const
        {
            window->txtLocal->setText(text);
            QTest::keyClick(window->txtLocal, Qt::Key_Return);
        }
        QString selectedNodeFolder() const
        {
            return LocalTree::folderOf(window->localTree->itemFromIndex(window->TreeView1->currentIndex()));
        }
        void selectNode(const QString &folder) const
        {
            window->TreeView1->setCurrentIndex(window->localPane().tree().folderNode(folder)->index());
        }
        void trigger(const char *name) const { window->action(name)->trigger(); }
    };

private slots:
    void initTestCase()
    {
        // A home of the test's own: its documents folder is listed at start.
        QVERIFY(QDir().mkpath(m_home.path() + "/Documents/Letters"));
        write(m_home.path() + "/Documents/cv.txt", "12345");
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_home.path() + "/.config").toUtf8());
        qputenv("XDG_DATA_HOME", (m_home.path() + "/.local/share").toUtf8());
    }

    void startsInTheDocumentsFolder()
    {
        Fixture f;
        const QString documents = m_home.path() + "/Documents/";
        QCOMPARE(f.state.currentLocalFolder, documents);
        QCOMPARE(f.window->txtLocal->text(), documents);
        QCOMPARE(f.names(), QStringList({"..", "cv.txt", "Letters"}));
        QCOMPARE(f.rows()->item(0)->data(FileListView::KeyRole).toString(), m_home.path());
        QCOMPARE(f.cell("cv.txt", "size"), QString("5"));
        const qint64 bytes = 5 + QFileInfo(documents + "Letters").size();
        QCOMPARE(f.window->statusPanel("local")->text(), QString("Local: 2 files, %1 bytes").arg(bytes));
        // The documents node of the volumes' branch is the selected one.
        QCOMPARE(f.selectedNodeFolder(), documents);
        QStandardItem *node = f.pane().tree().folderNode(documents);
        while (node->parent() && LocalTree::kindOf(node) != LocalTree::Kind::Computer)
            node = node->parent();
        QCOMPARE(node, f.pane().tree().computerNode());
    }

    void doubleClickEntersFoldersAndOpensFiles()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.work + "a/inner"));
        write(f.work + "a/doc.txt");
        f.list(f.work + "a/");
        f.select({"inner"});
        f.trigger("menu2_open");
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/inner/");
        QCOMPARE(f.rows()->item(0)->data(FileListView::KeyRole).toString(), f.work + "a");
        f.select({".."});
        QTest::keyClick(f.window->ListView3->reportView(), Qt::Key_Return);
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/");
        QCOMPARE(f.window->txtLocal->text(), f.work + "a/");
        f.select({"doc.txt"});
        f.trigger("menu_exec");
        QCOMPARE(f.opener->opened, QStringList{f.work + "a/doc.txt"});
        f.select({});
        f.trigger("menu2_open");
        QCOMPARE(f.opener->opened.size(), 1);
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/");
    }

    void typedPathsAreTrimmedOrRefused()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.work + "a/b"));
        write(f.work + "file.txt");
        f.typePath(f.work + "a//b//");
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/b/");
        QCOMPARE(f.window->txtLocal->text(), f.work + "a/b/");
        QCOMPARE(f.selectedNodeFolder(), f.work + "a/b/"); // every level expanded on the way
        for (const QString &bad : {f.work + "missing", f.work + "file.txt", QString("relative/path")}) {
            f.typePath(bad);
            QCOMPARE(f.window->txtLocal->text(), f.work + "a/b/");
        }
        QCOMPARE(f.prompter->messageTexts(), QStringList(3, "Could not change local directory."));
        QCOMPARE(f.prompter->shown.first().icon, Prompter::Icon::Warning);
        QCOMPARE(f.state.currentLocalFolder, f.work + "a/b/");
    }

    void collapsingTheNodeAboveTheListedFolderListsTheNode()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.work + "data/sub"));
        write(f.work + "data/top.txt");
        f.typePath(f.work + "data/sub/");
        QCOMPARE(f.names(), QStringList{".."});
        f.window->TreeView1->collapse(f.pane().tree().folderNode(f.work + "data/")->index());
        QCOMPARE(f.state.currentLocalFolder, f.work + "data/");
        QCOMPARE(f.names(), QStringList({"..", "sub", "top.txt"}));
        QCOMPARE(f.selectedNodeFolder(), f.work + "data/");
        // Expanding lists the subfolders afresh.
        f.window->TreeView1->expand(f.pane().tree().folderNode(f.work + "data/")->index());
        QVERIFY(f.pane().tree().folderNode(f.work + "data/sub/"));
    }

    void filterCommandsAndTotals()
    {
        Fixture f;
        write(f.work + "README.TXT", "1234");
        write(f.work + "notes.txt", "12");
        QDir().mkdir(f.work + "docs");
        f.list(f.work);
        f.prompter->inputs << "txt";
        f.trigger("menu2_showcustom");
        QCOMPARE(f.prompter->prompts, QStringList{"Please enter the extension to be shown:"});
        QCOMPARE(f.state.localFilter, QString("*.txt"));
        QCOMPARE(f.names(), QStringList({"..", "notes.txt"}));
        QCOMPARE(f.window->statusPanel("local")->text(), QString("Local: 1 files, 2 bytes"));
        f.trigger("menu_showcustom_client"); // no answer: nothing changes
        QCOMPARE(f.state.localFilter, QString("*.txt"));
        f.trigger("menu_showall_client");
        QCOMPARE(f.names(), QStringList({"..", "docs", "notes.txt", "README.TXT"}));
    }

    void manyFilesWithIconsAndSortingBySize()
    {
        Fixture f;
        for (int i = 0; i < 300; ++i)
            write(f.work + QString("f%1.%2").arg(i).arg(i % 2 ? "txt" : "png"));
        f.list(f.work);
        QCOMPARE(f.rows()->rowCount(), 301);
        for (int r = 0; r < 301; ++r)
            QVERIFY(!f.rows()->item(r, 0)->icon().isNull());

        QDir(f.work).removeRecursively();
        QDir().mkpath(f.work);
        write(f.work + "big", QByteArray(1000, 'x'));
        write(f.work + "nine", QByteArray(9, 'x'));
        write(f.work + "twenty", QByteArray(20, 'x'));
        QDir().mkdir(f.work + "folder");
        f.list(f.work);
        f.window->ListView3->headerClicked(f.window->ListView3->column("size"));
        QCOMPARE(f.names(), QStringList({"..", "nine", "twenty", "big", "folder"})); // folders read 4 096
        f.window->ListView3->headerClicked(f.window->ListView3->column("size"));
        QCOMPARE(f.names(), QStringList({"..", "folder", "big", "twenty", "nine"}));
    }

    void deletingLeavesTheParentRow()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.work + "list/sub/inner"));
        write(f.work + "list/x.txt");
        write(f.work + "list/y.txt");
        f.typePath(f.work + "list/");
        f.select({"..", "x.txt", "sub"});
        f.trigger("menu2_delete");
        QCOMPARE(f.trash->trashed, QStringList({f.work + "list/sub", f.work + "list/x.txt"}));
        QCOMPARE(f.names(), QStringList({"..", "y.txt"}));
        QVERIFY(QFileInfo(f.work).isDir());
        QVERIFY(!f.pane().tree().folderNode(f.work + "list/sub/")); // its node went with it
        QVERIFY(f.prompter->shown.isEmpty());                       // no question asked

        f.select({"y.txt"});
        QTest::keyClick(f.window->ListView3->reportView(), Qt::Key_Delete);
        QCOMPARE(f.names(), QStringList{".."});
    }

    void renamingNeverOverwrites()
    {
        Fixture f;
        write(f.work + "a.txt", "A");
        write(f.work + "b.txt", "B");
        f.list(f.work);
        f.select({"a.txt"});
        f.prompter->inputs << "b.txt";
        f.trigger("menu_crename");
        QCOMPARE(f.prompter->prompts,
                 QStringList{"Please enter the new name for a.txt. Do not use the characters / \\ * ':"});
        QCOMPARE(f.names(), QStringList({"..", "a.txt", "b.txt"}));
        QFile b(f.work + "b.txt");
        QVERIFY(b.open(QIODevice::ReadOnly));
        QCOMPARE(b.readAll(), QByteArray("B"));
        QVERIFY(f.prompter->shown.isEmpty()); // a failed rename is silent

        // In place: the label edit renames; a refused one gets its old label back.
        f.rows()->item(1, 0)->setText("c.txt");
        QTRY_COMPARE(f.names(), QStringList({"..", "b.txt", "c.txt"}));
        f.rows()->item(2, 0)->setText("b.txt");
        QTRY_COMPARE(f.names(), QStringList({"..", "b.txt", "c.txt"}));
        f.rows()->item(2, 0)->setText("");
        QTRY_COMPARE(f.names(), QStringList({"..", "b.txt", "c.txt"}));
        QVERIFY(QFile::exists(f.work + "c.txt"));
    }

    void creatingFolders()
    {
        Fixture f;
        QDir().mkdir(f.work + "sub");
        f.typePath(f.work);
        f.prompter->inputs << "sub"
                           << "fresh";
        f.trigger("menu2_mkdir");
        QCOMPARE(f.prompter->messageTexts(), QStringList{"The directory could not be created."});
        QCOMPARE(f.prompter->shown.first().icon, Prompter::Icon::Critical);
        f.trigger("menu_cmkdir");
        QVERIFY(QFileInfo(f.work + "fresh").isDir());
        QCOMPARE(f.names(), QStringList({"..", "fresh", "sub"}));
        QVERIFY(f.pane().tree().folderNode(f.work + "fresh/")); // the tree shows it too
        QCOMPARE(f.prompter->prompts, QStringList(2, "Enter the name of the new directory"));
    }

    void copyLinkAndTheEditMenu()
    {
        Fixture f;
        write(f.work + "a.txt");
        f.list(f.work);
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
        QCOMPARE(f.names(), QStringList({"..", "a.txt"}));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("example"));
    }

    void treeCommands()
    {
        Fixture f;
        QVERIFY(QDir().mkpath(f.work + "top/listed"));
        QVERIFY(QDir().mkpath(f.work + "top/other"));
        f.typePath(f.work + "top/listed/");

        // Deleting the listed folder's node lists its parent.
        f.selectNode(f.work + "top/listed/");
        f.trigger("menu5_delete");
        QCOMPARE(f.trash->trashed, QStringList{f.work + "top/listed"});
        QCOMPARE(f.state.currentLocalFolder, f.work + "top/");
        QCOMPARE(f.names(), QStringList({"..", "other"}));
        QVERIFY(!f.pane().tree().folderNode(f.work + "top/listed/"));

        f.selectNode(f.work + "top/");
        f.prompter->inputs << "made";
        f.trigger("menu5_mkdir");
        QCOMPARE(f.names(), QStringList({"..", "made", "other"}));
        QVERIFY(f.pane().tree().folderNode(f.work + "top/made/"));

        // Renaming the node above the listed folder takes the listing along.
        f.selectNode(f.work + "top/");
        f.prompter->inputs << "renamed";
        f.trigger("menu5_rename");
        QVERIFY(QFileInfo(f.work + "renamed/made").isDir());
        QCOMPARE(f.state.currentLocalFolder, f.work + "renamed/");
        QCOMPARE(f.selectedNodeFolder(), f.work + "renamed/");
        QVERIFY(f.pane().tree().folderNode(f.work + "renamed/made/"));

        // In place; a name that is taken leaves folder and label as they were.
        QDir().mkdir(f.work + "renamed/taken");
        f.pane().tree().folderNode(f.work + "renamed/made/")->setText("edited");
        QTRY_VERIFY(QFileInfo(f.work + "renamed/edited").isDir());
        QStandardItem *edited = f.pane().tree().folderNode(f.work + "renamed/edited/");
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
