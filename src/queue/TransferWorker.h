#pragma once

#include "FtpTypes.h"
#include "TransferJob.h"
#include "TransferRun.h"

#include <QElapsedTimer>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

class FtpSession;

// The part of a transfer connection that lives on its thread: the session and the file under way.
class TransferWorker : public QObject, private TransferRunHost
{
    Q_OBJECT
public:
    TransferWorker(const FtpOptions &options, RemoteFolderClaims &folders,
                   std::shared_ptr<std::atomic<qint32>> control);
    ~TransferWorker() override;

    // On the worker's thread.
    void run(const TransferJob &job);
    // QUIT, close, and the thread's loop ends; a file under way is let finish its stop first.
    void quit();
    void forceQuit(); // the connection closes at once, ending a call that waits on the server
    // From any thread.
    void answer(bool yes);
    void cancelQuestions(); // a question waiting, and any asked later, is answered no

signals:
    void logLine(int kind, const QString &text);
    void progressed(qint64 bytesDone, int percent);
    void localFoldersMade(const QString &below);
    void localFileWritten(const QString &path);
    void asks(const QString &question);
    void finished(TransferOutcome outcome, const QString &unopened);

private:
    bool open(bool &refused);
    static bool limitReached(int code, const QString &reply);

    void logEvent(const QString &text) override;
    void logReply(const QString &reply) override;
    void foldersMadeBelow(const QString &below) override { emit localFoldersMade(below); }
    void fileWritten(const QString &path) override { emit localFileWritten(path); }
    void moved(qint64 bytesDone, int percent) override { emit progressed(bytesDone, percent); }
    bool replaceInPlace(const QString &question) override;
    void waitWhileHeld(int maxMs) override;

    FtpOptions m_options;
    RemoteFolderClaims &m_folders;
    std::shared_ptr<std::atomic<qint32>> m_control;
    std::unique_ptr<FtpSession> m_session;
    QElapsedTimer m_sinceUse;
    std::mutex m_lock;
    std::condition_variable m_answered;
    std::optional<bool> m_answer;
    bool m_noMoreQuestions = false;
    bool m_running = false;
    bool m_quitAfterRun = false;
};
