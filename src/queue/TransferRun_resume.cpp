// Continuing what an earlier attempt left: a download's part file, an upload's temporary file.
#include "TransferRun.h"

#include "DownloadTarget.h"
#include "RemoteSession.h"
#include "FtpUploadTarget.h"
#include "ListText.h"
#include "UploadSource.h"

namespace {

// A resumed download begins this much before the part's end: those bytes, received again, must
// match what the part holds, or the part is not the start of this file.
constexpr qint64 kOverlap = 4096;
// A smaller upload is sent whole again: asking the server what it holds costs about as much.
constexpr qint64 kUploadWorthAsking = 1024 * 1024;

const QString kServerFileChanged =
    QStringLiteral("The file on the server changed since the part was received: starting again from the beginning.");

} // namespace

// Where the part an earlier attempt left lets a download go on; 0 for the first byte. The server's
// size must still be the one listed (without SIZE the listed one stands, and the overlap decides).
qint64 TransferRun::resumePoint(const TransferJob &job, const DownloadTarget &target)
{
    const qint64 part = target.partSize();
    if (part <= kOverlap || job.type != FtpTransferType::Binary)
        return 0;
    const qint64 now = m_session.fileSize(job.remote);
    if ((now < 0 || now == job.size) && part < job.size)
        return part - kOverlap;
    if (m_session.isOpen())
        m_host.logEvent(kServerFileChanged);
    return 0;
}

// The part was not the start of this file after all: the file once more, from its first byte.
TransferRun::Moved TransferRun::receiveAgain(const TransferJob &job, DownloadTarget &target,
                                             std::unique_ptr<RemoteFile> &file)
{
    closeRemote(file);
    m_host.logEvent(kServerFileChanged);
    if (target.restart() && m_session.isOpen())
        file = openDownload(job, 0);
    return file ? receive(*file, target, job.size) : Moved{Gate::Go, true, 0};
}

// What an earlier attempt left under the temporary name, continued while the local file is the one
// queued. The name is this content's own: a file changed since that attempt is sent under another.
qint64 TransferRun::resumePoint(const TransferJob &job, const UploadSource &source, FtpUploadTarget &target)
{
    if (job.type != FtpTransferType::Binary || source.size() < kUploadWorthAsking)
        return 0;
    const qint64 there = m_session.fileSize(target.temporaryPath());
    if (there <= 0 || there >= source.size())
        return 0;
    if (source.size() == job.size)
        return there;
    m_host.logEvent(QStringLiteral("The local file changed since it was queued: starting again from the beginning."));
    return 0;
}

// An upload cancelled while it waited to be tried again: what its attempts left on the server goes.
TransferOutcome TransferRun::discardLeftover(const TransferJob &job)
{
    UploadSource source(job.local);
    if (source.open()) {
        FtpUploadTarget target(
            m_session, job.remote, job.type, [this](const QString &text) { m_host.logEvent(text); }, {},
            source.identity());
        if (m_session.fileSize(target.temporaryPath()) >= 0)
            m_session.deleteFile(target.temporaryPath());
    }
    return TransferOutcome::Stopped;
}

void TransferRun::logResume(qint64 asked, qint64 from)
{
    if (from > 0)
        m_host.logEvent(QStringLiteral("Resuming at %1 bytes.").arg(ListText::sizeText(from)));
    else if (asked > 0)
        m_host.logEvent(QStringLiteral("The server does not resume: starting again from the beginning."));
}

// Checked before the rename: a continued upload is whole only if the server now holds every byte.
bool TransferRun::storedWhole(const QString &path, qint64 size)
{
    const qint64 stored = m_session.isOpen() ? m_session.fileSize(path) : -1;
    if (stored == size)
        return true;
    if (m_session.isOpen())
        m_host.logEvent(m_reason = QStringLiteral("%1 holds %2 bytes, not %3: the upload failed.")
                                       .arg(path, ListText::sizeText(stored), ListText::sizeText(size)));
    return false;
}
