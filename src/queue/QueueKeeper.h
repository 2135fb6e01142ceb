#pragma once

#include "QueueStore.h"
#include "TransferJob.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QTimer>

#include <functional>

class Prompter;
class QueueModel;
class TransferEngine;

// Keeps the queue in a QueueStore as it changes, so that a program killed at any moment loses no
// entry: rows added (together in one add() once none has come for QuietMs, or after LateMs at
// most: a folder walk is one transaction or a few, not one per file), a transfer's progress once it
// has run a second and then at most once a second, its end as finished or failed (the ends within
// HoldMs written together, in one commit), and the rows the user cancels or clears. A transfer stopped for any other reason (a disconnect, the program's end)
// stays queued in the store. Lives on the window's thread, beside the queue: each row's id in the
// store is kept here, not in the rows.
class QueueKeeper : public QObject
{
    Q_OBJECT
public:
    enum class Choice { Resume, Discard, KeepPaused };
    static constexpr qint64 ProgressMs = 1000;
    static constexpr int QuietMs = 50;
    static constexpr qint64 LateMs = 1000;
    // Transfers that end within this long of each other are written together, in one commit.
    static constexpr int HoldMs = 50;

    QueueKeeper(QueueModel &queue, TransferEngine &engine, QObject *parent = nullptr);
    ~QueueKeeper() override;

    // Opens the store and reads what it holds; the queue is kept from here on, in memory when the
    // file could not be used (message() says why).
    QueueStore::Outcome open(const QString &path);
    QString message() const { return m_store.message(); }
    // Entries a former run left queued, not yet in the queue.
    qsizetype leftCount() const { return m_lists.queued.size(); }
    // The failed and finished lists as the store held them at open().
    const QList<StoredEntry> &failed() const { return m_lists.failed; }
    const QList<StoredEntry> &finished() const { return m_lists.finished; }
    // The ends still held are written first, so that what is done through it comes after them.
    QueueStore &store()
    {
        writeEnds();
        return m_store;
    }
    // The store's id of the entry whose end the engine told last (0: not kept), for the ended lists.
    qint64 lastEnded() const { return m_lastEnded; }

    // What to do with the entries left; closing the question keeps them, paused.
    Choice ask(Prompter &prompter) const;
    // The entries left join the queue with this status, icon(entry) beside each; or leave the store.
    void restore(const QString &status, const std::function<QIcon(const QueueEntry &)> &icon);
    void discard();

    // The user cancelled these rows or cleared the queue: their entries leave the store at once,
    // also those whose transfers are still stopping.
    void forgetRows(const QList<int> &rows);
    void forgetAll();

private:
    struct End
    {
        qint64 id = 0;
        bool done = false; // finished; else failed
        qint64 bytes = 0;
        double seconds = 0;
        QString reason;
    };
    struct Run
    {
        qint64 startedMs = 0;
        qint64 writtenMs = 0; // the last progress written
        bool startWritten = false;
    };

    void onInserted(int first, int last);
    void onRemoving(int first, int last);
    void onStarted(int row);
    void onProgressed(int row, qint64 bytes);
    void onEnding(int row, TransferOutcome outcome, qint64 bytes, const QString &reason);
    void flush();
    void writeEnds();
    qint64 idAt(int row);

    QueueModel &m_queue;
    QueueStore m_store;
    bool m_open = false;
    QueueStore::Lists m_lists;
    QList<qint64> m_ids;            // each row's id in the store, row for row; 0: not kept
    qsizetype m_unwrittenFrom = -1; // rows from here to the end wait for one add()
    qint64 m_unwrittenSince = 0;
    QList<qint64> m_restoring; // the ids of the rows being put back
    QHash<qint64, Run> m_runs; // by id: entries whose transfers run
    QList<End> m_ends;         // ended, not yet written: written together when m_commitDue comes
    qint64 m_lastEnded = 0;
    QElapsedTimer m_clock;
    QTimer m_flush;
    QTimer m_commitDue;
};
