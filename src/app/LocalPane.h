#pragma once

#include "LocalListing.h"
#include "LocalSide.h"
#include "LocalTree.h"
#include "PaneServices.h"

#include <QObject>
#include <memory>

class FileOpener;
class LocalTrash;
class FileListView;
class QLineEdit;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

// The controls of the main window the local side works with.
struct LocalControls
{
    QTreeView *TreeView1;
    QStandardItemModel *localTree;
    QLineEdit *txtLocal;
    FileListView *ListView3;
};

// The local side of the main window: folder tree, path field and file list, and the local
// file operations. Its slots gather what the user gave and call the local core.
class LocalPane : public QObject, public LocalSide
{
    Q_OBJECT
public:
    LocalPane(const PaneServices &services, const LocalControls &controls);
    ~LocalPane() override;

    // The folder listed at start: the user's documents folder, the home folder when there is none.
    static QString documentsFolder();

    // Tests give their own: no real program is started and nothing goes to the user's trash.
    void setFileOpener(std::unique_ptr<FileOpener> opener);
    void setTrash(std::unique_ptr<LocalTrash> trash);
    LocalTree &tree() { return m_tree; }
    void showNewFolders(const QString &folder) override;
    void showMovedFolders(const QString &folder) override;

public slots:
    void ListDrives();
    void ClientGetDirectoryContents() override;

    // Tree, path field and list (LocalPane.cpp).
    void TreeView1_NodeClick(const QModelIndex &index);
    void TreeView1_Expand(const QModelIndex &index);
    void TreeView1_Collapse(const QModelIndex &index);
    void txtLocal_KeyPress(); // Enter
    void ListView3_DblClick();
    void menu_refresh_client_Click();
    void menu_showall_client_Click();
    void menu_showcustom_client_Click();

    // File operations (LocalPane_operations.cpp).
    void menu2_delete_Click();
    void menu2_rename_Click();
    void menu2_mkdir_Click();
    void menu2_copy_Click();
    void menu5_delete_Click();
    void menu5_rename_Click();
    void menu5_mkdir_Click();
    void menu_copy_Click();
    void menu_cut_Click();
    void menu_paste_Click();
    void ListView3_AfterLabelEdit(QStandardItem *item);
    void TreeView1_AfterLabelEdit(QStandardItem *item);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wireTree();
    void wireList();
    void wireMenus();
    void wireOperations();
    void expandAndSelect(const QString &folder);
    void refreshTreeNode(QStandardItem *node);
    void showRows(const LocalListing &listing);
    int selectedRow() const;
    QStandardItem *selectedNode() const;
    void renameNode(QStandardItem *node, const QString &newName);
    void setTreeQuietly(const std::function<void()> &change);

    PaneServices m_s;
    LocalControls m_ui;
    LocalTree m_tree;
    std::unique_ptr<FileOpener> m_opener;
    std::unique_ptr<LocalTrash> m_trash;
    bool m_treeQuiet = false; // the program, not the user, is changing node labels
};
