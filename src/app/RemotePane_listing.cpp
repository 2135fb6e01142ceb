// Listing the current remote folder and moving between folders.
#include "RemotePane.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "Events.h"
#include "FileListView.h"
#include "FtpSession.h"
#include "RemoteFileWindow.h"
#include "RemotePaths.h"
#include "ServerNames.h"
#include "SessionLog.h"
#include "formascii.h"
#include "formimage.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
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
    AppState &state = m_s.state;
    if (!m_session)
        return;
    ConnectionGuard::Turn turn = m_guard.take(true);
    if (!turn) {
        // Another exchange holds the connection: this listing runs when it ends.
        m_guard.requestListing();
        if (m_session->isBusy())
            m_s.status.SetStatusLine(
                QStringLiteral("A transfer is under way: the folder is listed as soon as it can be."));
        return;
    }
    m_ui.ListView1->setRows({});
    state.listingFree = false;
    ListingGuard guard{state};
    BusyPointer busy;
    FtpSession *session = m_session;
    // The folder asked for; when it cannot be listed, the one listed before, then the parents
    // of that one up to "/": the list always shows a folder that exists.
    const QString wanted = state.currentRemoteFolder;
    QStringList candidates{wanted};
    if (!m_lastListed.isEmpty() && m_lastListed != wanted)
        candidates.append(m_lastListed);
    for (QString folder = candidates.constLast();
         folder != QLatin1String("/") && folder.startsWith(QLatin1Char('/'));) {
        folder = RemotePaths::upOneLevel(folder);
        candidates.append(folder);
    }
    for (const QString &folder : std::as_const(candidates)) {
        state.currentRemoteFolder = folder;
        QList<FtpEntry> entries;
        const Listing outcome = listOnce(session, folder, entries);
        if (outcome == Listing::Gone)
            return;
        if (m_guard.listingRequested())
            return; // asked for again meanwhile: the latest request lists, once this one has let go
        if (outcome == Listing::Listed) {
            showListed(folder, entries);
            return;
        }
        if (outcome == Listing::NoFolder)
            dropTreeNode(folder);
    }
    // Not even "/" could be listed: the list stays empty, and says nothing false.
    state.currentRemoteFolder = QStringLiteral("/");
    m_lastListed.clear();
    m_ui.txtDirectory->setText(state.currentRemoteFolder);
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
}

// CWD, PWD and LIST of one folder, each logged with its reply. Gone: the connection went, or
// another listing was asked for meanwhile.
RemotePane::Listing RemotePane::listOnce(FtpSession *session, const QString &folder, QList<FtpEntry> &entries)
{
    m_ui.txtDirectory->setText(folder);
    m_s.status.SetStatusLine(QStringLiteral("Getting directory contents..."));
    if (!announce(QStringLiteral("CWD ") + folder))
        return Listing::Gone;
    const bool entered = session->setCurrentDirectory(folder);
    if (!stillConnected(session))
        return Listing::Gone; // another connection's reply is not this one's
    logReply();
    if (!entered)
        return Listing::NoFolder;
    if (!announce(QStringLiteral("PWD")))
        return Listing::Gone;
    session->command(QStringLiteral("PWD"));
    if (!stillConnected(session))
        return Listing::Gone;
    logReply();
    if (!announce(QStringLiteral("LIST")))
        return Listing::Gone;
    const bool listed = session->list(m_s.state.remoteFilter, entries);
    if (!stillConnected(session))
        return Listing::Gone;
    logReply();
    if (!listed)
        return Listing::NotListed;
    if (const int unreadable = session->unreadableLines())
        m_s.log.logLine(RemoteListing::unreadableNote(unreadable), SessionLog::Event);
    m_s.log.logLine(QStringLiteral("Directory listing successfully completed."), SessionLog::Event);
    pumpEvents();
    return stillConnected(session) ? Listing::Listed : Listing::Gone;
}

// The list, the tree and the path field all show the folder just listed.
void RemotePane::showListed(const QString &folder, const QList<FtpEntry> &entries)
{
    m_lastListed = folder;
    fillList(folder, entries);
    selectTreeNode(folder);
    m_ui.txtDirectory->setText(folder);
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
}

// A folder that could not be entered has no node: it may be gone from the server.
void RemotePane::dropTreeNode(const QString &key)
{
    QStandardItem *node = treeNode(key, false);
    if (node && node->parent())
        node->parent()->removeRow(node->row());
}

void RemotePane::fillList(const QString &folder, const QList<FtpEntry> &entries)
{
    QStandardItem *node = treeNode(folder, true);
    if (!node)
        return; // no tree: the connection went while the listing ran
    node->removeRows(0, node->rowCount());
    FileIconCache &icons = m_s.icons;
    QList<QList<QStandardItem *>> rows;
    rows.reserve(entries.size() + 1);
    if (folder != QLatin1String("/"))
        rows.append(RemoteListing::parentRow(folder, icons));
    QStringList files;
    qint64 count = 0, bytes = 0;
    for (const FtpEntry &entry : entries) {
        if (entry.name == QLatin1String(".") || entry.name == QLatin1String(".."))
            continue;
        // A name with "\" is an ordinary folder on the server; only what could never name one
        // entry gets no node.
        if (entry.isFolder && ServerNames::isServerName(entry.name))
            treeNode(folder + entry.name + QLatin1Char('/'), true);
        else if (!entry.isFolder)
            files.append(entry.name);
        ++count;
        bytes += RemoteListing::rowBytes(entry);
        rows.append(RemoteListing::entryRow(folder, entry, icons));
    }
    m_placeholders.ensure(files);
    m_ui.ListView1->setRows(rows);
    m_ui.TreeView2->expand(node->index());
    m_s.status.showStatus(QStringLiteral("remote"), QStringLiteral("Remote: %1 files, %2 bytes").arg(count).arg(bytes));
}

void RemotePane::ListView1_DblClick()
{
    if (!requireConnection())
        return;
    FileListView *list = m_ui.ListView1;
    const QModelIndex current = list->selectionModel()->currentIndex();
    const QList<int> selected = list->selectedRows();
    if (selected.isEmpty())
        return;
    const int row = current.isValid() && selected.contains(current.row()) ? current.row() : selected.first();
    const QString name = list->model()->item(row, 0)->text();
    const ListRoles::RowKind kind = list->rowKind(row);
    if (ListRoles::isFolderLike(kind)) {
        // The listing enters the folder; one that cannot be entered leaves the list where it was.
        AppState &state = m_s.state;
        const QString target = kind == ListRoles::RowKind::Parent ? RemotePaths::upOneLevel(state.currentRemoteFolder)
                                                                  : state.currentRemoteFolder + name + QLatin1Char('/');
        state.currentRemoteFolder = target;
        FtpGetDirectoryContents();
        // A link the server would not enter leads to a file: it opens as one.
        if (kind != ListRoles::RowKind::Link || m_lastListed == target || m_guard.listingRequested() ||
            !state.connected())
            return;
    }
    switch (remoteFileWindowFor(name)) {
    case RemoteFileWindow::ImageViewer:
        openImageViewer(name);
        break;
    case RemoteFileWindow::TextEditor:
        openTextEditor(name);
        break;
    case RemoteFileWindow::None:
        break;
    }
}

void RemotePane::openImageViewer(const QString &name)
{
    // One viewer at a time: opening another picture brings the open one to the front.
    if (!m_viewer) {
        auto *viewer = new formimage(sessionSource(), m_s.prompter, name, m_s.state.folders.temp, &m_s.window);
        viewer->setWindowFlag(Qt::Window);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        m_viewer = viewer;
        viewer->show();
        viewer->load();
        return;
    }
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

void RemotePane::TreeView2_NodeClick(const QModelIndex &index)
{
    if (!m_s.state.connected() || !index.isValid())
        return;
    m_s.state.currentRemoteFolder = index.data(FileListView::KeyRole).toString();
    FtpGetDirectoryContents();
}

void RemotePane::txtDirectory_KeyPress()
{
    if (!requireConnection())
        return;
    AppState &state = m_s.state;
    const ConnectionGuard::Turn turn = commandTurn();
    if (!turn) {
        m_ui.txtDirectory->setText(state.currentRemoteFolder);
        return;
    }
    const QString typed = m_ui.txtDirectory->text();
    if (!m_session->setCurrentDirectory(typed)) {
        m_s.prompter.message(QStringLiteral("Could not change remote directory."), Prompter::Icon::Warning);
        m_ui.txtDirectory->setText(state.currentRemoteFolder);
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
    m_s.state.remoteFilter = QStringLiteral("*.*");
    FtpGetDirectoryContents();
}

void RemotePane::menu_showcustom_server_Click()
{
    if (!requireConnection())
        return;
    const QString extension = m_s.prompter.input(QStringLiteral("Please enter the extension to be shown:"));
    if (extension.isEmpty())
        return;
    m_s.state.remoteFilter = QStringLiteral("*.") + extension;
    FtpGetDirectoryContents();
}

formimage *RemotePane::imageViewer() const
{
    return m_viewer;
}

formascii *RemotePane::textEditor() const
{
    return m_editor;
}

void RemotePane::openTextEditor(const QString &name)
{
    // One editor at a time: opening another file brings the open one to the front. The editor
    // loads its file a second after it opens.
    if (!m_editor) {
        const FolderSource folder = [pane = QPointer<RemotePane>(this)] {
            return pane ? pane->m_s.state.currentRemoteFolder : QString();
        };
        auto *editor = new formascii(sessionSource(), folder, m_s.prompter, name, m_s.state.folders.temp,
                                     &m_s.window);
        editor->setWindowFlag(Qt::Window);
        editor->setAttribute(Qt::WA_DeleteOnClose);
        m_editor = editor;
    }
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

SessionSource RemotePane::sessionSource()
{
    return [pane = QPointer<RemotePane>(this)]() -> FtpSession * { return pane ? pane->session() : nullptr; };
}
