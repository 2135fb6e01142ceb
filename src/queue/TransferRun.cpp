#include "TransferRun.h"

#include "DownloadTarget.h"
#include "RemoteSession.h"
#include "FtpUploadTarget.h"
#include "LocalPaths.h"
#include "RemoteFolderClaims.h"
#include "TransferRetry.h"
#include "UploadSource.h"

TransferRun::TransferRun(RemoteSession &session, TransferRunHost &host, const std::atomic<qint32> &control,
                         RemoteFolderClaims &folders)
    : m_session(session), m_host(host), m_control(control), m_folders(folders)
{
}

TransferRun::~TransferRun() = default;

TransferOutcome TransferRun::run(const TransferJob &job)
{
    m_from = m_bytesDone = 0;
    m_shownPercent = -1;
    m_unopened.clear();
    m_reason.clear();
    m_localError.clear();
    if (job.discard)
        return discardLeftover(job);
    return job.direction == QueueEntry::Direction::Down ? download(job) : upload(job);
}

TransferOutcome TransferRun::openFailure(const QString &path)
{
    m_unopened = path;
    return TransferOutcome::OpenFailed;
}

TransferOutcome TransferRun::localFailure(const QString &path)
{
    m_localError = QStringLiteral("Could not open file ") + path;
    return openFailure(path);
}

bool TransferRun::transient(TransferOutcome outcome) const
{
    return TransferRetry::isTransient(
        {outcome, m_session.lastReplyCode(), !m_session.isOpen(), !m_localError.isEmpty()});
}

TransferOutcome TransferRun::download(const TransferJob &job)
{
    // A name the local file system cannot hold is refused before anything is asked of the server.
    if (const QString why = LocalPaths::lengthProblem(job.local); !why.isEmpty()) {
        m_host.logEvent(m_reason = why);
        return localFailure(job.local);
    }
    DownloadTarget target(job.local);
    if (job.resumeFrom > 0)
        target.adoptTarget();
    std::unique_ptr<RemoteFile> file = openDownload(job, resumePoint(job, target));
    if (!file && m_session.isOpen())
        return openFailure(job.remote);
    if (!file) { // the connection went: the reason is in the log
        report(TransferOutcome::Failed);
        return TransferOutcome::Failed;
    }
    if (!target.open(file->offset())) {
        closeRemote(file);
        return localFailure(job.local);
    }
    if (!target.madeBelow().isEmpty())
        m_host.foldersMadeBelow(target.madeBelow());
    Moved moved = receive(*file, target, job.size);
    if (target.mismatched())
        moved = receiveAgain(job, target, file);
    if (!file)
        return keepDownload(target, TransferOutcome::Failed, job);
    const qint64 announced = file->announcedSize(); // a short 150 count is failed by the close itself
    const qint64 wire = file->offset() + file->bytesOnWire();
    bool closed = closeRemote(file);
    if (closed && moved.gate == Gate::Go && announced < 0 && wire < job.size)
        closed = wholeAsListed(job, wire);
    return keepDownload(target, decide(moved, closed), job);
}

std::unique_ptr<RemoteFile> TransferRun::openDownload(const TransferJob &job, qint64 from)
{
    std::unique_ptr<RemoteFile> file = m_session.openFile(job.remote, RemoteFile::Read, job.type, from);
    logReply();
    if (file) {
        logResume(from, file->offset());
        m_from = file->offset();
        m_bytesDone = 0;
        m_shownPercent = -1;
    }
    return file;
}

// Fewer bytes than listed, in either mode (ASCII only adds CRs on the wire). The listing may be out
// of date, and a link lists the length of its target's name: the server's size now decides, the
// listed one only when the server gives none. Asked only then, so a whole file costs nothing more.
bool TransferRun::wholeAsListed(const TransferJob &job, qint64 wire)
{
    const qint64 now = m_session.isOpen() ? m_session.fileSize(job.remote) : -1;
    const qint64 expected = now >= 0 ? now : job.size;
    if (wire >= expected)
        return true;
    m_host.logEvent(m_reason = RemoteFile::shortfall(wire, expected));
    return false;
}

TransferRun::Moved TransferRun::receive(RemoteFile &file, DownloadTarget &target, qint64 size)
{
    Moved moved;
    while ((moved.gate = nextBlock()) == Gate::Go) {
        char *room = target.room(m_blockSize); // read straight into the file's buffer
        const qint64 n = room ? file.read(room, m_blockSize) : -1;
        // A stop asked for while the block was on its way: not a byte of it is written.
        if (n > 0 && m_control.load() == Stop) {
            moved.gate = Gate::Stop;
            break;
        }
        if (n <= 0 || !target.kept(n)) {
            moved.failed = n != 0;
            if (n > 0 || !room) // the disk's fault, not the connection's
                m_reason = target.error();
            break;
        }
        moved.bytes += n;
        blockMoved(n, size);
    }
    return moved;
}

// The part file becomes what the outcome says; a file that could not be put in place has failed.
// What a failed binary download received stays for the next attempt to continue.
TransferOutcome TransferRun::keepDownload(DownloadTarget &target, TransferOutcome outcome, const TransferJob &job)
{
    const auto end = outcome == TransferOutcome::Done      ? DownloadTarget::End::Complete
                     : outcome == TransferOutcome::Stopped ? DownloadTarget::End::Stopped
                     : job.type == FtpTransferType::Binary ? DownloadTarget::End::Cut
                                                           : DownloadTarget::End::Failed;
    const bool finished = target.finish(end);
    if (!finished || target.writeFailed()) // a full disk wins over whatever the server said
        m_localError = QStringLiteral("Could not write ") + job.local;
    if (!finished && outcome != TransferOutcome::Failed) {
        outcome = TransferOutcome::Failed;
        m_reason = target.error();
    }
    if (outcome != TransferOutcome::Done && target.resultPath() == target.partPath())
        m_host.logEvent(QStringLiteral("The part received was kept as ") + target.partPath() + QLatin1Char('.'));
    report(outcome);
    return outcome;
}

TransferOutcome TransferRun::decide(const Moved &moved, bool closedWell)
{
    if (moved.gate == Gate::Stop)
        return TransferOutcome::Stopped;
    return moved.failed || moved.gate == Gate::Lost || !closedWell ? TransferOutcome::Failed : TransferOutcome::Done;
}

// The file goes to a temporary name beside the target and takes its place only when it is whole,
// so a refused, failed or stopped upload leaves the server's copy as it was.
TransferOutcome TransferRun::upload(const TransferJob &job)
{
    // The local file first: nothing is done on the server for a file that cannot be read.
    UploadSource source(job.local);
    if (!source.open())
        return localFailure(job.local);
    if (const std::optional<TransferOutcome> continued = continueRemote(job, source))
        return *continued;
    FtpUploadTarget target(
        m_session, job.remote, job.type, [this](const QString &text) { m_host.logEvent(text); },
        [this](const QString &question) { return m_host.replaceInPlace(question); }, source.identity());
    std::unique_ptr<RemoteFile> file = openForUpload(job, target, resumePoint(job, source, target));
    if (!file && !target.declined() && m_session.isOpen())
        return openFailure(job.remote);
    TransferOutcome outcome = file ? sendAll(source, file) : TransferOutcome::Failed;
    if (outcome == TransferOutcome::Done)
        outcome = placeUpload(source, target, file);
    // What was sent stays for the retry to continue; else it goes, or is named in the log when the
    // connection went.
    if (!(job.retried && transient(outcome)))
        target.end();
    report(outcome);
    return outcome;
}

TransferOutcome TransferRun::placeUpload(UploadSource &source, FtpUploadTarget &target,
                                         std::unique_ptr<RemoteFile> &file)
{
    if (m_from > 0 && !storedWhole(target.temporaryPath(), source.size()))
        return TransferOutcome::Failed;
    const FtpUploadTarget::Placed placed = target.place(source.size());
    if (placed != FtpUploadTarget::Placed::Refused)
        return placed == FtpUploadTarget::Placed::Yes ? TransferOutcome::Done : TransferOutcome::Failed;
    // The server would not rename: the plain way, the whole file once more (asked for first).
    file = source.rewind() ? target.openDirect() : nullptr;
    logReply();
    return file ? sendAll(source, file) : TransferOutcome::Failed;
}

// The blocks from where the server's file begins, then the close; a stopped upload is broken off,
// not completed.
TransferOutcome TransferRun::sendAll(UploadSource &source, std::unique_ptr<RemoteFile> &file)
{
    m_from = file->offset();
    m_bytesDone = 0;
    m_shownPercent = -1;
    const Moved moved = source.rewind(m_from) ? send(source, *file) : Moved{Gate::Go, true, 0};
    if (moved.gate == Gate::Stop)
        file->abort();
    const bool closed = closeRemote(file);
    return decide(moved, closed);
}

TransferRun::Moved TransferRun::send(UploadSource &source, RemoteFile &file)
{
    const qint64 length = source.size() - m_from;
    Moved moved;
    while (moved.bytes < length && (moved.gate = nextBlock()) == Gate::Go) {
        const char *block = nullptr;
        const qint64 n = source.next(block, qMin<qint64>(m_blockSize, length - moved.bytes));
        if (n <= 0)
            m_localError = QStringLiteral("Could not read the local file.");
        if (!(n > 0 && file.write(block, n) == n)) {
            moved.failed = true; // the local file shrank or failed, or the connection did
            break;
        }
        moved.bytes += n;
        blockMoved(n, source.size());
    }
    return moved;
}

// A first open that fails may only lack the folders: they are made and the open tried once more,
// with the other temporary names and, as the last resort, the target's own name.
std::unique_ptr<RemoteFile> TransferRun::openForUpload(const TransferJob &job, FtpUploadTarget &target, qint64 from)
{
    std::unique_ptr<RemoteFile> file = target.openFirst(from);
    logReply();
    if (file)
        logResume(from, file->offset());
    if (file || !m_session.isOpen())
        return file;
    makeRemoteFolders(job.remote);
    if (!m_session.isOpen())
        return nullptr;
    file = target.open();
    logReply();
    return file;
}

// "/a/b/c.txt" needs "/a" and "/a/b": made in that order, results not looked at (a folder that
// exists already, or that another connection made meanwhile, is no failure), nothing logged.
void TransferRun::makeRemoteFolders(const QString &remotePath)
{
    for (qsizetype slash = remotePath.indexOf(QLatin1Char('/'), 1); slash > 0;
         slash = remotePath.indexOf(QLatin1Char('/'), slash + 1)) {
        if (!m_session.isOpen())
            return;
        const QString folder = remotePath.left(slash);
        m_folders.make(folder, [this, &folder] { m_session.createDirectory(folder); });
    }
}

bool TransferRun::closeRemote(std::unique_ptr<RemoteFile> &file)
{
    const bool closed = file->close();
    file.reset();
    logReply();
    return closed;
}

void TransferRun::logReply()
{
    m_host.logReply(m_session.lastResponseInfo());
}

void TransferRun::report(TransferOutcome outcome)
{
    m_host.logEvent(outcome == TransferOutcome::Failed    ? QStringLiteral("Transfer failed.")
                    : outcome == TransferOutcome::Stopped ? QStringLiteral("Transfer stopped.")
                                                          : QStringLiteral("Transfer complete."));
}
