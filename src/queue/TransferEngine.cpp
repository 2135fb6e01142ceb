#include "TransferEngine.h"

#include "DownloadTarget.h"
#include "FtpSession.h"
#include "FtpUploadTarget.h"
#include "LocalPaths.h"
#include "Prompter.h"
#include "QueueModel.h"
#include "TransferHost.h"
#include "UploadSource.h"

#include <QTimer>

namespace {

constexpr int kBusyRetryMs = 100;

} // namespace

TransferEngine::TransferEngine(QueueModel &queue, TransferHost &host, QObject *parent)
    : QObject(parent), m_queue(queue), m_host(host)
{
}

TransferEngine::~TransferEngine() = default;

void TransferEngine::resume(qint32 blockSize)
{
    if (m_blockSize != Stop || !m_underWay)
        m_blockSize = blockSize;
    m_shownPercent = -1; // the next block shows its percentage again
}

void TransferEngine::ProcessTransfer()
{
    if (m_active)
        return;
    m_active = true;
    m_replaceInPlace.reset();
    const QPointer<TransferEngine> self(this);
    Job job;
    while (take(job)) {
        const Outcome outcome = job.direction == QueueEntry::Direction::Down ? download(job) : upload(job);
        if (!self)
            return;
        afterEntry(outcome, job);
        if (!m_host.queueRunning() || m_queue.count() == 0 || !pump())
            break;
    }
    if (!self)
        return;
    m_active = false;
    m_host.showTotals();
    m_host.idle();
    // Started from inside another exchange (a listing that lets events run): try again after it.
    const FtpSession *session = m_host.session();
    if (m_queue.count() > 0 && m_host.queueRunning() && session && session->isOpen() && session->isBusy())
        QTimer::singleShot(kBusyRetryMs, this, &TransferEngine::ProcessTransfer);
}

// Row 1 becomes the transfer under way; false when there is none to take, the queue is paused or
// there is no connection (the entries then wait).
bool TransferEngine::take(Job &job)
{
    FtpSession *session = m_host.session();
    if (m_queue.count() == 0 || !m_host.queueRunning() || !session || !session->isOpen() || session->isBusy())
        return false;
    m_session = session;
    const QueueEntry entry = m_queue.entry(0);
    const TransferSettings settings = m_host.settings();
    const bool up = entry.direction == QueueEntry::Direction::Up;
    job = {entry.localPath,
           entry.remotePath,
           entry.direction,
           entry.bytes,
           TransferSettings::typeFor(entry.localPath, up ? settings.uploadType : settings.downloadType,
                                     settings.asciiExtensions),
           qMax<qint32>(2, up ? settings.uploadBufferSize : settings.downloadBufferSize)};
    m_row = m_queue.handle(0);
    m_underWay = true;
    m_bytesDone = 0;
    m_shownPercent = -1;
    return true;
}

void TransferEngine::afterEntry(Outcome outcome, const Job &job)
{
    m_bytesDone = 0;
    m_underWay = false;
    // A connection that went before the transfer began leaves the entry for the next one.
    if (outcome != Outcome::Gone)
        m_queue.remove(m_row); // unless the queue was cleared meanwhile
    m_row = QPersistentModelIndex();
    if (job.direction == QueueEntry::Direction::Up && outcome != Outcome::OpenFailed && outcome != Outcome::Gone &&
        m_queue.count() == 0)
        m_host.remoteQueueDone();
    m_host.showTotals();
}

TransferEngine::Outcome TransferEngine::openFailure(const QString &path)
{
    if (!connectionUsable() || !m_session->isOpen())
        return Outcome::Gone;
    m_host.openFailed(path);
    return Outcome::OpenFailed;
}

TransferEngine::Outcome TransferEngine::download(const Job &job)
{
    const QPointer<TransferEngine> self(this);
    startBlocks(job.blockSize);
    // A name the local file system cannot hold is refused before anything is asked of the server.
    if (const QString why = LocalPaths::lengthProblem(job.local); !why.isEmpty()) {
        m_host.logEvent(why);
        m_host.openFailed(job.local);
        return Outcome::OpenFailed;
    }
    if (!pump() || !connectionUsable())
        return Outcome::Gone;
    std::unique_ptr<FtpFile> file = m_session->openFile(job.remote, FtpFile::Read, job.type);
    if (!self)
        return Outcome::Gone;
    logReply();
    if (!file)
        return openFailure(job.remote);
    DownloadTarget target(job.local);
    if (!target.open()) {
        closeRemote(file);
        if (!self)
            return Outcome::Gone;
        m_host.openFailed(job.local);
        return Outcome::OpenFailed;
    }
    if (!target.madeBelow().isEmpty())
        m_host.localFoldersMade(target.madeBelow());
    const Moved moved = receive(*file, target, job.size);
    if (moved.gate == Gate::Destroyed)
        return Outcome::Gone;
    const qint64 announced = file->announcedSize(); // a short 150 count is failed by the close itself
    const qint64 wire = file->bytesOnWire();
    bool closed = closeRemote(file);
    if (!self)
        return Outcome::Gone;
    if (closed && moved.gate == Gate::Go && announced < 0 && wire < job.size) {
        closed = wholeAsListed(job, wire);
        if (!self)
            return Outcome::Gone;
    }
    return keepDownload(target, decide(moved, closed), job.local);
}

// Fewer bytes than listed, in either mode (ASCII only adds CRs on the wire). The listing may be out
// of date, and a link lists the length of its target's name: the server's size now decides, the
// listed one only when the server gives none. Asked only then, so a whole file costs nothing more.
bool TransferEngine::wholeAsListed(const Job &job, qint64 wire)
{
    const qint64 now = connectionUsable() ? m_session->fileSize(job.remote) : -1;
    const qint64 expected = now >= 0 ? now : job.size;
    if (wire >= expected)
        return true;
    m_host.logEvent(FtpFile::shortfall(wire, expected));
    return false;
}

TransferEngine::Moved TransferEngine::receive(FtpFile &file, DownloadTarget &target, qint64 size)
{
    const QPointer<TransferEngine> self(this);
    Moved moved;
    while ((moved.gate = nextBlock()) == Gate::Go) {
        char *room = target.room(m_blockSize); // read straight into the file's buffer
        const qint64 n = room ? file.read(room, m_blockSize) : -1;
        if (!self)
            return {Gate::Destroyed};
        if (n <= 0 || !target.kept(n)) {
            moved.failed = n != 0;
            break;
        }
        moved.bytes += n;
        if (!blockMoved(n, size))
            return {Gate::Destroyed};
    }
    return moved;
}

// The part file becomes what the outcome says; a file that could not be put in place has failed.
TransferEngine::Outcome TransferEngine::keepDownload(DownloadTarget &target, Outcome outcome, const QString &path)
{
    const auto end = outcome == Outcome::Done      ? DownloadTarget::End::Complete
                     : outcome == Outcome::Stopped ? DownloadTarget::End::Stopped
                                                   : DownloadTarget::End::Failed;
    if (!target.finish(end) && outcome != Outcome::Failed)
        outcome = Outcome::Failed;
    report(outcome);
    if (outcome == Outcome::Stopped && target.resultPath() == target.partPath())
        m_host.logEvent(QStringLiteral("The part received was kept as ") + target.partPath() + QLatin1Char('.'));
    m_host.localFileWritten(path);
    return outcome;
}

TransferEngine::Outcome TransferEngine::decide(const Moved &moved, bool closedWell)
{
    if (moved.gate == Gate::Stop)
        return Outcome::Stopped;
    return moved.failed || moved.gate == Gate::Lost || !closedWell ? Outcome::Failed : Outcome::Done;
}

// The file goes to a temporary name beside the target and takes its place only when it is whole,
// so a refused, failed or stopped upload leaves the server's copy as it was.
TransferEngine::Outcome TransferEngine::upload(const Job &job)
{
    const QPointer<TransferEngine> self(this);
    startBlocks(job.blockSize);
    // The local file first: nothing is done on the server for a file that cannot be read.
    UploadSource source(job.local);
    if (!source.open()) {
        m_host.openFailed(job.local);
        return Outcome::OpenFailed;
    }
    if (!pump() || !connectionUsable())
        return Outcome::Gone;
    FtpUploadTarget target(
        *m_session, job.remote, job.type,
        [this, self](const QString &text) {
            if (self)
                m_host.logEvent(text);
        },
        [this, self](const QString &question) { return self && replaceInPlace(question); });
    std::unique_ptr<FtpFile> file = openForUpload(job, target);
    if (!self)
        return Outcome::Gone;
    if (!file && !target.declined())
        return openFailure(job.remote);
    Outcome outcome = file ? sendAll(source, file) : Outcome::Failed;
    if (outcome == Outcome::Done)
        outcome = placeUpload(source, target, file);
    if (!self)
        return Outcome::Gone;
    target.end(); // also after a lost connection: the temporary file is then named in the log
    if (!self || outcome == Outcome::Gone)
        return Outcome::Gone;
    report(outcome);
    return outcome;
}

TransferEngine::Outcome TransferEngine::placeUpload(UploadSource &source, FtpUploadTarget &target,
                                                    std::unique_ptr<FtpFile> &file)
{
    const QPointer<TransferEngine> self(this);
    const FtpUploadTarget::Placed placed = target.place(source.size());
    if (!self || !connectionUsable())
        return Outcome::Gone;
    if (placed != FtpUploadTarget::Placed::Refused)
        return placed == FtpUploadTarget::Placed::Yes ? Outcome::Done : Outcome::Failed;
    // The server would not rename: the plain way, the whole file once more (asked for first).
    file = source.rewind() ? target.openDirect() : nullptr;
    if (!self)
        return Outcome::Gone;
    logReply();
    return file ? sendAll(source, file) : Outcome::Failed;
}

// Replacing a file in place risks the server's copy: asked once a run, the answer kept for the rest.
bool TransferEngine::replaceInPlace(const QString &question)
{
    if (m_replaceInPlace)
        return *m_replaceInPlace;
    const QPointer<TransferEngine> self(this);
    const int chosen = m_host.prompter().choose(
        question, {QStringLiteral("Replace in place"), QStringLiteral("Cancel")}, Prompter::Icon::Warning);
    if (!self)
        return false;
    m_replaceInPlace = chosen == 0;
    return *m_replaceInPlace;
}

// The blocks, then the close; a stopped upload is broken off, not completed.
TransferEngine::Outcome TransferEngine::sendAll(UploadSource &source, std::unique_ptr<FtpFile> &file)
{
    const QPointer<TransferEngine> self(this);
    m_bytesDone = 0;
    m_shownPercent = -1;
    const Moved moved = send(source, *file);
    if (moved.gate == Gate::Destroyed || !self)
        return Outcome::Gone;
    if (moved.gate == Gate::Stop)
        file->abort();
    const bool closed = closeRemote(file);
    if (!self)
        return Outcome::Gone;
    return decide(moved, closed);
}

TransferEngine::Moved TransferEngine::send(UploadSource &source, FtpFile &file)
{
    const QPointer<TransferEngine> self(this);
    const qint64 length = source.size();
    Moved moved;
    while (moved.bytes < length && (moved.gate = nextBlock()) == Gate::Go) {
        const char *block = nullptr;
        const qint64 n = source.next(block, qMin<qint64>(m_blockSize, length - moved.bytes));
        const bool sent = n > 0 && file.write(block, n) == n;
        if (!self)
            return {Gate::Destroyed};
        if (!sent) {
            moved.failed = true; // the local file shrank or failed, or the connection did
            break;
        }
        moved.bytes += n;
        if (!blockMoved(n, length))
            return {Gate::Destroyed};
    }
    return moved;
}

// A first open that fails may only lack the folders: they are made and the open tried once more,
// with the other temporary names and, as the last resort, the target's own name.
std::unique_ptr<FtpFile> TransferEngine::openForUpload(const Job &job, FtpUploadTarget &target)
{
    const QPointer<TransferEngine> self(this);
    std::unique_ptr<FtpFile> file = target.openFirst();
    if (!self)
        return nullptr;
    logReply();
    if (file || !pump() || !connectionUsable() || !m_session->isOpen())
        return file;
    makeRemoteFolders(job.remote);
    if (!self || !connectionUsable())
        return nullptr;
    file = target.open();
    if (!self)
        return nullptr;
    logReply();
    return file;
}

// "/a/b/c.txt" needs "/a" and "/a/b": made in that order, results not looked at, nothing logged.
void TransferEngine::makeRemoteFolders(const QString &remotePath)
{
    const QPointer<TransferEngine> self(this);
    for (qsizetype slash = remotePath.indexOf(QLatin1Char('/'), 1); slash > 0;
         slash = remotePath.indexOf(QLatin1Char('/'), slash + 1)) {
        if (!connectionUsable())
            return;
        m_session->createDirectory(remotePath.left(slash));
        if (!self || !pump())
            return;
    }
}

bool TransferEngine::closeRemote(std::unique_ptr<FtpFile> &file)
{
    const QPointer<TransferEngine> self(this);
    const bool closed = file->close();
    file.reset();
    if (self)
        logReply();
    return closed;
}

void TransferEngine::logReply()
{
    // After a disconnect the connection's last words are not the server's.
    if (connectionUsable())
        m_host.logReply(m_session->lastResponseInfo());
}

void TransferEngine::report(Outcome outcome)
{
    m_host.logEvent(outcome == Outcome::Failed    ? QStringLiteral("Transfer failed.")
                    : outcome == Outcome::Stopped ? QStringLiteral("Transfer stopped.")
                                                  : QStringLiteral("Transfer complete."));
}
