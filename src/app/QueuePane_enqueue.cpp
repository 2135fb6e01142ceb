// Putting files and folder trees into the queue.
#include "QueuePane.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "Events.h"
#include "FileIconCache.h"
#include "RemoteSession.h"
#include "ListText.h"
#include "LocalFolderWalk.h"
#include "FileListView.h"
#include "LocalPaths.h"
#include "LocalTree.h"
#include "QueueModel.h"
#include "RemoteFolderWalk.h"
#include "RemoteListing.h"
#include "ServerNames.h"
#include "SessionLog.h"
#include "TransferEngine.h"
#include "variousFunctions.h"

#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QPointer>
#include <QStandardItemModel>
#include <QTreeView>

namespace {

// What a selected list row offers, read before any event can replace the list.
struct ListRow
{
    QString key;
    QString name;
    QString sizeText;
    QString time;
    QString bytes;
    QString type;
    bool parent = false;
    ListRoles::RowKind kind = ListRoles::RowKind::File;
};

ListRow readRow(const FileListView &list, int row)
{
    const QStandardItemModel *model = list.model();
    auto cell = [&](const char *key) {
        const QStandardItem *item = model->item(row, list.column(QString::fromLatin1(key)));
        return item ? item->text() : QString();
    };
    const QStandardItem *first = model->item(row, 0);
    return {first->data(ListRoles::Key).toString(),
            first->text(),
            cell("size"),
            cell("date"),
            cell("tsize"),
            cell("type"),
            first->data(ListRoles::ParentRow).toBool() || first->text() == QLatin1String(".."),
            ListRoles::kindOf(first->data(ListRoles::Kind))};
}

QList<ListRow> selectedRows(const FileListView &list)
{
    QList<ListRow> rows;
    for (int row : list.selectedRows())
        rows.append(readRow(list, row));
    return rows;
}

int rowWithKey(const FileListView &list, const QString &key)
{
    for (int row = 0; row < list.model()->rowCount(); ++row)
        if (list.rowKey(row) == key)
            return row;
    return -1;
}

} // namespace

bool QueuePane::requireConnection()
{
    return m_remote.requireConnection();
}

void QueuePane::addEntry(QueueEntry entry, const QString &name)
{
    entry.status = m_s.state.queueRunning ? QStringLiteral("Pending") : QStringLiteral("Paused");
    m_queue->append(entry, m_s.icons.fileIcon(name));
}

void QueuePane::addUpload(const QString &localPath, const QString &remotePath, const QFileInfo &file,
                          const QString &time)
{
    const QString name = file.fileName();
    addEntry({localPath,
              remotePath,
              QueueEntry::Direction::Up,
              ListText::sizeText(file.size()),
              variousFunctions::GetFileTypeDescription(name),
              time,
              {},
              file.size()},
             name);
}

void QueuePane::addDownload(const QString &localPath, const QString &remotePath, const FtpEntry &file)
{
    addEntry({localPath,
              remotePath,
              QueueEntry::Direction::Down,
              ListText::sizeText(file.size),
              variousFunctions::GetFileTypeDescription(file.name),
              ListText::dateText(file.lastWrite),
              {},
              file.size},
             file.name);
}

void QueuePane::skipName(const QString &remotePath)
{
    m_s.log.logLine(ServerNames::refusalText(remotePath), SessionLog::Event);
}

std::optional<QString> QueuePane::localPathFor(const QString &localFolder, const QString &name,
                                               const QString &remotePath)
{
    const std::optional<QString> path = ServerNames::localPathForServerName(localFolder, name);
    if (!path)
        skipName(remotePath);
    return path;
}

void QueuePane::btnUpload_Click()
{
    if (!requireConnection())
        return;
    const QList<ListRow> rows = selectedRows(*m_ui.ListView3);
    const QString remoteFolder = m_s.state.currentRemoteFolder;
    m_s.status.SetStatusLine(QStringLiteral("Adding items to queue..."));
    BusyPointer busy;
    ::pumpEvents();
    for (const ListRow &row : rows) {
        if (row.parent)
            continue;                  // the folder above is never sent along
        const QFileInfo file(row.key); // the length as it is now, not as listed
        if (file.isDir() && !QueueLocalFolder(LocalPaths::asFolder(row.key), remoteFolder + row.name + '/')) {
            m_s.prompter.message(QStringLiteral("Could not put all files to queue."), Prompter::Icon::Critical);
            m_s.status.SetStatusLine(QStringLiteral("Ready."));
            return;
        }
        if (!file.isDir())
            addUpload(row.key, remoteFolder + row.name, file, row.time);
        ::pumpEvents();
    }
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
    startIfIdle();
}

void QueuePane::btnDownload_Click()
{
    if (!requireConnection())
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn(); // folders are listed
    if (!turn)
        return;
    const QList<ListRow> rows = selectedRows(*m_ui.ListView1);
    const QString localFolder = m_s.state.currentLocalFolder;
    m_s.status.SetStatusLine(QStringLiteral("Adding items to queue..."));
    BusyPointer busy;
    ::pumpEvents();
    for (const ListRow &row : rows) {
        if (row.parent)
            continue;
        const std::optional<QString> local = localPathFor(localFolder, row.name, row.key);
        if (!local)
            continue;
        // A link is a folder when the server enters it.
        const bool folder = row.kind == ListRoles::RowKind::Folder ||
                            (row.kind == ListRoles::RowKind::Link && m_s.state.session &&
                             m_s.state.session->setCurrentDirectory(row.key));
        if (folder) {
            if (!QueueRemoteFolder(m_s.state.session, row.key + '/', *local + '/')) {
                m_s.prompter.message(QStringLiteral("There was an error adding files to queue."),
                                            Prompter::Icon::Critical);
                m_s.status.SetStatusLine(QStringLiteral("Ready."));
                return;
            }
        } else {
            addEntry({*local,
                      row.key,
                      QueueEntry::Direction::Down,
                      row.sizeText,
                      variousFunctions::GetFileTypeDescription(row.name),
                      row.time,
                      {},
                      row.bytes.toLongLong()},
                     row.name);
        }
        ::pumpEvents();
    }
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
    startIfIdle();
}

void QueuePane::QueueLocalFile(const QString &localKey, const QString &remotePath)
{
    const int row = rowWithKey(*m_ui.ListView3, localKey);
    if (row < 0)
        return;
    const ListRow r = readRow(*m_ui.ListView3, row);
    addEntry({localKey,
              remotePath,
              QueueEntry::Direction::Up,
              r.sizeText,
              variousFunctions::GetFileTypeDescription(r.name),
              r.time,
              {},
              r.bytes.toLongLong()},
             r.name);
}

void QueuePane::QueueRemoteFile(const QString &remoteKey, const QString &localPath)
{
    const int row = rowWithKey(*m_ui.ListView1, remoteKey);
    if (row < 0)
        return;
    const ListRow r = readRow(*m_ui.ListView1, row);
    addEntry({localPath,
              remoteKey,
              QueueEntry::Direction::Down,
              r.sizeText,
              variousFunctions::GetFileTypeDescription(r.name),
              r.time,
              {},
              r.bytes.toLongLong()},
             r.name);
}

bool QueuePane::QueueLocalFolder(const QString &localFolder, const QString &remoteFolder)
{
    return LocalFolderWalk::walk(
        localFolder, remoteFolder,
        [this](const QString &local, const QString &remote, const QFileInfo &file) {
            addUpload(local, remote, file, ListText::dateText(file.lastModified()));
        },
        [] {
            ::pumpEvents();
            return true;
        },
        [this](const QString &text) { m_s.log.logLine(text, SessionLog::Event); },
        [this](const QString &local) { m_s.log.logLine(ServerNames::uploadRefusalText(local), SessionLog::Event); });
}

bool QueuePane::QueueRemoteFolder(RemoteSession *session, const QString &remoteFolder, const QString &localFolder)
{
    if (!session)
        return false;
    const ConnectionGuard::Turn turn = m_remote.commandTurn(); // the walk lists folder after folder
    if (!turn)
        return false;
    const QPointer<RemoteSession> open(session);
    const SessionLog::Batch lines(m_s.log); // a listing per folder: shown a few times a second
    RemoteFolderWalk walk(*session, [this, open] {
        ::pumpEvents();
        // What was found so far starts moving while the walk lists on: transfers have
        // connections of their own.
        if (open && m_s.state.session == open && m_s.state.queueRunning)
            m_engine->entriesAdded();
        return open && m_s.state.session == open;
    });
    QStringList names;
    const bool ended = walk.walk(
        remoteFolder, localFolder,
        [this, &names](const QString &remote, const QString &local, const FtpEntry &file) {
            addDownload(local, remote, file);
            names.append(file.name);
        },
        [this](const QString &remote) { skipName(remote); },
        [this](const QString &text) { m_s.log.logLine(text, SessionLog::Event); });
    m_remote.placeholders().ensure(names); // the temporary files browser lists them
    return ended;
}

void QueuePane::menu5_upload_Click()
{
    if (!requireConnection())
        return;
    const QModelIndex node = m_ui.TreeView1->currentIndex();
    const QString folder = LocalTree::folderOf(m_ui.localTree->itemFromIndex(node));
    if (folder.isEmpty())
        return; // My computer
    QString name = node.data().toString();
    if (!ServerNames::isServerName(name))
        name = LocalPaths::fileName(folder); // a volume's label is not a folder name
    if (!ServerNames::isServerName(name))
        return;
    BusyPointer busy;
    m_s.status.SetStatusLine(QStringLiteral("Adding files to queue..."));
    if (!QueueLocalFolder(folder, m_s.state.currentRemoteFolder + name + '/'))
        m_s.prompter.message(QStringLiteral("There was an error adding files to queue."),
                                    Prompter::Icon::Critical);
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
    startIfIdle();
}

void QueuePane::menu6_download_Click()
{
    if (!requireConnection())
        return;
    const QModelIndex node = m_ui.TreeView2->currentIndex();
    const QString folder = node.data(ListRoles::Key).toString();
    const QString name = node.data().toString();
    if (folder.isEmpty())
        return;
    const ConnectionGuard::Turn turn = m_remote.commandTurn();
    if (!turn)
        return;
    const std::optional<QString> local = localPathFor(m_s.state.currentLocalFolder, name, folder);
    if (!local)
        return;
    BusyPointer busy;
    m_s.status.SetStatusLine(QStringLiteral("Adding files to queue..."));
    if (!QueueRemoteFolder(m_s.state.session, folder, *local + '/'))
        m_s.prompter.message(QStringLiteral("There was an error adding files to queue."),
                                    Prompter::Icon::Critical);
    m_s.status.SetStatusLine(QStringLiteral("Ready."));
    startIfIdle();
}
