#include "QueueKeeper.h"

#include "Prompter.h"
#include "QueueModel.h"
#include "TransferEngine.h"

QueueKeeper::QueueKeeper(QueueModel &queue, TransferEngine &engine, QObject *parent) : QObject(parent), m_queue(queue)
{
    m_clock.start();
    m_flush.setSingleShot(true);
    m_flush.setInterval(QuietMs);
    connect(&m_flush, &QTimer::timeout, this, &QueueKeeper::flush);
    m_commitDue.setSingleShot(true);
    m_commitDue.setInterval(HoldMs);
    connect(&m_commitDue, &QTimer::timeout, this, [this] {
        writeEnds();
        m_store.commitHeld();
    });
    connect(&queue, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { onInserted(first, last); });
    connect(&queue, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { onRemoving(first, last); });
    connect(&engine, &TransferEngine::entryStarted, this, &QueueKeeper::onStarted);
    connect(&engine, &TransferEngine::progressed, this,
            [this](int row, int, qint64 bytes) { onProgressed(row, bytes); });
    connect(&engine, &TransferEngine::entryEnding, this, &QueueKeeper::onEnding);
}

QueueKeeper::~QueueKeeper()
{
    flush();
    writeEnds();
    m_store.commitHeld();
}

QueueStore::Outcome QueueKeeper::open(const QString &path)
{
    const QueueStore::Outcome outcome = m_store.open(path);
    m_lists = m_store.load();
    m_open = true;
    // Rows queued before the store was open are kept from now on too.
    m_ids = QList<qint64>(m_queue.count(), 0);
    m_unwrittenFrom = m_queue.count() ? 0 : -1;
    flush();
    return outcome;
}

QueueKeeper::Choice QueueKeeper::ask(Prompter &prompter) const
{
    const int chosen = prompter.choose(
        QStringLiteral("%1 transfers from last time are still in the queue.").arg(m_lists.queued.size()),
        {QStringLiteral("Resume"), QStringLiteral("Discard"), QStringLiteral("Keep paused")}, Prompter::Icon::Question);
    return chosen == 0 ? Choice::Resume : chosen == 1 ? Choice::Discard : Choice::KeepPaused;
}

void QueueKeeper::restore(const QString &status, const std::function<QIcon(const QueueEntry &)> &icon)
{
    flush();
    QList<QueueEntry> entries;
    QList<QIcon> icons;
    entries.reserve(m_lists.queued.size());
    icons.reserve(m_lists.queued.size());
    m_restoring.reserve(m_lists.queued.size());
    for (StoredEntry &stored : m_lists.queued) {
        stored.entry.status = status;
        icons.append(icon(stored.entry));
        entries.append(std::move(stored.entry));
        m_restoring.append(stored.id);
    }
    m_lists.queued = {};
    m_queue.append(entries, icons);
    m_restoring = {};
}

void QueueKeeper::discard()
{
    writeEnds();
    QList<qint64> ids;
    for (const StoredEntry &stored : std::as_const(m_lists.queued))
        ids.append(stored.id);
    m_store.remove(ids);
    m_lists.queued = {};
}

void QueueKeeper::forgetRows(const QList<int> &rows)
{
    flush();
    writeEnds();
    QList<qint64> ids;
    for (const int row : rows)
        if (const qint64 id = idAt(row))
            ids.append(std::exchange(m_ids[row], 0));
    m_store.remove(ids);
}

void QueueKeeper::forgetAll()
{
    if (!m_open)
        return;
    m_flush.stop();
    m_unwrittenFrom = -1;
    writeEnds();
    m_store.clearQueued();
    m_ids.fill(0);
}

void QueueKeeper::onInserted(int first, int last)
{
    const int count = last - first + 1;
    if (!m_restoring.isEmpty()) {
        m_ids.insert(first, count, 0);
        std::copy(m_restoring.cbegin(), m_restoring.cend(), m_ids.begin() + first);
        return;
    }
    if (m_unwrittenFrom >= 0 && first != m_ids.size())
        flush(); // the rows waiting stay one run at the end
    m_ids.insert(first, count, 0);
    if (!m_open)
        return;
    if (m_unwrittenFrom < 0) {
        m_unwrittenFrom = first;
        m_unwrittenSince = m_clock.elapsed();
    }
    if (m_clock.elapsed() - m_unwrittenSince >= LateMs)
        flush();
    else
        m_flush.start(); // a walk's next rows come sooner than this: they go in the same add()
}

void QueueKeeper::flush()
{
    m_flush.stop();
    if (!m_open || m_unwrittenFrom < 0)
        return;
    const qsizetype from = std::exchange(m_unwrittenFrom, -1);
    QList<QueueEntry> entries;
    entries.reserve(m_ids.size() - from);
    for (qsizetype row = from; row < m_ids.size(); ++row)
        entries.append(m_queue.entry(int(row)));
    const QList<qint64> ids = m_store.add(entries);
    std::copy(ids.cbegin(), ids.cend(), m_ids.begin() + from); // none when the write failed: those rows are not kept
}

qint64 QueueKeeper::idAt(int row)
{
    if (m_unwrittenFrom >= 0 && row >= m_unwrittenFrom)
        flush();
    return row >= 0 && row < m_ids.size() ? m_ids[row] : 0;
}

void QueueKeeper::onRemoving(int first, int last)
{
    QList<qint64> ids;
    for (int row = first; row <= last; ++row)
        if (const qint64 id = idAt(row)) {
            ids.append(id);
            m_runs.remove(id);
        }
    if (!ids.isEmpty()) {
        writeEnds();
        m_store.remove(ids);
    }
    m_ids.remove(first, last - first + 1);
    if (m_ids.isEmpty())
        m_ids = {}; // as the queue gives its memory back
    if (m_unwrittenFrom > first)
        m_unwrittenFrom = qMax<qsizetype>(first, m_unwrittenFrom - (last - first + 1));
    if (m_unwrittenFrom >= m_ids.size())
        m_unwrittenFrom = -1;
}

void QueueKeeper::onStarted(int row)
{
    if (const qint64 id = idAt(row))
        m_runs.insert(id, {m_clock.elapsed(), m_clock.elapsed(), false});
}

// A file that moves for less than a second costs nothing here: its end is written, not its start.
void QueueKeeper::onProgressed(int row, qint64 bytes)
{
    const qint64 id = idAt(row);
    const auto run = m_runs.find(id);
    if (run == m_runs.end() || m_clock.elapsed() - run->writtenMs < ProgressMs)
        return;
    if (!std::exchange(run->startWritten, true))
        m_store.started(id);
    m_store.progress(id, bytes);
    run->writtenMs = m_clock.elapsed();
}

void QueueKeeper::onEnding(int row, TransferOutcome outcome, qint64 bytes, const QString &reason)
{
    const qint64 id = m_lastEnded = idAt(row);
    if (!id)
        return;
    const Run run = m_runs.take(id);
    m_ids[row] = 0; // its row goes now; a stopped entry stays queued in the store
    if (outcome == TransferOutcome::Stopped)
        return;
    // Ends come close together in a queue of small files. Written one by one, between the other
    // work of each file, every write would find the database's code and pages out of the cache;
    // written together they cost a fraction, in one commit.
    m_ends.append({id, outcome == TransferOutcome::Done, bytes, double(m_clock.elapsed() - run.startedMs) / 1000.0,
                   outcome == TransferOutcome::Done ? QString() : reason});
    if (!m_commitDue.isActive()) {
        m_store.holdCommits(); // the rows a walk adds meanwhile join the same commit
        m_commitDue.start();
    }
}

// Into the transaction held since the first of them ended; committed when m_commitDue comes. Also
// called before anything else that may touch an ended entry, so that it is written first.
void QueueKeeper::writeEnds()
{
    for (const End &end : std::as_const(m_ends)) {
        if (end.done)
            m_store.finished(end.id, end.bytes, end.seconds);
        else
            m_store.failed(end.id, end.reason);
    }
    m_ends.clear();
}
