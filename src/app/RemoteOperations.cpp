#include "RemoteOperations.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "Events.h"
#include "FtpSecrets.h"
#include "FtpSession.h"
#include "RemoteFolderRemover.h"
#include "RemotePaths.h"
#include "ServerNames.h"
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
#include <algorithm>

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

FtpSession *RemoteOperations::session() const
{
    return m_remote.session();
}

bool RemoteOperations::requireConnection()
{
    return m_remote.requireConnection() && session();
}

void RemoteOperations::logReply()
{
    if (FtpSession *s = session())
        m_s.log.logServerReply(s->lastResponseInfo());
}

void RemoteOperations::list()
{
    m_remote.FtpGetDirectoryContents();
}

// A rename onto a name that stands in the listed folder would replace that file on most
// servers: such a rename is refused before anything is sent.
bool RemoteOperations::nameIsListed(const QString &name) const
{
    const QStandardItemModel *rows = m_ui.ListView1->model();
    for (int r = 0; r < rows->rowCount(); ++r)
        if (rows->item(r, 0)->text() == name)
            return true;
    return false;
}

// The selected rows but "..", in list order: name, and whether the row is a folder.
QList<QPair<QString, bool>> RemoteOperations::selectedRows() const
{
    const FileListView *rows = m_ui.ListView1;
    QList<QPair<QString, bool>> chosen;
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
    const QList<QPair<QString, bool>> chosen = selectedRows();
    for (const auto &[name, folder] : chosen) {
        bool sent = false;
        if (!renameRow(name, folder, sent)) {
            m_s.prompter.message(QStringLiteral("Error, could not rename file ") + name,
                                        Prompter::Icon::Critical);
            if (sent) // a rename refused before sending has no reply of its own
                logReply();
            break;
        }
    }
    list();
}

// False when the rename was refused or failed (sent: whether it reached the server); skipping a
// row is no failure.
bool RemoteOperations::renameRow(const QString &name, bool folder, bool &sent)
{
    const QString prompt = (folder ? QStringLiteral("Please enter the new directory name for ")
                                   : QStringLiteral("Please enter the new file name for ")) +
                           name + QStringLiteral(". Do not use the characters / \\ * ; :");
    const QString answer = m_s.prompter.input(prompt);
    if (answer.isEmpty() || answer == name)
        return true;
    if (nameIsListed(answer))
        return false;
    m_s.status.SetStatusLine(QStringLiteral("Renaming file ") + name + QStringLiteral(" to ") + answer +
                           QStringLiteral("..."));
    FtpSession *s = session();
    pumpEvents();
    if (!s || s != session())
        return false;
    sent = true;
    if (!s->renameFile(name, answer))
        return false;
    logReply();
    return true;
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
    int same = 0;
    for (int r = 0; r < m_ui.ListView1->model()->rowCount(); ++r)
        same += m_ui.ListView1->model()->item(r, 0)->text() == after;
    const bool send = !after.isEmpty() && same == 1;
    const bool ok = send && session()->renameFile(before, after);
    if (!ok)
        m_s.prompter.message(QStringLiteral("The element could not be renamed."), Prompter::Icon::Critical);
    if (send)
        logReply();
    list();
}

void RemoteOperations::btnDelete_Click()
{
    if (!requireConnection())
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QList<QPair<QString, bool>> chosen = selectedRows();
    if (chosen.isEmpty() || !confirmServerDelete(int(chosen.size())))
        return;
    BusyPointer busy;
    for (const auto &[name, folder] : chosen) {
        FtpSession *s = session();
        if (!s)
            break;
        if (folder) {
            if (!RemoveRemoteFolder(name)) {
                m_s.prompter.message(QStringLiteral("Could not delete directory ") + name,
                                            Prompter::Icon::Critical);
                logReply();
                break;
            }
            continue;
        }
        m_s.status.SetStatusLine(QStringLiteral("Removing file ") + name + QStringLiteral("..."));
        pumpEvents();
        if (s != session())
            break;
        if (!s->deleteFile(name)) {
            m_s.prompter.message(QStringLiteral("Could not delete file ") + name, Prompter::Icon::Critical);
            logReply();
            break;
        }
        logReply();
    }
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
    FtpSession *s = session();
    if (!s)
        return false;
    RemoteFolderRemover::Reporter report;
    report.status = [this](const QString &text) { m_s.status.SetStatusLine(text); };
    report.reply = [this] { logReply(); };
    report.pump = [this, s] {
        pumpEvents();
        return session() == s;
    };
    return RemoteFolderRemover(*s, report).RemoveRemoteFolder(folder);
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
    FtpSession *s = session();
    pumpEvents();
    if (!s || s != session())
        return;
    if (!s->createDirectory(name)) {
        m_s.prompter.message(
            QStringLiteral("Could not create directory. Either the directory exists, it "
                           "contains forbidden characters, or you cannot write in that folder."),
            Prompter::Icon::Critical);
        logReply();
        return;
    }
    logReply();
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
    const QString oldPath = key.chopped(1);
    const QString newPath = parentKey + answer;
    FtpSession *s = session();
    // Never over a name that already stands in the parent folder.
    QList<FtpEntry> siblings;
    const bool listed = s->list(parentKey, QStringLiteral("*.*"), siblings);
    const bool taken =
        !listed || std::any_of(siblings.cbegin(), siblings.cend(), [&](const FtpEntry &e) { return e.name == answer; });
    const bool send = !taken && ServerNames::isServerName(answer);
    if (!send || !s->renameFile(oldPath, newPath))
        m_s.prompter.message(QStringLiteral("There was an error renaming the directory."),
                                    Prompter::Icon::Critical);
    m_s.state.currentRemoteFolder = parentKey;
    if (send) // the check of the parent folder is no command of the user's
        logReply();
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
    if (!requireConnection())
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const QString command = m_s.prompter.input(QStringLiteral("Which command do you want to send?"));
    if (command.isEmpty())
        return;
    FtpSession *s = session();
    s->command(command, FtpSession::Echo::Quiet); // what the user typed is not echoed
    pumpEvents();
    if (s != session())
        return;
    logReply();
    list();
}

void RemoteOperations::menu_pass_Click()
{
    if (!requireConnection())
        return;
    if (!m_pass) {
        auto send = [this](const QString &command, const QString &oldPassword, const QString &newPassword) {
            FtpSession *s = session();
            if (!s)
                return false;
            const ConnectionGuard::Turn turn = m_remote.commandTurn();
            if (!turn)
                return false;
            const bool changed = s->command(command, FtpSession::Echo::Logged, {oldPassword, newPassword});
            // The password never reaches the log, even when a server echoes it back.
            m_s.log.logServerReply(FtpSecrets::masked(s->lastResponseInfo(), {oldPassword, newPassword}));
            return changed;
        };
        m_pass = new formpass(m_s.prompter, send, &m_s.window);
        m_pass->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_pass->show();
    m_pass->raise();
}
