// The failed and finished lists beside the queue, and what their commands do.
#include "QueuePane.h"

#include "AppState.h"
#include "EndedModel.h"
#include "OpenFailureBox.h"
#include "QueueArea.h"
#include "QueueKeeper.h"
#include "TransferEngine.h"

#include <QAction>
#include <QFileInfo>

void QueuePane::wireEndedLists()
{
    m_failed = new EndedModel(EndedModel::Kind::Failed, this);
    m_finished = new EndedModel(EndedModel::Kind::Finished, this);
    m_openFailures = std::make_unique<OpenFailureBox>(m_s.prompter);
    connect(m_engine, &TransferEngine::entryKept, this, [this](StoredEntry entry) {
        entry.id = m_keeper->lastEnded(); // its id in the store: Retry, Remove and Clear reach it there
        (entry.state == StoredEntry::State::Failed ? m_failed : m_finished)->append(entry);
    });
    QueueArea *area = m_ui.area;
    area->setLists(m_failed, m_finished);
    connect(area->retrySelected, &QAction::triggered, this,
            [this] { retryFailed(m_ui.area->selectedRows(QueueArea::Failed)); });
    connect(area->retryAll, &QAction::triggered, this, [this] {
        QList<int> all;
        for (int row = 0; row < m_failed->count(); ++row)
            all.append(row);
        retryFailed(all);
    });
    connect(area->removeFailed, &QAction::triggered, this,
            [this] { forgetEnded(m_failed->take(m_ui.area->selectedRows(QueueArea::Failed))); });
    connect(area->clearFinished, &QAction::triggered, this, [this] {
        m_finished->clear();
        m_keeper->store().clearFinished();
    });
}

void QueuePane::showKeptLists()
{
    m_failed->setEntries(m_keeper->failed());
    m_finished->setEntries(m_keeper->finished());
}

void QueuePane::forgetEnded(const QList<StoredEntry> &entries)
{
    QList<qint64> ids;
    for (const StoredEntry &entry : entries)
        if (entry.id != 0)
            ids.append(entry.id);
    if (!ids.isEmpty())
        m_keeper->store().remove(ids);
}

void QueuePane::retryFailed(const QList<int> &rows)
{
    const QList<StoredEntry> entries = m_failed->take(rows);
    if (entries.isEmpty())
        return;
    forgetEnded(entries); // queued again, they are kept as new entries
    for (const StoredEntry &failed : entries)
        addEntry(failed.entry, QFileInfo(failed.entry.localPath).fileName());
    startIfIdle();
}
