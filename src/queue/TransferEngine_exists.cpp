// A transfer whose target exists already: the user is asked, once for every entry that meets one
// while the question is open, and the entry waits for the answer while the others go on.
#include "TransferEngine.h"

#include "ListText.h"
#include "Prompter.h"
#include "QueueModel.h"
#include "TransferHost.h"

#include <QFileInfo>
#include <QScopedValueRollback>
#include <algorithm>

namespace {

const QString kWaiting = QStringLiteral("Waiting for an answer");

} // namespace

// Whether the entry starts now, its job set for the answer; false when it waits for the user or
// has ended (skipped).
bool TransferEngine::settleExisting(int row, const QueueEntry &entry, TransferJob &job,
                                    const TransferSettings &settings)
{
    std::optional<FileExists::Action> answer;
    for (qsizetype i = m_answered.size() - 1; i >= 0; --i) {
        if (m_answered[i].first.isValid() && m_answered[i].first.row() == row)
            answer = m_answered[i].second;
        if (!m_answered[i].first.isValid() || m_answered[i].first.row() == row)
            m_answered.removeAt(i);
    }
    const std::optional<FileExists::Facts> target = existingTarget(job);
    if (!target)
        return true;
    const auto action = answer ? *answer : m_forTheRest.value_or(FileExists::Action(settings.fileExists));
    if (action == FileExists::Action::Ask) {
        m_queue.setStatus(row, kWaiting);
        m_unanswered.append(m_queue.handle(row));
        // Asked from the event loop, not from here: other entries start while the question is open.
        if (!m_askingExists)
            QMetaObject::invokeMethod(this, &TransferEngine::askNext, Qt::QueuedConnection);
        return false;
    }
    const bool up = job.direction == QueueEntry::Direction::Up;
    const FileExists::Taken taken = [this, up](const QString &path) {
        return up ? m_host.remoteListed(path).has_value() : QFileInfo::exists(path);
    };
    return apply(FileExists::decide(action, sourceFacts(entry), *target, job.type == FtpTransferType::Binary,
                                    up ? job.remote : job.local, taken),
                 row, job);
}

// A download's local file; an upload's remote file as the listing shows it (no listing: none). An
// upload whose file has gone asks nothing: it fails to open as it would have.
std::optional<FileExists::Facts> TransferEngine::existingTarget(const TransferJob &job)
{
    if (job.direction == QueueEntry::Direction::Up)
        return QFileInfo(job.local).isFile() ? m_host.remoteListed(job.remote) : std::nullopt;
    const QFileInfo local(job.local);
    if (!local.isFile())
        return std::nullopt;
    return FileExists::Facts{local.size(), local.lastModified()};
}

FileExists::Facts TransferEngine::sourceFacts(const QueueEntry &entry) const
{
    if (entry.direction == QueueEntry::Direction::Up) {
        const QFileInfo local(entry.localPath);
        return {local.exists() ? local.size() : -1, local.lastModified()};
    }
    return {entry.bytes, ListText::dateOf(entry.time)};
}

bool TransferEngine::apply(const FileExists::Decision &decision, int row, TransferJob &job)
{
    using Kind = FileExists::Decision::Kind;
    QString &target = job.direction == QueueEntry::Direction::Up ? job.remote : job.local;
    if (decision.kind == Kind::Resume)
        job.resumeFrom = decision.from;
    if (decision.kind == Kind::Rename) {
        m_host.logEvent(QStringLiteral("%1 exists: sent to %2 instead.").arg(target, decision.path));
        target = decision.path;
    }
    if (decision.kind != Kind::Skip)
        return true;
    m_host.logEvent(QStringLiteral("%1 exists: skipped.").arg(target));
    m_queue.remove(m_queue.handle(row));
    m_host.showTotals();
    emit entryEnded(TransferOutcome::Skipped, 0, QString());
    return false;
}

bool TransferEngine::isActive() const
{
    return !m_running.isEmpty() || m_retries.anyWaiting() ||
           std::any_of(m_unanswered.cbegin(), m_unanswered.cend(), [](const auto &row) { return row.isValid(); });
}

bool TransferEngine::isUnanswered(int row) const
{
    for (const QPersistentModelIndex &waiting : m_unanswered)
        if (waiting.isValid() && waiting.row() == row)
            return true;
    return false;
}

// One question at a time; "Apply to the rest of this queue" answers every entry waiting, and those
// to come until the queue runs empty.
void TransferEngine::askNext()
{
    m_unanswered.removeIf([](const QPersistentModelIndex &row) { return !row.isValid(); });
    if (m_askingExists || m_closing)
        return;
    if (m_unanswered.isEmpty())
        return schedule(); // the rows waiting were removed
    const QPersistentModelIndex asked = m_unanswered.first();
    const QueueEntry entry = m_queue.entry(asked.row());
    TransferJob probe{entry.localPath, entry.remotePath, entry.direction};
    const std::optional<FileExists::Facts> target = existingTarget(probe);
    bool rest = false;
    int chosen = 0;
    {
        const QScopedValueRollback asking(m_askingExists, true);
        chosen = m_host.prompter().chooseWithCheck(
            FileExists::question(entry.direction == QueueEntry::Direction::Up ? entry.remotePath : entry.localPath,
                                 sourceFacts(entry), target.value_or(FileExists::Facts{})),
            FileExists::answerTexts(), FileExists::checkText(), rest, Prompter::Icon::Question);
    }
    const auto action = FileExists::Action(chosen + 1);
    if (rest)
        m_forTheRest = action;
    for (const QPersistentModelIndex &row : std::exchange(m_unanswered, {})) {
        if (row.isValid() && (rest || row == asked)) {
            m_answered.append({row, action});
            m_queue.setStatus(row.row(), m_host.queueRunning() ? QStringLiteral("Pending") : QStringLiteral("Paused"));
        } else if (row.isValid()) {
            m_unanswered.append(row);
        }
    }
    schedule();
    if (!m_unanswered.isEmpty())
        QMetaObject::invokeMethod(this, &TransferEngine::askNext, Qt::QueuedConnection);
}
