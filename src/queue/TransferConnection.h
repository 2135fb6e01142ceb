#pragma once

#include "FtpTypes.h"
#include "TransferHost.h"
#include "TransferJob.h"

#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <memory>

class RemoteFolderClaims;
class TransferLines;
class TransferWorker;

// One transfer connection to the server, numbered from 2 (the browsing connection is the first):
// a thread of its own with a session of its own, logged in with the browsing connection's options
// the first time it is given a file. It moves one file at a time and reports through queued
// signals, so the window's thread never waits on the server. Lives on the window's thread.
class TransferConnection : public QObject
{
    Q_OBJECT
public:
    // A connection without a file closes after this long.
    static constexpr int IdleCloseMs = 60 * 1000;

    TransferConnection(int number, const FtpOptions &options, RemoteFolderClaims &folders, QObject *parent = nullptr);
    ~TransferConnection() override; // closes, waiting for the thread

    int number() const { return m_number; }
    bool isBusy() const { return m_busy; }
    bool isClosing() const { return m_closing; }

    void start(const TransferJob &job);
    void hold();
    // Back to moving blocks of this size; a stop already asked for stays.
    void resume(qint32 blockSize);
    void stop();
    void answer(bool yes); // to asks()
    // QUIT when no file moves, else the file is stopped first. close() waits for the end;
    // closeLater() does not, and closed() follows.
    void close();
    void closeLater();

signals:
    void saidLines(const QList<TransferHost::Line> &lines);
    void progressed(qint64 bytesDone, int percent);
    void localFoldersMade(const QString &below);
    void localFileWritten(const QString &path);
    void asks(const QString &question);
    // unopened: the file that could not be opened (OpenFailed).
    // bytes: what the file moved, the last progress report or not.
    void finished(TransferOutcome outcome, const QString &unopened, qint64 bytes);
    void idleTooLong();
    void closed();

private:
    void onFinished(TransferOutcome outcome, const QString &unopened, qint64 bytes);
    void passLines();
    void endThread(bool wait);

    const int m_number;
    std::shared_ptr<std::atomic<qint32>> m_control;
    std::shared_ptr<TransferLines> m_lines;
    QThread m_thread;
    TransferWorker *m_worker;
    QTimer m_idle;
    bool m_busy = false;
    bool m_closing = false;
};
