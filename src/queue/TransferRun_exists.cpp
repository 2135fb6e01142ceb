// An upload onto a file the server holds, which the user chose to continue.
#include "TransferRun.h"

#include "RemoteSession.h"
#include "UploadSource.h"

// The server's file is the start of this one: the rest goes straight onto it from where the server
// says it ends, no temporary name (its bytes are already in place). Nothing when there is nothing
// to continue: the upload then goes the usual way, replacing the file whole.
std::optional<TransferOutcome> TransferRun::continueRemote(const TransferJob &job, UploadSource &source)
{
    if (job.resumeFrom <= 0 || job.type != FtpTransferType::Binary)
        return std::nullopt;
    const qint64 there = m_session.fileSize(job.remote);
    const qint64 from = there >= 0 ? there : job.resumeFrom;
    if (from <= 0 || from >= source.size() || !m_session.isOpen())
        return std::nullopt;
    std::unique_ptr<RemoteFile> file = m_session.openFile(job.remote, RemoteFile::Write, job.type, from);
    logReply();
    if (!file && m_session.isOpen())
        return openFailure(job.remote);
    TransferOutcome outcome = TransferOutcome::Failed;
    if (file) {
        logResume(from, file->offset());
        outcome = sendAll(source, file);
    }
    if (outcome == TransferOutcome::Done && m_from > 0 && !storedWhole(job.remote, source.size()))
        outcome = TransferOutcome::Failed;
    report(outcome);
    return outcome;
}
