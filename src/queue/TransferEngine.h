#pragma once

#include "FileExists.h"
#include "FtpTypes.h"
#include "QueueStore.h"
#include "RemoteFolderClaims.h"
#include "TransferJob.h"
#include "TransferRetry.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <memory>
#include <optional>

class QueueModel;
class TransferConnection;
class TransferHost;
struct QueueEntry;
struct TransferSettings;

// Works off the queue over transfer connections of their own, never the browsing one: entries
// start in queue order, one per connection, up to the simultaneous transfers the settings allow
// and the server takes; a connection that finishes a file takes the next waiting entry. Each row
// shows its own percentage and is removed when its transfer has ended. Lives on the window's
// thread and never waits on a server: the connections report through queued signals.
class TransferEngine : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxConnections = 10;
    // A limit lowered because the server refused a connection is raised again after this long.
    static constexpr int LimitRestoreMs = 5 * 60 * 1000;

    TransferEngine(QueueModel &queue, TransferHost &host, QObject *parent = nullptr);
    ~TransferEngine() override;

    // Starts waiting entries on free connections while the queue runs; returns at once.
    void ProcessTransfer();
    // Entries were added while the engine may be at work: free connections take them, unless
    // the last login failed (then only ProcessTransfer tries again).
    void entriesAdded() { schedule(); }

    // Files move, or wait for the user's answer.
    bool isActive() const;
    bool isCurrentRow(int row) const; // the row's file is moving, or held
    QList<int> runningRows() const;
    qint64 bytesDone() const; // of the files moving now
    // Since the queue last went idle: what the files that ended moved, and those moving now.
    qint64 bytesMovedInRun() const { return m_movedBefore + bytesDone(); }
    int percentOf(int row) const;     // -1 when none is known
    qint64 bytesDoneOf(int row) const; // of the row's file, while it moves
    qint32 blockSizeOf(int row) const; // the block size the row's file started with
    // Transfer connections at most: the setting, lowered while the server refuses more.
    int connectionLimit() const;

    void hold();   // every running transfer holds, its connection and files open
    void resume(); // they go on, in blocks of the sizes the settings give now
    void stop();   // every running transfer ends through its usual steps
    // Asks the row's transfer to stop; false when the row's file is not moving (one given to a
    // connection behind another file is let go too): the row can go at once.
    bool stopRow(int row);
    // Disconnect, Exit: running transfers stop, every connection closes; returns when they have.
    void closeAll();

signals:
    void progressed(int row, int percent, qint64 bytesDone); // each time a row's percentage changes
    // reason: why it failed (the server's reply or the local error); empty unless it did.
    void entryEnded(TransferOutcome outcome, qint64 bytes, const QString &reason);
    // An entry that failed or finished, for the failed and finished lists; its row has left the queue.
    void entryKept(const StoredEntry &entry);
    // For the queue's store: a row given to a connection, and a row about to leave the queue
    // because its transfer ended (reason: why it failed, when it did).
    void entryStarted(int row);
    void entryEnding(int row, TransferOutcome outcome, qint64 bytes, const QString &reason);

private:
    struct Running
    {
        TransferConnection *connection = nullptr;
        QPersistentModelIndex row;
        TransferJob job;
        qint64 done = 0;
        int percent = -1;
        QElapsedTimer clock; // since the file began to move
    };

    void schedule();
    int nextWaitingRow(int from) const;
    TransferConnection *freeConnection(int limit);
    TransferConnection *lookAheadConnection() const;
    bool start(TransferConnection *connection, int row, const TransferSettings &settings); // false: not started
    Running *runningOn(const TransferConnection *connection); // its file under way
    const Running *runningOn(const TransferConnection *connection) const;
    const Running *runningAt(int row) const;
    void onFinished(TransferConnection *connection, TransferOutcome outcome, const QString &unopened, qint64 bytes,
                    const QString &reason);
    void keep(const TransferConnection *connection, const Running &ended, const QueueEntry &entry,
              TransferOutcome outcome, const QString &reason); // TransferEngine_ended.cpp
    void onProgressed(TransferConnection *connection, qint64 done, int percent);
    void onAsks(TransferConnection *connection, const QString &question);
    void refused(TransferConnection *connection);
    void drop(TransferConnection *connection);
    void discardLeftover(int row);
    void becameIdle();

    // A target that exists already (TransferEngine_exists.cpp).
    bool settleExisting(int row, const QueueEntry &entry, TransferJob &job, const TransferSettings &settings);
    std::optional<FileExists::Facts> existingTarget(const TransferJob &job);
    FileExists::Facts sourceFacts(const QueueEntry &entry) const;
    bool apply(const FileExists::Decision &decision, int row, TransferJob &job);
    bool isUnanswered(int row) const;
    void askNext();

    QueueModel &m_queue;
    TransferHost &m_host;
    RemoteFolderClaims m_folders;
    std::optional<FtpOptions> m_options; // of the server the connections are open to
    bool m_saidBinary = false;           // that SFTP ignores the ASCII setting
    QList<TransferConnection *> m_connections;
    QList<Running> m_running;
    qint64 m_movedBefore = 0;
    int m_serverLimit = MaxConnections;
    quint64 m_server = 0; // changes with the server: a raise timed for the last one is void
    bool m_scheduling = false;
    bool m_loginFailed = false; // nothing more starts until asked again
    bool m_closing = false;
    std::optional<bool> m_replaceInPlace; // the user's answer, for this run of the queue
    bool m_asking = false;
    QList<QPointer<TransferConnection>> m_waitingForAnswer;
    RetryWaits m_retries{m_queue, m_host, [this] { schedule(); }};
    // Entries whose target exists, waiting for the user's answer, and those answered not yet started.
    QList<QPersistentModelIndex> m_unanswered;
    QList<std::pair<QPersistentModelIndex, FileExists::Action>> m_answered;
    std::optional<FileExists::Action> m_forTheRest; // "Apply to the rest of this queue"
    bool m_askingExists = false; // apart from m_asking: either question may be open while the other is
};
