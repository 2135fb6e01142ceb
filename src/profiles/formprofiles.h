#pragma once

#include "ProfileStore.h"

#include <QMainWindow>

class ProfileHost;
class QLineEdit;
class QMenu;
class QModelIndex;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

// The profile manager: the store as a tree of folders and profiles, the selected profile's
// fields, and Connect, which hands them to the main window.
class formprofiles : public QMainWindow
{
    Q_OBJECT
public:
    formprofiles(const QString &profilesFolder, ProfileHost &host, QWidget *parent = nullptr);

    ProfileStore &store() { return m_store; }
    const QString &currentFolder() const { return m_currentFolder; }
    QAction *action(const QString &name) const;
    // The tree item of a key; null when the tree has none.
    QStandardItem *node(const QString &key) const;

    QLineEdit *txtServer, *txtPort, *txtUsername, *txtPassword, *txtProxy, *txtKeep, *txtTimeout;
    QRadioButton *optActive, *optPassive;
    QPlainTextEdit *txtComments;
    QPushButton *btnSave, *btnConnect;
    QTreeView *TreeView1;
    QStandardItemModel *profileTree;

public slots:
    void GetProfiles();
    void TreeView1_NodeClick(const QModelIndex &index);
    void menu_add_Click();
    void menu_cfolder_Click();
    void menu_remove_Click();
    void menu_delete_Click();
    void menu_clear_Click();
    void btnSave_Click();
    void btnConnect_Click();
    void menu_exit_Click();
    void menu_cut_Click();
    void menu_copy_Click();
    void menu_paste_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();
    void setFieldsEnabled(bool enabled);
    void showProfile(const QString &path);
    Profile shownProfile() const;
    bool shownProfileIsWhole(const QString &consequence);
    void removeNodes(const QList<ProfileNode> &nodes);
    QList<ProfileNode> selectedNodes() const;

    ProfileStore m_store;
    ProfileHost &m_host;
    QString m_currentFolder;
    QString m_shownProfile;    // the file whose fields are shown; empty after a folder click
    bool m_shownWhole = false; // its read was not damaged: the fields hold its values alone
    QList<ProfileNode> m_nodes;
    QMenu *m_profilesMenu = nullptr;
};
