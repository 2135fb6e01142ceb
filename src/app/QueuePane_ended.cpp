// The failed and finished lists beside the queue, and what their commands do.
#include "QueuePane.h"

#include "AppState.h"
#include "EndedModel.h"
#include "OpenFailureBox.h"
#include "QueueArea.h"
#include "TransferEngine.h"

#include <QAction>
#include <QFileInfo>

void QueuePane::wireEndedLists()
{
    m_failed = new EndedModel(EndedModel::Kind::Failed, this);
    m_finished = new EndedModel(EndedModel::Kind::Finished, this);
    m_openFailures = std::make_unique<OpenFailureBox>(m_s.prompter);
    connect(m_engine, &TransferEngine::entryKept, this, [this](const StoredEntry &entry) {
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
            [this] { m_failed->take(m_ui.area->selectedRows(QueueArea::Failed)); });
    connect(area->clearFinished, &QAction::triggered, m_finished, &EndedModel::clear);
}

void QueuePane::retryFailed(const QList<int> &rows)
{
    const QList<StoredEntry> entries = m_failed->take(rows);
    if (entries.isEmpty())
        return;
    for (const StoredEntry &failed : entries)
        addEntry(failed.entry, QFileInfo(failed.entry.localPath).fileName());
    startIfIdle();
}
