// Listing the current remote folder and moving between folders.
#include "RemotePane.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "Events.h"
#include "FtpSession.h"
#include "RemoteFileWindow.h"
#include "RemotePaths.h"
#include "SessionLog.h"
#include "formmain.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

namespace {

// Ends a listing the way it always ends, however it ends.
struct ListingGuard
{
    AppState &state;
    ~ListingGuard() { state.listingFree = true; }
};

} // namespace

void RemotePane::FtpGetDirectoryContents()
{
    AppState &state = m_window.state();
    if (!state.listingFree || !m_session)
        return;
    // A transfer holds the connection: keep the list as it is rather than empty it for a
    // listing the server cannot answer now, and list as soon as the connection is free.
    if (m_session->isBusy()) {
        m_window.SetStatusLine(QStringLiteral("A transfer is under way: the folder is listed as soon as it can be."));
        QTimer::singleShot(250, this, [this, session = m_session.data()] {
            if (stillConnected(session))
                FtpGetDirectoryContents();
        });
        return;
    }
    m_window.ListView1->setRows({});
    state.listingFree = false;
    ListingGuard guard{state};
    const QString folder = state.currentRemoteFolder;
    m_window.txtDirectory->setText(folder);
    m_window.SetStatusLine(QStringLiteral("Getting directory contents..."));
    BusyPointer busy;
    FtpSession *session = m_session;
    if (!announce(QStringLiteral("CWD ") + folder))
        return;
    session->setCurrentDirectory(folder);
    logReply();
    if (!announce(QStringLiteral("PWD")))
        return;
    session->command(QStringLiteral("PWD"));
    logReply();
    if (!announce(QStringLiteral("LIST")))
        return;
    QList<FtpEntry> entries;
    session->list(state.remoteFilter, entries);
    logReply();
    if (const int unreadable = session->unreadableLines())
        m_window.LogLine(RemoteListing::unreadableNote(unreadable), SessionLog::Event);
    m_window.LogLine(QStringLiteral("Directory listing successfully completed."), SessionLog::Event);
    pumpEvents();
    if (!stillConnected(session) || state.currentRemoteFolder != folder)
        return;
    fillList(entries);
    m_window.SetStatusLine(QStringLiteral("Ready."));
}

void RemotePane::fillList(const QList<FtpEntry> &entries)
{
    const QString folder = m_window.state().currentRemoteFolder;
    QStandardItem *node = treeNode(folder, true);
    if (!node)
        return; // no tree: the connection went while the listing ran
    node->removeRows(0, node->rowCount());
    FileIconCache &icons = m_window.iconCache();
    QList<QList<QStandardItem *>> rows;
    rows.reserve(entries.size() + 1);
    if (folder != QLatin1String("/"))
        rows.append(RemoteListing::parentRow(folder, icons));
    QStringList files;
    qint64 count = 0, bytes = 0;
    for (const FtpEntry &entry : entries) {
        if (entry.name == QLatin1String(".") || entry.name == QLatin1String(".."))
            continue;
        if (entry.isFolder && RemotePaths::isSafeLocalName(entry.name))
            treeNode(folder + entry.name + QLatin1Char('/'), true);
        else if (!entry.isFolder)
            files.append(entry.name);
        ++count;
        bytes += RemoteListing::rowBytes(entry);
        rows.append(RemoteListing::entryRow(folder, entry, icons));
    }
    m_placeholders.ensure(files);
    m_window.ListView1->setRows(rows);
    m_window.TreeView2->expand(node->index());
    m_window.statusPanel(QStringLiteral("remote"))
        ->setText(QStringLiteral("Remote: %1 files, %2 bytes").arg(count).arg(bytes));
}

void RemotePane::ListView1_DblClick()
{
    if (!requireConnection())
        return;
    FileListView *list = m_window.ListView1;
    const QModelIndex current = list->selectionModel()->currentIndex();
    const QList<int> selected = list->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = current.isValid() && selected.contains(current.row()) ? current.row() : selected.first();
    const QString name = list->model()->item(row, 0)->text();
    const QString mark = list->model()->item(row, list->column(QStringLiteral("tsize")))->text();
    AppState &state = m_window.state();
    if (mark == QString::number(RemoteListing::FolderSize) && m_session->setCurrentDirectory(name)) {
        state.currentRemoteFolder = name == QLatin1String("..") ? RemotePaths::upOneLevel(state.currentRemoteFolder)
                                                                : state.currentRemoteFolder + name + QLatin1Char('/');
        selectTreeNode(state.currentRemoteFolder);
        logReply();
        FtpGetDirectoryContents();
        return;
    }
    // The image viewer and the text editor open such files once they exist; other files do nothing.
    Q_UNUSED(remoteFileWindowFor(name));
}

void RemotePane::TreeView2_NodeClick(const QModelIndex &index)
{
    if (!m_window.state().connected() || !index.isValid())
        return;
    m_window.state().currentRemoteFolder = index.data(FileListView::KeyRole).toString();
    FtpGetDirectoryContents();
}

void RemotePane::txtDirectory_KeyPress()
{
    if (!requireConnection())
        return;
    AppState &state = m_window.state();
    const QString typed = m_window.txtDirectory->text();
    if (!m_session->setCurrentDirectory(typed)) {
        m_window.prompter().message(QStringLiteral("Could not change remote directory."), Prompter::Icon::Warning);
        m_window.txtDirectory->setText(state.currentRemoteFolder);
        logReply();
        return;
    }
    state.currentRemoteFolder = RemotePaths::fromTyped(typed);
    selectTreeNode(state.currentRemoteFolder);
    logReply();
    FtpGetDirectoryContents();
}

void RemotePane::menu_refresh_server_Click()
{
    if (requireConnection())
        FtpGetDirectoryContents();
}

void RemotePane::menu_showall_server_Click()
{
    if (!requireConnection())
        return;
    m_window.state().remoteFilter = QStringLiteral("*.*");
    FtpGetDirectoryContents();
}

void RemotePane::menu_showcustom_server_Click()
{
    if (!requireConnection())
        return;
    const QString extension = m_window.prompter().input(QStringLiteral("Please enter the extension to be shown:"));
    if (extension.isEmpty())
        return;
    m_window.state().remoteFilter = QStringLiteral("*.") + extension;
    FtpGetDirectoryContents();
}
