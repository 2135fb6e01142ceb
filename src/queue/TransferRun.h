#pragma once

#include "TransferJob.h"

#include <QString>
#include <atomic>
#include <memory>
#include <optional>

class DownloadTarget;
class RemoteFile;
class RemoteSession;
class FtpUploadTarget;
class RemoteFolderClaims;
class UploadSource;

// What a transfer asks of the connection it runs on: the log, the local panes, the user, the
// held state. Called on the connection's own thread.
class TransferRunHost
{
public:
    virtual ~TransferRunHost() = default;
    virtual void logEvent(const QString &text) = 0;
    virtual void logReply(const QString &reply) = 0;
    virtual void foldersMadeBelow(const QString &below) = 0;
    virtual void moved(qint64 bytesDone, int percent) = 0;
    // Replacing the server's file in place risks it: true when the user agrees.
    virtual bool replaceInPlace(const QString &question) = 0;
    // Lets the connection's events run for at most maxMs while the transfer is held.
    virtual void waitWhileHeld(int maxMs) = 0;
};

// One file moved in blocks over one open connection. The block size is read before every block
// from the control the window steers: Held (0) holds the transfer with its files open, Stop (1)
// ends it through the usual finishing steps, anything else is the size of the next block.
class TransferRun
{
public:
    static constexpr qint32 Held = 0;
    static constexpr qint32 Stop = 1;

    TransferRun(RemoteSession &session, TransferRunHost &host, const std::atomic<qint32> &control,
                RemoteFolderClaims &folders);
    ~TransferRun();

    TransferOutcome run(const TransferJob &job);
    // The local or remote file that could not be opened, after OpenFailed.
    QString unopened() const { return m_unopened; }
    // Why the transfer did not complete when the reason is the client's own (a short file, a name too
    // long, a local file that would not open or be written); else empty.
    QString reason() const { return m_reason.isEmpty() ? m_localError : m_reason; }
    // Whether another attempt on a fresh connection may succeed where this one ended so.
    bool transient(TransferOutcome outcome) const;

private:
    enum class Gate { Go, Stop, Lost }; // what may happen before the next block
    struct Moved
    {
        Gate gate = Gate::Go; // what ended the blocks; Go when the file did
        bool failed = false;
        qint64 bytes = 0;
    };

    TransferOutcome download(const TransferJob &job);
    std::unique_ptr<RemoteFile> openDownload(const TransferJob &job, qint64 from);
    Moved receive(RemoteFile &file, DownloadTarget &target, qint64 size);
    Moved receiveAgain(const TransferJob &job, DownloadTarget &target, std::unique_ptr<RemoteFile> &file);
    bool wholeAsListed(const TransferJob &job, qint64 wire);
    TransferOutcome keepDownload(DownloadTarget &target, TransferOutcome outcome, const TransferJob &job);
    TransferOutcome upload(const TransferJob &job);
    TransferOutcome sendAll(UploadSource &source, std::unique_ptr<RemoteFile> &file);
    Moved send(UploadSource &source, RemoteFile &file);
    static TransferOutcome decide(const Moved &moved, bool closedWell);
    std::unique_ptr<RemoteFile> openForUpload(const TransferJob &job, FtpUploadTarget &target, qint64 from);
    TransferOutcome placeUpload(UploadSource &source, FtpUploadTarget &target, std::unique_ptr<RemoteFile> &file);
    void makeRemoteFolders(const QString &remotePath);
    bool closeRemote(std::unique_ptr<RemoteFile> &file);
    TransferOutcome openFailure(const QString &path);
    TransferOutcome localFailure(const QString &path); // the local file could not be opened
    void logReply();
    void report(TransferOutcome outcome);

    // Resuming (TransferRun_resume.cpp).
    qint64 resumePoint(const TransferJob &job, const DownloadTarget &target);
    qint64 resumePoint(const TransferJob &job, const UploadSource &source, FtpUploadTarget &target);
    void logResume(qint64 asked, qint64 from);
    bool storedWhole(const QString &path, qint64 size);
    TransferOutcome discardLeftover(const TransferJob &job);
    // Continuing the server's own file at the user's word (TransferRun_exists.cpp).
    std::optional<TransferOutcome> continueRemote(const TransferJob &job, UploadSource &source);

    // Blocks (TransferRun_blocks.cpp).
    Gate nextBlock(); // holds while held
    qint32 blockSize() const;
    void blockMoved(qint64 bytes, qint64 total);

    RemoteSession &m_session;
    TransferRunHost &m_host;
    const std::atomic<qint32> &m_control;
    RemoteFolderClaims &m_folders;
    qint32 m_blockSize = 0;
    qint64 m_from = 0;      // the byte of the file the transfer began at
    qint64 m_bytesDone = 0; // moved since
    int m_shownPercent = -1;
    QString m_unopened;
    QString m_reason;
    QString m_localError; // set when the local side failed: no retry mends that
};
