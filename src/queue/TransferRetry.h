#pragma once

#include "TransferJob.h"

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QString>
#include <functional>

class QTimer;
class QueueModel;
class TransferHost;
struct TransferSettings;

namespace TransferRetry {

// What is known of an attempt that did not complete.
struct Attempt
{
    TransferOutcome outcome = TransferOutcome::Failed;
    int replyCode = 0;           // of the server's last reply; 0 when there was none
    bool connectionLost = false; // the control connection went (dropped, timed out, a data stall)
    bool localFault = false;     // the local file, or the user's own answer
};

// Whether another attempt on a fresh connection may succeed: a 4xx reply or a connection that went.
// A 5xx reply, a refusal of our own and a local fault stay as they are however often they are tried.
bool isTransient(const Attempt &attempt);

// The wait before retry number n (1, 2, ...), in seconds: 5, 10, then 20 each time.
int waitSeconds(int retry);

} // namespace TransferRetry

// The entries of the queue that wait to be tried again: how often each was, and the timer of its
// next attempt. An entry that waits holds no connection; its row says how long it waits.
class RetryWaits : public QObject
{
    Q_OBJECT
public:
    // due: an entry's wait is over (it may start again).
    RetryWaits(QueueModel &queue, TransferHost &host, std::function<void()> due, QObject *parent = nullptr);

    // After a transient failure of the row's entry: true, with the retry logged and timed, when
    // retries are left; false when they are used up (the entry fails for good).
    bool take(const QPersistentModelIndex &row, const QString &remote, const QString &reason,
              const TransferSettings &settings);
    // Whether a transient failure of the row's next attempt would be tried again.
    bool mayRetry(int row, int retries) const;
    bool isWaiting(int row) const;
    bool anyWaiting() const;
    void forget(const QPersistentModelIndex &row); // the entry has ended for good
    void drop(int row);                            // cancelled: its wait ends, and nothing starts
    void clear();                                  // every wait and count
    void showWaits();                              // the rows' statuses again, after others replaced them

private:
    struct Entry
    {
        QPersistentModelIndex row;
        int retries = 0;         // used so far
        QTimer *timer = nullptr; // running while the entry waits
        int seconds = 0;         // of the current wait
    };
    Entry *find(int row);
    const Entry *find(int row) const;
    void prune();
    void end(Entry &entry);
    QString waitingText() const; // what a row that waits for nothing but its turn shows

    QueueModel &m_queue;
    TransferHost &m_host;
    std::function<void()> m_due;
    QList<Entry> m_entries;
};
