// What the engine keeps of an entry that has ended: the failed and finished lists, and a red line.
#include "TransferEngine.h"

#include "TransferConnection.h"
#include "TransferHost.h"

void TransferEngine::keep(const TransferConnection *connection, const Running &ended, const QueueEntry &entry,
                          TransferOutcome outcome, const QString &reason)
{
    const bool failed = outcome == TransferOutcome::Failed || outcome == TransferOutcome::OpenFailed;
    if (!failed && outcome != TransferOutcome::Done)
        return; // stopped: the user's doing, in neither list
    StoredEntry kept;
    kept.entry = entry;
    kept.entry.status.clear();
    kept.state = failed ? StoredEntry::State::Failed : StoredEntry::State::Finished;
    kept.bytesDone = ended.done;
    kept.endedAt = QDateTime::currentDateTimeUtc(); // local time costs a time-zone lookup: done when drawn
    if (failed) {
        kept.reason = reason.isEmpty() ? QStringLiteral("Transfer failed.") : reason;
        const QString &source = entry.direction == QueueEntry::Direction::Up ? entry.localPath : entry.remotePath;
        m_host.logConnection(connection->number(),
                             {{TransferHost::LineKind::Warning,
                               QStringLiteral("Transfer of %1 failed: %2").arg(source, kept.reason)}});
    } else {
        kept.seconds = ended.clock.isValid() ? double(ended.clock.elapsed()) / 1000.0 : 0;
    }
    emit entryKept(kept);
}
