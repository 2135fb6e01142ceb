// The local file operations of the pane: delete, rename, create, Copy link and the Edit menu.
#include "LocalPane.h"

#include "AppState.h"
#include "LocalOperations.h"
#include "LocalPaths.h"
#include "LocalTrash.h"
#include "FileListView.h"

#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

namespace {

const QString NotCreated = QStringLiteral("The directory could not be created.");
const QString NotRemoved = QStringLiteral("Could not remove directory.");

bool isFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

// The focused field's own clipboard command; nothing for a control without text.
template <class OnLine, class OnText> void onFocusedText(QWidget *focused, OnLine onLine, OnText onText)
{
    if (auto *edit = qobject_cast<QLineEdit *>(focused))
        onLine(edit);
    else if (auto *box = qobject_cast<QTextEdit *>(focused))
        onText(box);
}

} // namespace

void LocalPane::wireOperations()
{
    const QList<QPair<const char *, void (LocalPane::*)()>> commands = {
        {"menu_cdelete", &LocalPane::menu2_delete_Click}, {"menu2_delete", &LocalPane::menu2_delete_Click},
        {"menu_crename", &LocalPane::menu2_rename_Click}, {"menu2_rename", &LocalPane::menu2_rename_Click},
        {"menu_cmkdir", &LocalPane::menu2_mkdir_Click},   {"menu2_mkdir", &LocalPane::menu2_mkdir_Click},
        {"menu2_copy", &LocalPane::menu2_copy_Click},     {"menu5_delete", &LocalPane::menu5_delete_Click},
        {"menu5_rename", &LocalPane::menu5_rename_Click}, {"menu5_mkdir", &LocalPane::menu5_mkdir_Click},
        {"menu_copy", &LocalPane::menu_copy_Click},       {"menu_cut", &LocalPane::menu_cut_Click},
        {"menu_paste", &LocalPane::menu_paste_Click},
    };
    for (const auto &[name, slot] : commands)
        m_s.onAction(name, this, slot);
}

void LocalPane::menu2_delete_Click()
{
    QStringList paths;
    for (int row : m_ui.ListView3->selectedRows()) {
        if (!m_ui.ListView3->model()->item(row)->data(FileListView::ParentRowRole).toBool())
            paths << m_ui.ListView3->rowKey(row);
    }
    if (LocalOperations::deleteEntries(paths, *m_trash))
        refreshTreeNode(m_tree.folderNode(m_s.state.currentLocalFolder));
    ClientGetDirectoryContents();
}

void LocalPane::menu2_rename_Click()
{
    QList<QPair<QString, QString>> entries; // key, name
    for (int row : m_ui.ListView3->selectedRows()) {
        const QStandardItem *item = m_ui.ListView3->model()->item(row);
        if (!item->data(FileListView::ParentRowRole).toBool())
            entries.append({item->data(FileListView::KeyRole).toString(), item->text()});
    }
    const QString folder = m_s.state.currentLocalFolder;
    if (LocalOperations::renameEntries(entries, folder, m_s.prompter))
        refreshTreeNode(m_tree.folderNode(folder));
    ClientGetDirectoryContents();
}

void LocalPane::menu2_mkdir_Click()
{
    const QString name = m_s.prompter.input(QStringLiteral("Enter the name of the new directory"));
    if (name.isEmpty())
        return;
    const QString folder = m_s.state.currentLocalFolder;
    if (!LocalOperations::createFolder(folder, name)) {
        m_s.prompter.message(NotCreated, Prompter::Icon::Critical);
        return;
    }
    refreshTreeNode(m_tree.folderNode(folder));
    ClientGetDirectoryContents();
}

void LocalPane::menu2_copy_Click()
{
    const int row = selectedRow();
    if (row >= 0)
        QGuiApplication::clipboard()->setText(m_ui.ListView3->rowKey(row));
}

void LocalPane::ListView3_AfterLabelEdit(QStandardItem *item)
{
    if (item->column() != 0 || item->data(FileListView::ParentRowRole).toBool())
        return;
    const QString key = item->data(FileListView::KeyRole).toString();
    const QString newName = item->text();
    if (key.isEmpty() || newName == LocalPaths::fileName(key))
        return;
    // After the editor has let go of the row: the listing rebuilds every row.
    QTimer::singleShot(0, this, [this, key, newName] {
        const QString folder = m_s.state.currentLocalFolder;
        const bool wasFolder = isFolder(key);
        if (!LocalOperations::renameEntry(key, folder, newName).isEmpty() && wasFolder)
            refreshTreeNode(m_tree.folderNode(folder));
        ClientGetDirectoryContents(); // a failed rename gets its old label back
    });
}

QStandardItem *LocalPane::selectedNode() const
{
    return m_ui.localTree->itemFromIndex(m_ui.TreeView1->currentIndex());
}

void LocalPane::refreshTreeNode(QStandardItem *node)
{
    if (!node)
        return;
    m_tree.reload(node, true);
    m_ui.TreeView1->expand(node->index());
}

void LocalPane::showNewFolders(const QString &folder)
{
    refreshTreeNode(m_tree.folderNode(folder));
}

// An open node shows its folders afresh; the listed folder stays the one listed.
void LocalPane::showMovedFolders(const QString &folder)
{
    AppState &state = m_s.state;
    const QString current = state.currentLocalFolder;
    if (QStandardItem *node = m_tree.folderNode(folder); node && m_ui.TreeView1->isExpanded(node->index())) {
        TreeView1_Collapse(node->index());
        TreeView1_Expand(node->index());
    }
    state.currentLocalFolder = current;
}

void LocalPane::menu5_delete_Click()
{
    QStandardItem *node = selectedNode();
    if (!node)
        return;
    // The desktop, the documents folder and the volumes stay: only plain folders are deleted here.
    if (LocalTree::kindOf(node) != LocalTree::Kind::Folder) {
        m_s.prompter.message(NotRemoved, Prompter::Icon::Critical);
        return;
    }
    AppState &state = m_s.state;
    const QString folder = LocalTree::folderOf(node);
    QStandardItem *parent = node->parent();
    if (state.currentLocalFolder.startsWith(folder))
        state.currentLocalFolder = LocalTree::folderOf(parent);
    if (!LocalOperations::deleteEntry(folder, *m_trash))
        m_s.prompter.message(NotRemoved, Prompter::Icon::Critical);
    refreshTreeNode(parent); // the deleted folder's node goes
    refreshTreeNode(m_tree.folderNode(state.currentLocalFolder));
    ClientGetDirectoryContents();
}

void LocalPane::menu5_rename_Click()
{
    QStandardItem *node = selectedNode();
    if (!node || LocalTree::kindOf(node) != LocalTree::Kind::Folder)
        return;
    const QString name = m_s.prompter.input(QStringLiteral("Enter the new name for ") + node->text());
    if (!name.isEmpty())
        renameNode(node, name);
}

void LocalPane::TreeView1_AfterLabelEdit(QStandardItem *item)
{
    if (m_treeQuiet || LocalTree::kindOf(item) != LocalTree::Kind::Folder ||
        item->text() == LocalPaths::fileName(LocalTree::folderOf(item)))
        return;
    const QPersistentModelIndex index(item->index());
    const QString newName = item->text();
    QTimer::singleShot(0, this, [this, index, newName] {
        if (index.isValid())
            renameNode(m_ui.localTree->itemFromIndex(index), newName);
    });
}

void LocalPane::renameNode(QStandardItem *node, const QString &newName)
{
    const QString old = LocalTree::folderOf(node);
    const QString renamed = LocalOperations::renameEntry(old, LocalPaths::parentFolder(old), newName);
    const bool expanded = m_ui.TreeView1->isExpanded(node->index());
    setTreeQuietly([&] {
        if (renamed.isEmpty())
            node->setText(LocalPaths::fileName(old)); // a failed rename keeps the old label
        else
            m_tree.setFolder(node, renamed, expanded);
    });
    AppState &state = m_s.state;
    if (!renamed.isEmpty() && state.currentLocalFolder.startsWith(old)) {
        // The listed folder moved with the renamed one.
        state.currentLocalFolder = LocalPaths::asFolder(renamed) + state.currentLocalFolder.mid(old.size());
        ClientGetDirectoryContents();
    }
}

void LocalPane::setTreeQuietly(const std::function<void()> &change)
{
    m_treeQuiet = true;
    change();
    m_treeQuiet = false;
}

void LocalPane::menu5_mkdir_Click()
{
    QStandardItem *node = selectedNode();
    const QString folder = LocalTree::folderOf(node);
    if (folder.isEmpty())
        return;
    const QString name = m_s.prompter.input(QStringLiteral("Enter the name for the new directory."));
    if (name.isEmpty())
        return;
    LocalOperations::createFolder(folder, name); // a failure here is not reported
    refreshTreeNode(node);
    ClientGetDirectoryContents();
}

void LocalPane::menu_copy_Click()
{
    onFocusedText(
        m_s.window.focusWidget(), [](QLineEdit *e) { e->copy(); }, [](QTextEdit *e) { e->copy(); });
}

void LocalPane::menu_cut_Click()
{
    onFocusedText(
        m_s.window.focusWidget(), [](QLineEdit *e) { e->cut(); }, [](QTextEdit *e) { e->cut(); });
}

void LocalPane::menu_paste_Click()
{
    onFocusedText(
        m_s.window.focusWidget(), [](QLineEdit *e) { e->paste(); }, [](QTextEdit *e) { e->paste(); });
}
