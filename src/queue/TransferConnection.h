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
    bool isBusy() const { return !m_jobs.isEmpty(); }
    // Files given and not ended: the one moving, and one waiting behind it at most.
    qsizetype jobs() const { return m_jobs.size(); }
    // A file has come through whole: the login stands, and the next file may wait behind another.
    bool hasMoved() const { return m_hasMoved; }
    bool isClosing() const { return m_closing; }

    // A file given while another moves starts on the worker right after it, without waiting for
    // the window's thread: the job's control holds or stops it before it opens anything.
    void start(const TransferJob &job);
    void stop(); // every file given
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
    // bytes: what the file moved, the last progress report or not. reason: why it did not complete.
    void finished(TransferOutcome outcome, const QString &unopened, qint64 bytes, const QString &reason);
    void idleTooLong();
    void closed();

private:
    void onFinished(TransferOutcome outcome, const QString &unopened, qint64 bytes, const QString &reason);
    void passLines();
    void endThread(bool wait);

    const int m_number;
    QList<TransferJob> m_jobs;
    std::shared_ptr<TransferLines> m_lines;
    QThread m_thread;
    TransferWorker *m_worker;
    QTimer m_idle;
    bool m_hasMoved = false;
    bool m_closing = false;
};
