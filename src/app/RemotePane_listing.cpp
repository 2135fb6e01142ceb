// Listing the current remote folder and moving between folders.
#include "RemotePane.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "Events.h"
#include "FileListView.h"
#include "RemoteSession.h"
#include "RemoteFileWindow.h"
#include "RemoteFolderListing.h"
#include "RemotePaths.h"
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
    RemoteSession *session = m_session;
    RemoteFolderListing listing(*session, m_s.log, [this, session] { return stillConnected(session); });
    for (const QString &folder : RemoteFolderListing::candidates(state.currentRemoteFolder, m_lastListed)) {
        state.currentRemoteFolder = folder;
        m_ui.txtDirectory->setText(folder);
        m_s.status.SetStatusLine(QStringLiteral("Getting directory contents..."));
        QList<FtpEntry> entries;
        const RemoteFolderListing::Outcome outcome = listing.list(folder, state.remoteFilter, entries);
        if (outcome == RemoteFolderListing::Outcome::Gone)
            return;
        if (m_guard.listingRequested())
            return; // asked for again meanwhile: the latest request lists, once this one has let go
        if (outcome == RemoteFolderListing::Outcome::Listed) {
            showListed(folder, entries);
            return;
        }
        if (outcome == RemoteFolderListing::Outcome::NoFolder)
            m_tree.drop(folder);
    }
    // Not even "/" could be listed: the list stays empty, and says nothing false.
    state.currentRemoteFolder = QStringLiteral("/");
    m_lastListed.clear();
    m_ui.txtDirectory->setText(state.currentRemoteFolder);
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
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

void RemotePane::fillList(const QString &folder, const QList<FtpEntry> &entries)
{
    QStandardItem *node = treeNode(folder, true);
    if (!node)
        return; // no tree: the connection went while the listing ran
    node->removeRows(0, node->rowCount());
    const RemoteTable table = RemoteTable::of(folder, entries, m_s.icons);
    for (const QString &key : table.folders)
        treeNode(key, true);
    m_placeholders.ensure(table.files);
    m_ui.ListView1->setRows(table.rows);
    m_ui.TreeView2->expand(node->index());
    m_s.status.showStatus(QStringLiteral("remote"), table.totalsLine());
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
    return [pane = QPointer<RemotePane>(this)]() -> RemoteSession * { return pane ? pane->session() : nullptr; };
}
