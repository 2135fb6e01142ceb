// What the transfer engine asks of the window.
#include "QueuePane.h"

#include "AppState.h"
#include "FileListView.h"
#include "RemoteSession.h"
#include "OpenFailureBox.h"
#include "ListRoles.h"
#include "ListText.h"
#include "QueueModel.h"
#include "SessionLog.h"
#include "TransferProgressView.h"

#include <QCoreApplication>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

namespace {

// While a queue of many small files runs, the local list is listed again at most this often;
// the last listing comes when the engine stops, so the list ends as it would have.
constexpr int kLocalRefreshMs = 500;

} // namespace

std::optional<FtpOptions> QueuePane::connectionOptions()
{
    const RemoteSession *session = m_s.state.session;
    if (!session || !session->isOpen())
        return std::nullopt;
    return session->openedWith();
}

bool QueuePane::queueRunning() const
{
    return m_s.state.queueRunning;
}

TransferSettings QueuePane::settings() const
{
    const Settings &s = m_s.state.settings;
    TransferSettings t{s.downloadType, s.uploadType, s.downloadBufferSize, s.uploadBufferSize, s.asciiExtensions,
                       s.simultaneousTransfers, s.transferRetries};
    t.fileExists = s.fileExists;
    return t;
}

// The remote list shows one folder: a file there is known, anything else is not.
std::optional<FileExists::Facts> QueuePane::remoteListed(const QString &remotePath)
{
    const QString &folder = m_s.state.currentRemoteFolder; // ends with "/"
    if (!remotePath.startsWith(folder) || remotePath.indexOf(QLatin1Char('/'), folder.size()) >= 0)
        return std::nullopt; // a folder the list does not show: no row to look through
    const FileListView &list = *m_ui.ListView1;
    const int size = list.column(QStringLiteral("tsize"));
    const int date = list.column(QStringLiteral("date"));
    const QStandardItemModel *model = list.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QStandardItem *first = model->item(row, 0);
        if (!first || first->data(ListRoles::Key).toString() != remotePath)
            continue;
        const QStandardItem *bytes = size >= 0 ? model->item(row, size) : nullptr;
        const QStandardItem *time = date >= 0 ? model->item(row, date) : nullptr;
        return FileExists::Facts{bytes ? bytes->text().toLongLong() : -1,
                                 time ? ListText::dateOf(time->text()) : QDateTime()};
    }
    return std::nullopt;
}

void QueuePane::logEvent(const QString &text)
{
    m_s.log.logLine(text, SessionLog::Event);
}

void QueuePane::logConnection(int number, const QList<Line> &lines)
{
    const SessionLog::Batch batch(m_s.log);
    const QString prefix = QStringLiteral("[%1] ").arg(number);
    for (const Line &line : lines)
        m_s.log.logSaid(SessionLog::Said(line.kind), line.text, prefix);
}

void QueuePane::showTotals()
{
    showTotalsSoon(); // an entry ended; the queue's end shows them at once
}

void QueuePane::openFailed(const QString &path)
{
    m_openFailures->failed(path);
}

Prompter &QueuePane::prompter()
{
    return m_s.prompter;
}

// The tree shows the new folders.
void QueuePane::localFoldersMade(const QString &below)
{
    m_local.showNewFolders(below);
}

void QueuePane::localFileWritten(const QString &)
{
    if (m_sinceLocalRefresh.isValid() && m_sinceLocalRefresh.elapsed() < kLocalRefreshMs) {
        m_localRefreshDue = true;
        return;
    }
    refreshLocalList();
}

void QueuePane::refreshLocalList()
{
    m_localRefreshDue = false;
    m_local.ClientGetDirectoryContents();
    m_sinceLocalRefresh.start();
}

void QueuePane::remoteQueueDone()
{
    m_remote.FtpGetDirectoryContents();
}

void QueuePane::idle()
{
    m_s.log.flush(); // no file moves: the log and its file hold every line now
    showQueueState();
    if (m_localRefreshDue)
        refreshLocalList();
    m_progress->engineStopped();
}
