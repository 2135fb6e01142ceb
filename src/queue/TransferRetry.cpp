#include "TransferRetry.h"

#include "QueueModel.h"
#include "TransferHost.h"
#include "TransferSettings.h"

#include <QTimer>

namespace TransferRetry {

bool isTransient(const Attempt &attempt)
{
    if (attempt.outcome != TransferOutcome::Failed && attempt.outcome != TransferOutcome::OpenFailed)
        return false;
    if (attempt.localFault)
        return false;
    return attempt.connectionLost || (attempt.replyCode >= 400 && attempt.replyCode < 500);
}

int waitSeconds(int retry)
{
    return retry <= 1 ? 5 : retry == 2 ? 10 : 20;
}

} // namespace TransferRetry

RetryWaits::RetryWaits(QueueModel &queue, TransferHost &host, std::function<void()> due, QObject *parent)
    : QObject(parent), m_queue(queue), m_host(host), m_due(std::move(due))
{
}

// Rows removed meanwhile (cancelled, cleared) leave their entries: they go here, timers with them.
void RetryWaits::prune()
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (!m_entries[i].row.isValid()) {
            end(m_entries[i]);
            m_entries.removeAt(i);
        }
    }
}

// Later: the timer may be the one whose time-out is being handled.
void RetryWaits::end(Entry &entry)
{
    if (QTimer *timer = std::exchange(entry.timer, nullptr)) {
        timer->stop();
        timer->deleteLater();
    }
}

RetryWaits::Entry *RetryWaits::find(int row)
{
    return const_cast<Entry *>(std::as_const(*this).find(row));
}

const RetryWaits::Entry *RetryWaits::find(int row) const
{
    for (const Entry &entry : m_entries)
        if (entry.row.isValid() && entry.row.row() == row)
            return &entry;
    return nullptr;
}

bool RetryWaits::take(const QPersistentModelIndex &row, const QString &remote, const QString &reason,
                      const TransferSettings &settings)
{
    prune();
    if (!row.isValid())
        return false;
    Entry *entry = find(row.row());
    if (!entry) {
        m_entries.append({row});
        entry = &m_entries.last();
    }
    if (entry->retries >= settings.retries) {
        forget(row);
        return false;
    }
    ++entry->retries;
    entry->seconds = TransferRetry::waitSeconds(entry->retries);
    m_host.logEvent(QStringLiteral("Retrying %1 in %2 s (%3 of %4): %5")
                        .arg(remote)
                        .arg(entry->seconds)
                        .arg(entry->retries)
                        .arg(settings.retries)
                        .arg(reason));
    entry->timer = new QTimer(this);
    entry->timer->setSingleShot(true);
    connect(entry->timer, &QTimer::timeout, this, [this, handle = entry->row] {
        Entry *waited = handle.isValid() ? find(handle.row()) : nullptr;
        if (waited)
            end(*waited);
        prune();
        if (waited)
            m_queue.setStatus(handle.row(), waitingText());
        m_due();
    });
    entry->timer->start(qMax(0, entry->seconds * settings.retryUnitMs));
    showWaits();
    return true;
}

bool RetryWaits::mayRetry(int row, int retries) const
{
    const Entry *entry = find(row);
    return (entry ? entry->retries : 0) < retries;
}

bool RetryWaits::isWaiting(int row) const
{
    const Entry *entry = find(row);
    return entry && entry->timer;
}

bool RetryWaits::anyWaiting() const
{
    for (const Entry &entry : m_entries)
        if (entry.row.isValid() && entry.timer)
            return true;
    return false;
}

void RetryWaits::forget(const QPersistentModelIndex &row)
{
    if (Entry *entry = row.isValid() ? find(row.row()) : nullptr) {
        end(*entry);
        m_entries.removeAt(entry - m_entries.data());
    }
    prune();
}

void RetryWaits::drop(int row)
{
    if (const Entry *entry = find(row))
        forget(QPersistentModelIndex(entry->row)); // a copy: the entry goes
}

// The entries stay in the queue, as if they had never been tried.
void RetryWaits::clear()
{
    for (Entry &entry : m_entries) {
        if (entry.row.isValid() && entry.timer)
            m_queue.setStatus(entry.row.row(), waitingText());
        end(entry);
    }
    m_entries.clear();
}

QString RetryWaits::waitingText() const
{
    return m_host.queueRunning() ? QStringLiteral("Pending") : QStringLiteral("Paused");
}

void RetryWaits::showWaits()
{
    for (const Entry &entry : std::as_const(m_entries))
        if (entry.row.isValid() && entry.timer)
            m_queue.setStatus(entry.row.row(), QStringLiteral("Retry in %1 s").arg(entry.seconds));
}
