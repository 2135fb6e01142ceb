// What the transfer engine asks of the window.
#include "QueuePane.h"

#include "AppState.h"
#include "FtpSession.h"
#include "LocalPane.h"
#include "QueueModel.h"
#include "RemotePane.h"
#include "SessionLog.h"
#include "TransferProgressView.h"
#include "formmain.h"

#include <QCoreApplication>
#include <QTimer>
#include <QTreeView>

namespace {

// While a queue of many small files runs, the local list is listed again at most this often;
// the last listing comes when the engine stops, so the list ends as it would have.
constexpr int kLocalRefreshMs = 500;

} // namespace

std::optional<FtpOptions> QueuePane::connectionOptions()
{
    const FtpSession *session = m_window.state().session;
    if (!session || !session->isOpen())
        return std::nullopt;
    return session->openedWith();
}

bool QueuePane::queueRunning() const
{
    return m_window.state().queueRunning;
}

TransferSettings QueuePane::settings() const
{
    const Settings &s = m_window.state().settings;
    return {s.downloadType, s.uploadType, s.downloadBufferSize, s.uploadBufferSize, s.asciiExtensions,
            s.simultaneousTransfers};
}

void QueuePane::logEvent(const QString &text)
{
    m_window.LogLine(text, SessionLog::Event);
}

void QueuePane::logConnection(int number, LineKind kind, const QString &text)
{
    m_window.sessionLog().logSaid(SessionLog::Said(kind), text, QStringLiteral("[%1] ").arg(number));
}

void QueuePane::showTotals()
{
    showQueueState();
}

void QueuePane::openFailed(const QString &path)
{
    m_window.prompter().message(QStringLiteral("Could not open file ") + path, Prompter::Icon::Critical);
}

Prompter &QueuePane::prompter()
{
    return m_window.prompter();
}

// The tree shows the new folders: the node they were made under is listed again and opened.
void QueuePane::localFoldersMade(const QString &below)
{
    LocalTree &tree = m_window.localPane().tree();
    if (QStandardItem *node = tree.folderNode(below)) {
        tree.reload(node, true);
        m_window.TreeView1->expand(node->index());
    }
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
    m_window.localPane().ClientGetDirectoryContents();
    m_sinceLocalRefresh.start();
}

void QueuePane::remoteQueueDone()
{
    m_window.remotePane().FtpGetDirectoryContents();
}

void QueuePane::idle()
{
    if (m_localRefreshDue)
        refreshLocalList();
    m_progress->engineStopped();
}
