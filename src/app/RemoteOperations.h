#pragma once

#include "PaneServices.h"
#include "RemoteCommands.h"
#include "RemoteSide.h"
#include "formpass.h"

#include <QObject>
#include <QPointer>

class RemoteSession;
class FileListView;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

// Renaming, deleting and creating remote files and folders from the remote list and tree,
// raw commands and the password change. Each operation ends by listing the remote folder.
class RemoteOperations : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        FileListView *ListView1;
        QTreeView *TreeView2;
        QStandardItemModel *remoteTree;
    };
    RemoteOperations(const PaneServices &services, const Controls &controls, RemoteSide &remote);

    bool RemoveRemoteFolder(const QString &folder);
    formpass *passwordWindow() const { return m_pass; }

public slots:
    void btnRename_Click();
    void btnDelete_Click();
    void btnMkdir_Click();
    void ListView1_AfterLabelEdit(QStandardItem *item);
    void menu1_copy_Click();
    void menu6_delete_Click();
    void menu6_rename_Click();
    void menu6_mkdir_Click();
    void menu_cmd_Click();
    void menu_pass_Click();

private:
    bool requireConnection();
    RemoteSession *session() const;
    void logReply();
    void list();
    QStringList listedNames() const;
    QList<RemoteCommands::Entry> selectedRows() const;
    RemoteCommands commands();
    QStandardItem *selectedNode() const;
    bool confirmServerDelete(int count);
    bool requireFtp(const QString &what);
    void wire();

    PaneServices m_s;
    Controls m_ui;
    RemoteSide &m_remote;
    QPointer<formpass> m_pass;
};
