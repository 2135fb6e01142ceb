#include "DragDrop.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "Events.h"
#include "RemoteSession.h"
#include "LocalOperations.h"
#include "LocalPaths.h"
#include "LocalTree.h"
#include "QueuePane.h"
#include "RemoteCommands.h"
#include "SessionLog.h"
#include "FileListView.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QFileInfo>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

const QString MimeType = QStringLiteral("application/x-vestrigal-rows");

} // namespace

DragDrop::DragDrop(const PaneServices &services, const Controls &controls, RemoteSide &remote, LocalSide &local,
                   QueuePane &queue)
    : QObject(&services.window), m_s(services), m_ui(controls), m_remote(remote), m_local(local), m_queue(queue)
{
    for (FileListView *list : {controls.ListView1, controls.ListView3}) {
        watch(list->reportView(), true);
        watch(list->iconView(), true);
    }
    watch(controls.TreeView1, false);
    watch(controls.TreeView2, false);
}

void DragDrop::watch(QAbstractItemView *view, bool source)
{
    view->viewport()->installEventFilter(this);
    view->viewport()->setAcceptDrops(true);
    // A press on a selected row keeps the selection, so several rows can be dragged at once.
    if (source)
        view->setDragEnabled(true);
}

void DragDrop::beginDrag(Source source)
{
    m_source = source;
    m_rows.clear();
    const FileListView *list = source == Source::RemoteList ? m_ui.ListView1 : m_ui.ListView3;
    for (int r : list->selectedRows()) {
        const QStandardItem *name = list->model()->item(r, 0);
        const ListRoles::RowKind kind = list->rowKind(r);
        if (kind == ListRoles::RowKind::Parent || name->data(FileListView::ParentRowRole).toBool())
            continue; // ".." stands for the folder above: never dragged along
        m_rows.append(
            {name->data(FileListView::KeyRole).toString(), name->text(), kind == ListRoles::RowKind::Folder, r});
    }
}

void DragDrop::endDrag()
{
    m_source = Source::None;
    m_rows.clear();
    m_armed = false;
    highlight({});
}

bool DragDrop::acceptsRemoteRow(int row) const
{
    return m_ui.ListView1->model()->item(row, 0) && ListRoles::isFolderLike(m_ui.ListView1->rowKind(row));
}

bool DragDrop::acceptsLocalRow(int row) const
{
    return m_ui.ListView3->model()->item(row, 0) && ListRoles::isFolderLike(m_ui.ListView3->rowKind(row));
}

bool DragDrop::acceptsLocalNode(const QStandardItem *node) const
{
    return node && !node->data(LocalTree::PathRole).toString().isEmpty();
}

bool DragDrop::acceptsRemoteNode(const QStandardItem *node) const
{
    return node && !node->data(FileListView::KeyRole).toString().isEmpty();
}

bool DragDrop::acceptsRemoteList() const
{
    return m_source == Source::LocalList && m_s.state.connected();
}

bool DragDrop::acceptsLocalList() const
{
    return m_source == Source::RemoteList;
}

bool DragDrop::draggedOnto(const QString &key) const
{
    for (const Row &row : m_rows)
        if (LocalPaths::withoutSlash(row.key) == LocalPaths::withoutSlash(key))
            return true;
    return false;
}

void DragDrop::dropOnRemoteRow(int row)
{
    if (!acceptsRemoteRow(row))
        return;
    const QString key = m_ui.ListView1->rowKey(row);
    const QString folder = key + QLatin1Char('/');
    if (m_source == Source::LocalList)
        queueUploads(folder, QStringLiteral("Some files could not be added to queue."));
    else if (m_source == Source::RemoteList && !draggedOnto(key))
        moveRemote(folder, QStringLiteral("Could not move remote file."));
}

void DragDrop::dropOnLocalRow(int row)
{
    if (!acceptsLocalRow(row))
        return;
    const QString key = m_ui.ListView3->rowKey(row);
    if (m_source == Source::RemoteList) {
        m_s.status.SetStatusLine(QStringLiteral("Adding items to queue..."));
        queueDownloads(LocalPaths::asFolder(key), QStringLiteral("Some items could not be added to queue."));
    } else if (m_source == Source::LocalList && !draggedOnto(key)) {
        moveLocal(LocalPaths::asFolder(key));
    }
}

void DragDrop::dropOnLocalNode(QStandardItem *node)
{
    if (!acceptsLocalNode(node))
        return;
    const QString folder = node->data(LocalTree::PathRole).toString();
    if (m_source == Source::RemoteList) {
        m_s.status.SetStatusLine(QStringLiteral("Adding files to queue..."));
        queueDownloads(folder, QStringLiteral("Could not add all files to queue."));
    } else if (m_source == Source::LocalList && !draggedOnto(folder)) {
        moveLocal(folder);
    }
}

void DragDrop::dropOnRemoteNode(QStandardItem *node)
{
    if (!acceptsRemoteNode(node))
        return;
    const QString folder = node->data(FileListView::KeyRole).toString();
    if (m_source == Source::LocalList) {
        queueUploads(folder, QStringLiteral("Could not add all files to queue."));
        m_remote.FtpGetDirectoryContents();
    } else if (m_source == Source::RemoteList && !draggedOnto(folder)) {
        moveRemote(folder, QStringLiteral("Could not move all files."));
    }
}

void DragDrop::dropOnRemoteList()
{
    if (acceptsRemoteList())
        queueUploads(m_s.state.currentRemoteFolder, QStringLiteral("Some files could not be added to queue."));
}

void DragDrop::dropOnLocalList()
{
    if (!acceptsLocalList())
        return;
    m_s.status.SetStatusLine(QStringLiteral("Adding items to queue..."));
    queueDownloads(m_s.state.currentLocalFolder, QStringLiteral("Some items could not be added to queue."));
}

void DragDrop::queueUploads(const QString &remoteFolder, const QString &failure)
{
    if (!m_s.state.connected())
        return;
    BusyPointer busy;
    m_s.status.SetStatusLine(QStringLiteral("Adding files to queue..."));
    for (const Row &row : m_rows) {
        if (row.folder) {
            if (!m_queue.QueueLocalFolder(LocalPaths::asFolder(row.key), remoteFolder + row.text + QLatin1Char('/')))
                m_s.prompter.message(failure, Prompter::Icon::Critical);
        } else {
            m_queue.QueueLocalFile(row.key, remoteFolder + row.text);
        }
    }
    m_queue.startIfIdle();
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
}

void DragDrop::queueDownloads(const QString &localFolder, const QString &failure)
{
    RemoteSession *session = m_remote.session();
    if (!m_s.state.connected() || !session)
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn(); // folders are listed
    if (!turn)
        return;
    BusyPointer busy;
    for (const Row &row : m_rows) {
        const std::optional<QString> local = m_queue.localPathFor(localFolder, row.text, row.key);
        if (!local)
            continue;
        if (row.folder) {
            if (!m_queue.QueueRemoteFolder(session, row.key + QLatin1Char('/'), *local + QLatin1Char('/')))
                m_s.prompter.message(failure, Prompter::Icon::Critical);
        } else {
            m_queue.QueueRemoteFile(row.key, *local);
        }
    }
    m_queue.startIfIdle();
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
}

void DragDrop::moveRemote(const QString &remoteFolder, const QString &failure)
{
    RemoteSession *session = m_remote.session();
    if (!m_s.state.connected() || !session)
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    BusyPointer busy;
    m_s.status.SetStatusLine(QStringLiteral("Moving files..."));
    QList<RemoteCommands::Entry> entries;
    for (const Row &row : m_rows)
        entries.append({row.key, row.folder, row.text});
    RemoteCommands commands(
        *session, m_s.prompter, m_s.log, [this](const QString &text) { m_s.status.SetStatusLine(text); },
        [this, session] { return m_remote.session() == session; });
    if (!commands.moveInto(entries, remoteFolder, failure))
        return;
    m_remote.FtpGetDirectoryContents();
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
}

void DragDrop::moveLocal(const QString &localFolder)
{
    BusyPointer busy;
    QList<QPair<QString, bool>> entries;
    for (const Row &row : m_rows)
        entries.append({row.key, row.folder});
    const LocalOperations::Moved moved = LocalOperations::moveInto(entries, localFolder);
    if (moved.folderMoved)
        m_local.showMovedFolders(localFolder);
    m_local.ClientGetDirectoryContents();
    if (!moved.kept.isEmpty())
        m_s.status.SetStatusLine(QStringLiteral("Not moved, the target folder already holds: ") +
                                 moved.kept.join(QStringLiteral(", ")));
}

bool DragDrop::eventFilter(QObject *watched, QEvent *event)
{
    auto *view = qobject_cast<QAbstractItemView *>(watched->parent());
    if (!view)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return onMouse(view, event);
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return onDrag(view, event);
    default:
        return false;
    }
}

bool DragDrop::onMouse(QAbstractItemView *view, QEvent *event)
{
    const bool list = view != m_ui.TreeView1 && view != m_ui.TreeView2;
    if (!list)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (event->type() == QEvent::MouseButtonPress) {
        m_armed = mouse->button() == Qt::LeftButton;
        m_pressedAt = mouse->position().toPoint();
        return false;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        m_armed = false;
        return false;
    }
    if (!m_armed || !(mouse->buttons() & Qt::LeftButton) ||
        (mouse->position().toPoint() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return false;
    m_armed = false;
    startDrag(view);
    return true;
}

void DragDrop::startDrag(QAbstractItemView *view)
{
    const bool remote = view->parentWidget() == m_ui.ListView1;
    beginDrag(remote ? Source::RemoteList : Source::LocalList);
    if (m_rows.isEmpty())
        return endDrag();
    auto *drag = new QDrag(view);
    auto *data = new QMimeData;
    data->setData(MimeType, remote ? "remote" : "local");
    drag->setMimeData(data);
    const FileListView *list = remote ? m_ui.ListView1 : m_ui.ListView3;
    drag->setPixmap(list->model()->item(m_rows.last().row, 0)->icon().pixmap(32, 32));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    endDrag();
}

QModelIndex DragDrop::targetAt(QAbstractItemView *view, const QPoint &pos) const
{
    const QModelIndex index = view->indexAt(pos);
    return index.isValid() ? index.siblingAtColumn(0) : QModelIndex();
}

bool DragDrop::onDrag(QAbstractItemView *view, QEvent *event)
{
    if (event->type() == QEvent::DragLeave) {
        highlight({});
        return true;
    }
    auto *dragEvent = static_cast<QDropEvent *>(event);
    if (!dragEvent->mimeData()->hasFormat(MimeType) || m_source == Source::None) {
        dragEvent->ignore();
        return true;
    }
    const QModelIndex target = targetAt(view, dragEvent->position().toPoint());
    const auto *model = qobject_cast<const QStandardItemModel *>(target.model());
    QStandardItem *item = model ? model->itemFromIndex(target) : nullptr;
    bool accepted = false;
    if (view == m_ui.TreeView1)
        accepted = acceptsLocalNode(item);
    else if (view == m_ui.TreeView2)
        accepted = acceptsRemoteNode(item);
    else if (target.isValid())
        accepted =
            view->parentWidget() == m_ui.ListView1 ? acceptsRemoteRow(target.row()) : acceptsLocalRow(target.row());
    else
        accepted = view->parentWidget() == m_ui.ListView1 ? acceptsRemoteList() : acceptsLocalList();
    if (event->type() == QEvent::DragEnter) {
        dragEvent->acceptProposedAction(); // moves over the control follow
        return true;
    }
    highlight(accepted ? target : QModelIndex());
    if (event->type() == QEvent::Drop && accepted)
        drop(view, target);
    accepted ? dragEvent->acceptProposedAction() : dragEvent->ignore();
    return true;
}

void DragDrop::drop(QAbstractItemView *view, const QModelIndex &target)
{
    highlight({});
    if (view == m_ui.TreeView1)
        dropOnLocalNode(m_ui.localTree->itemFromIndex(target));
    else if (view == m_ui.TreeView2)
        dropOnRemoteNode(m_ui.remoteTree->itemFromIndex(target));
    else if (view->parentWidget() == m_ui.ListView1)
        target.isValid() ? dropOnRemoteRow(target.row()) : dropOnRemoteList();
    else
        target.isValid() ? dropOnLocalRow(target.row()) : dropOnLocalList();
}

// The drop highlight: a row or node painted as selected while the pointer is over it.
void DragDrop::highlight(const QModelIndex &index)
{
    if (m_highlighted == index)
        return;
    auto paint = [](const QModelIndex &at, bool on) {
        auto *model = qobject_cast<QStandardItemModel *>(const_cast<QAbstractItemModel *>(at.model()));
        if (!model)
            return;
        const QSignalBlocker quiet(model); // not an edit: no label-edit handler may see it
        for (int c = 0; c < model->columnCount(at.parent()); ++c)
            if (QStandardItem *item = model->itemFromIndex(at.siblingAtColumn(c)))
                item->setData(on ? QApplication::palette().highlight() : QVariant(), Qt::BackgroundRole);
    };
    if (m_highlighted.isValid())
        paint(m_highlighted, false);
    m_highlighted = index;
    if (index.isValid())
        paint(index, true);
    for (QAbstractItemView *v :
         {static_cast<QAbstractItemView *>(m_ui.TreeView1), static_cast<QAbstractItemView *>(m_ui.TreeView2),
          static_cast<QAbstractItemView *>(m_ui.ListView1->reportView()),
          static_cast<QAbstractItemView *>(m_ui.ListView3->reportView())})
        v->viewport()->update();
}
