#pragma once

#include "QueueEntry.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

class QSqlError;

// One entry as the store keeps it: the queue's columns and where the entry stands.
struct StoredEntry
{
    enum class State { Queued, Running, Failed, Finished };

    qint64 id = 0; // stable for the entry's whole life, across runs
    QueueEntry entry;
    State state = State::Queued;
    qint64 bytesDone = 0; // written so far; for a finished entry, what was moved in all
    QString reason;       // why it failed: the server's reply or the local error
    QDateTime endedAt;    // when it failed or finished; invalid before
    double seconds = 0;   // what a finished transfer took
};

// The transfer queue, the failed list and the finished list, kept in an SQLite database so that
// a program killed at any moment loses no entry. Every change is written at once, in a transaction
// of its own. One store per file: it holds the file for itself while open, so a second program on
// the same folder gets a queue of its own in memory. Use it from one thread.
//
// Costs (measured on a loaded 2-core machine): add() is one transaction for the whole list, about
// 7 us an entry (20,000 in 0.15 s); each other change is one prepared statement and its commit
// without a disk sync, about 20 us; requeue() and remove() one transaction for their list.
// open() reads the whole file once to check it (quick_check, about 0.1 s for 100,000 entries);
// load() reads every row (100,000: open and load together 0.6 to 0.8 s).
class QueueStore
{
public:
    enum class Outcome {
        Opened,      // the file, or a new one, is in use
        Damaged,     // not a database, damaged or of an unknown layout: moved aside, in memory now
        Locked,      // another program holds the file: in memory now, the file untouched
        Unavailable, // the file could not be opened or made (no rights, no room): in memory now
    };
    struct Lists
    {
        QList<StoredEntry> queued; // running entries too, in queue order
        QList<StoredEntry> failed; // in the order they failed or were put there
        QList<StoredEntry> finished;
    };

    QueueStore();
    ~QueueStore();
    QueueStore(const QueueStore &) = delete;
    QueueStore &operator=(const QueueStore &) = delete;

    // Opens or makes the database; an entry left running by a program that ended without finishing
    // it is queued again with the bytes it had done. On any outcome the store works (in memory
    // unless Opened). Closes whatever the store had open before.
    Outcome open(const QString &path);
    // For the user: one sentence naming the file, empty after Opened.
    QString message() const { return m_message; }
    // Where a damaged file was put; empty unless the last open() found one.
    QString movedTo() const { return m_movedTo; }
    bool inMemory() const { return m_inMemory; }

    // The new entries, queued at the end; their ids in the same order, or none when the write failed.
    QList<qint64> add(const QList<QueueEntry> &entries);
    // Each false when no such entry is stored or the write failed.
    bool started(qint64 id);
    bool progress(qint64 id, qint64 bytesDone); // the caller limits this to about once a second
    bool finished(qint64 id, qint64 bytes, double seconds);
    bool failed(qint64 id, const QString &reason);
    // Queued again at the end of the queue, in this order, keeping the bytes done (Retry).
    bool requeue(const QList<qint64> &ids);
    bool remove(const QList<qint64> &ids);
    bool clearFinished();
    // Many small changes in one commit: the writes from here on wait in an open transaction until
    // commitHeld() (or the store closes). A program killed meanwhile loses those writes, not more.
    bool holdCommits();
    bool commitHeld();
    bool clearQueued(); // running entries too: the caller stops them first

    Lists load() const;

    static QString damagedMessage(const QString &path, const QString &movedTo);
    static QString lockedMessage(const QString &path);
    static QString unavailableMessage(const QString &path);

private:
    struct Db;

    static Outcome outcomeOf(const QSqlError &error);
    static QString moveAside(const QString &path);
    Outcome setUp(bool onDisk);
    void close();
    bool eachInTransaction(const QList<qint64> &ids, bool requeue); // all of them or none

    std::unique_ptr<Db> m_db;
    QString m_message;
    QString m_movedTo;
    bool m_inMemory = false;
    qint64 m_nextPosition = 1;
};
