// The queue kept across runs, as the window opens it.
#include "QueuePane.h"

#include "AppState.h"
#include "FileIconCache.h"
#include "QueueKeeper.h"
#include "QueueModel.h"

#include <QFileInfo>

// Entries left from last time carry no server: once in the queue, they start over the next
// connection the user opens, as entries queued before a disconnect do.
void QueuePane::restoreQueue()
{
    if (m_keeper->open(m_s.state.folders.queueFile) != QueueStore::Outcome::Opened)
        m_s.prompter.message(m_keeper->message(), Prompter::Icon::Warning);
    showKeptLists();
    if (m_keeper->leftCount() == 0)
        return;
    switch (m_keeper->ask(m_s.prompter)) {
    case QueueKeeper::Choice::Discard:
        m_keeper->discard();
        return;
    case QueueKeeper::Choice::KeepPaused:
        btnPause_Click();
        break;
    case QueueKeeper::Choice::Resume:
        btnResume_Click();
        break;
    }
    m_keeper->restore(
        m_s.state.queueRunning ? QStringLiteral("Pending") : QStringLiteral("Paused"),
        [this](const QueueEntry &entry) { return m_s.icons.fileIcon(QFileInfo(entry.localPath).fileName()); });
    startIfIdle();
}
