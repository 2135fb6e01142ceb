#include "RemoteOperations.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "Events.h"
#include "RemoteSession.h"
#include "RemotePaths.h"
#include "SessionLog.h"
#include "FileListView.h"
#include "formpass.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QListView>
#include <QShortcut>
#include <QStandardItemModel>
#include <QTreeView>

RemoteOperations::RemoteOperations(const PaneServices &services, const Controls &controls, RemoteSide &remote)
    : QObject(&services.window), m_s(services), m_ui(controls), m_remote(remote)
{
    wire();
}

void RemoteOperations::wire()
{
    auto on = [this](const char *name, void (RemoteOperations::*slot)()) {
        m_s.onAction(name, this, slot);
    };
    on("menu_srename", &RemoteOperations::btnRename_Click);
    on("menu1_rename", &RemoteOperations::btnRename_Click);
    on("menu_sdelete", &RemoteOperations::btnDelete_Click);
    on("menu1_delete", &RemoteOperations::btnDelete_Click);
    on("menu_smkdir", &RemoteOperations::btnMkdir_Click);
    on("menu1_mkdir", &RemoteOperations::btnMkdir_Click);
    on("menu1_copy", &RemoteOperations::menu1_copy_Click);
    on("menu6_delete", &RemoteOperations::menu6_delete_Click);
    on("menu6_rename", &RemoteOperations::menu6_rename_Click);
    on("menu6_mkdir", &RemoteOperations::menu6_mkdir_Click);
    on("menu_cmd", &RemoteOperations::menu_cmd_Click);
    on("menu4_cmd", &RemoteOperations::menu_cmd_Click);
    on("menu_pass", &RemoteOperations::menu_pass_Click);
    auto *del =
        new QShortcut(QKeySequence::Delete, m_ui.ListView1, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(del, &QShortcut::activated, this, &RemoteOperations::btnDelete_Click);
    // Labels are edited in place with F2 or a click on a selected row.
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(m_ui.ListView1->reportView()),
                                    static_cast<QAbstractItemView *>(m_ui.ListView1->iconView())})
        view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    connect(m_ui.ListView1->model(), &QStandardItemModel::itemChanged, this,
            &RemoteOperations::ListView1_AfterLabelEdit);
}

RemoteSession *RemoteOperations::session() const
{
    return m_remote.session();
}

bool RemoteOperations::requireConnection()
{
    return m_remote.requireConnection() && session();
}

// Raw commands and SITE PSWD exist in FTP only: over SFTP they are refused here, before anything is sent.
bool RemoteOperations::requireFtp(const QString &what)
{
    if (m_s.state.protocol == RemoteProtocol::Ftp)
        return true;
    m_s.prompter.message(what + QStringLiteral(" is for FTP connections only: this connection is SFTP."),
                         Prompter::Icon::Information);
    return false;
}

void RemoteOperations::logReply()
{
    if (RemoteSession *s = session())
        m_s.log.logServerReply(s->lastResponseInfo());
}

void RemoteOperations::list()
{
    m_remote.FtpGetDirectoryContents();
}

// The names the remote list shows.
QStringList RemoteOperations::listedNames() const
{
    QStringList names;
    for (int r = 0; r < m_ui.ListView1->model()->rowCount(); ++r)
        names << m_ui.ListView1->model()->item(r, 0)->text();
    return names;
}

RemoteCommands RemoteOperations::commands()
{
    RemoteSession *s = session();
    return RemoteCommands(
        *s, m_s.prompter, m_s.log, [this](const QString &text) { m_s.status.SetStatusLine(text); },
        [this, s] { return session() == s; });
}

// The selected rows but "..", in list order: name, and whether the row is a folder.
QList<RemoteCommands::Entry> RemoteOperations::selectedRows() const
{
    const FileListView *rows = m_ui.ListView1;
    QList<RemoteCommands::Entry> chosen;
    for (int row : rows->selectedRows()) {
        const ListRoles::RowKind kind = rows->rowKind(row);
        if (kind != ListRoles::RowKind::Parent &&
            !rows->model()->item(row, 0)->data(FileListView::ParentRowRole).toBool())
            chosen.append({rows->model()->item(row, 0)->text(), kind == ListRoles::RowKind::Folder});
    }
    return chosen;
}

void RemoteOperations::btnRename_Click()
{
    if (!requireConnection())
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    BusyPointer busy;
    commands().renameEntries(selectedRows(), listedNames());
    list();
}

void RemoteOperations::ListView1_AfterLabelEdit(QStandardItem *item)
{
    if (!item || item->column() != 0 || !session())
        return;
    const QString folder = m_s.state.currentRemoteFolder;
    const QString before = item->data(FileListView::KeyRole).toString().mid(folder.size());
    const QString after = item->text();
    if (before.isEmpty() || after == before)
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn) {
        item->setText(before); // the list shows what the server has
        return;
    }
    commands().renameEdited(before, after, listedNames());
    list();
}

void RemoteOperations::btnDelete_Click()
{
    if (!requireConnection())
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QList<RemoteCommands::Entry> chosen = selectedRows();
    if (chosen.isEmpty() || !confirmServerDelete(int(chosen.size())))
        return;
    BusyPointer busy;
    commands().deleteEntries(chosen);
    list();
}

// A deletion on the server cannot be undone, and the Delete key alone starts one: every remote
// delete asks once, before anything is sent.
bool RemoteOperations::confirmServerDelete(int count)
{
    const QString what = count == 1 ? QStringLiteral("1 item") : QString::number(count) + QStringLiteral(" items");
    return m_s.prompter.message(QStringLiteral("Delete ") + what +
                                           QStringLiteral(" from the server? Folders are deleted with everything in "
                                                          "them. This cannot be undone."),
                                       Prompter::Icon::Warning, Prompter::Buttons::OkCancel) == Prompter::Answer::Ok;
}

bool RemoteOperations::RemoveRemoteFolder(const QString &folder)
{
    return session() && commands().removeFolder(folder);
}

void RemoteOperations::btnMkdir_Click()
{
    if (!requireConnection())
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QString name = m_s.prompter.input(
        QStringLiteral("Please enter the directory name to be created. Do not use the characters / \\ * ; :"));
    if (name.isEmpty())
        return;
    BusyPointer busy;
    if (commands().createFolder(name))
        list();
}

void RemoteOperations::menu1_copy_Click()
{
    const FileListView *rows = m_ui.ListView1;
    const QList<int> selected = rows->selectedRows();
    QStandardItem *root = m_ui.remoteTree->item(0);
    if (selected.isEmpty() || !root)
        return;
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(root->text() + rows->rowKey(selected.first()));
}

QStandardItem *RemoteOperations::selectedNode() const
{
    const QModelIndex index = m_ui.TreeView2->currentIndex();
    return index.isValid() ? m_ui.remoteTree->itemFromIndex(index) : nullptr;
}

void RemoteOperations::menu6_delete_Click()
{
    if (!requireConnection())
        return;
    QStandardItem *node = selectedNode();
    if (!node)
        return;
    if (!node->parent()) {
        m_s.prompter.message(QStringLiteral("The root folder of the server cannot be deleted."),
                                    Prompter::Icon::Warning);
        return;
    }
    if (!confirmServerDelete(1))
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QString key = node->data(FileListView::KeyRole).toString();
    AppState &state = m_s.state;
    if (state.currentRemoteFolder.startsWith(key))
        state.currentRemoteFolder = node->parent()->data(FileListView::KeyRole).toString();
    if (!RemoveRemoteFolder(key))
        m_s.prompter.message(QStringLiteral("Could not remove directory."), Prompter::Icon::Critical);
    list();
}

void RemoteOperations::menu6_rename_Click()
{
    if (!requireConnection())
        return;
    QStandardItem *node = selectedNode();
    if (!node)
        return;
    if (!node->parent()) {
        m_s.prompter.message(QStringLiteral("The root folder of the server cannot be renamed."),
                                    Prompter::Icon::Warning);
        return;
    }
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QString answer = m_s.prompter.input(QStringLiteral("Enter the new name for ") + node->text());
    if (answer.isEmpty())
        return;
    const QString key = node->data(FileListView::KeyRole).toString();
    const QString parentKey = node->parent()->data(FileListView::KeyRole).toString();
    commands().renameFolder(key, parentKey, answer);
    m_s.state.currentRemoteFolder = parentKey;
    list();
}

void RemoteOperations::menu6_mkdir_Click()
{
    if (!requireConnection())
        return;
    QStandardItem *node = selectedNode();
    if (!node)
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QString answer = m_s.prompter.input(QStringLiteral("Enter the name for the new directory."));
    if (answer.isEmpty())
        return;
    if (!session()->createDirectory(node->data(FileListView::KeyRole).toString() + answer))
        m_s.prompter.message(QStringLiteral("The new directory could not be created."),
                                    Prompter::Icon::Critical);
    logReply();
    list();
}

void RemoteOperations::menu_cmd_Click()
{
    if (!requireConnection() || !requireFtp(QStringLiteral("Send FTP command")))
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QString command = m_s.prompter.input(QStringLiteral("Which command do you want to send?"));
    if (command.isEmpty())
        return;
    if (commands().sendRaw(command))
        list();
}

void RemoteOperations::menu_pass_Click()
{
    const QString what = QStringLiteral("Change password");
    if (!requireConnection() || !requireFtp(what))
        return;
    if (!m_pass) {
        auto send = [this, what](const QString &command, const QString &oldPassword, const QString &newPassword) {
            if (!requireFtp(what)) // the window stayed open while an SFTP connection replaced the FTP one
                return false;
            const ConnectionGuard::Turn turn = session() ? m_remote.commandTurn() : ConnectionGuard::Turn();
            return turn && commands().changePassword(command, oldPassword, newPassword);
        };
        m_pass = new formpass(m_s.prompter, send, &m_s.window);
        m_pass->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_pass->show();
    m_pass->raise();
}
