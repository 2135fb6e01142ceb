#pragma once

#include "FtpTypes.h"
#include "TransferHost.h"
#include "TransferJob.h"
#include "TransferRun.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

class RemoteSession;

// What a transfer connection said, waiting for the window's thread, which takes all of it at
// once: one wake-up for however many lines came meanwhile.
class TransferLines
{
public:
    // True when nothing was waiting: the taker must be told.
    bool add(TransferHost::Line line);
    QList<TransferHost::Line> take();

private:
    std::mutex m_lock;
    QList<TransferHost::Line> m_lines;
};

// The part of a transfer connection that lives on its thread: the session and the file under way.
class TransferWorker : public QObject, private TransferRunHost
{
    Q_OBJECT
public:
    TransferWorker(const FtpOptions &options, RemoteFolderClaims &folders,
                   std::shared_ptr<TransferLines> lines);
    ~TransferWorker() override;

    // From any thread: the file goes after those given before; work() moves them. True when
    // work() must be called for it; false when the files given before are still being taken, and
    // this one with them.
    bool give(const TransferJob &job);
    // On the worker's thread: the files given, one after the other, until none is left. A call
    // while a file moves (from a wait inside it) returns at once: that file's end takes the next.
    void work();
    // QUIT, close, and the thread's loop ends; a file under way is let finish its stop first.
    void quit();
    void forceQuit(); // the connection closes at once, ending a call that waits on the server
    // From any thread.
    void answer(bool yes);
    void cancelQuestions(); // a question waiting, and any asked later, is answered no

signals:
    void linesWaiting(); // in lines: take them
    void progressed(qint64 bytesDone, int percent);
    void localFoldersMade(const QString &below);
    void asks(const QString &question);
    // bytes: what the file moved, reported or not. reason: why it failed, empty unless it did.
    void finished(TransferOutcome outcome, const QString &unopened, qint64 bytes, const QString &reason);

private:
    void run(const TransferJob &job);
    std::optional<TransferJob> nextJob();
    bool open(bool &refused);
    static bool limitReached(int code, const QString &reply);
    void say(int kind, const QString &text); // kind: RemoteSession::LogLine::Kind
    QString failureReason(TransferOutcome outcome, const TransferRun &transfer) const;

    void logEvent(const QString &text) override;
    void logReply(const QString &reply) override;
    void foldersMadeBelow(const QString &below) override { emit localFoldersMade(below); }
    void moved(qint64 bytesDone, int percent) override;
    void report();
    void linesGoWith();
    bool replaceInPlace(const QString &question) override;
    void waitWhileHeld(int maxMs) override;

    FtpOptions m_options;
    RemoteFolderClaims &m_folders;
    std::mutex m_jobsLock;
    QList<TransferJob> m_jobs;
    bool m_taking = false; // work() is due or under way and takes what is given: under m_jobsLock
    std::shared_ptr<TransferLines> m_lines;
    std::unique_ptr<RemoteSession> m_session;
    QElapsedTimer m_sinceUse;
    QElapsedTimer m_sinceReport;
    QTimer *m_reportLater; // a report held back goes out when its time comes, during the waits
    QTimer *m_linesLater;  // lines said and not yet announced
    QElapsedTimer m_linesSince;
    int m_percent = -1;
    qint64 m_bytesDone = 0;
    QString m_errorReply; // the last refusal or failure the file under way was told of
    std::mutex m_lock;
    std::condition_variable m_answered;
    std::optional<bool> m_answer;
    bool m_noMoreQuestions = false;
    bool m_running = false;
    bool m_quitAfterRun = false;
};
