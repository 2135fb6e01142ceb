#include "TransferWorker.h"

#include "RemoteSessions.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>

namespace {

// A connection that has had no file for this long is asked whether it still stands before the
// next file: servers close idle connections.
constexpr qint64 kProbeAfterMs = 5000;
// Each report wakes the window's thread: a connection reports at most this often, so a queue of
// small files costs a report now and then, not one per block.
constexpr qint64 kReportEveryMs = 100;
// Lines go to the window's thread together, at most this long after the first of them: a small
// file's exchange is one wake-up of that thread instead of one per reply.
constexpr int kLinesEveryMs = 100;

} // namespace

TransferWorker::TransferWorker(const FtpOptions &options, RemoteFolderClaims &folders,
                               std::shared_ptr<TransferLines> lines)
    : m_options(options), m_folders(folders), m_lines(std::move(lines)),
      m_reportLater(new QTimer(this)), m_linesLater(new QTimer(this))
{
    m_reportLater->setSingleShot(true);
    connect(m_reportLater, &QTimer::timeout, this, &TransferWorker::report);
    m_linesLater->setSingleShot(true);
    connect(m_linesLater, &QTimer::timeout, this, &TransferWorker::linesWaiting);
}

bool TransferLines::add(TransferHost::Line line)
{
    const std::lock_guard lock(m_lock);
    m_lines.append(std::move(line));
    return m_lines.size() == 1;
}

QList<TransferHost::Line> TransferLines::take()
{
    const std::lock_guard lock(m_lock);
    return std::exchange(m_lines, {});
}

void TransferWorker::say(int kind, const QString &text)
{
    if (m_lines->add({TransferHost::LineKind(kind), text})) {
        m_linesSince.start();
        m_linesLater->start(kLinesEveryMs);
    }
}

// Before an end or a question: the connection takes the lines said so far with it.
void TransferWorker::linesGoWith()
{
    m_linesLater->stop();
}

TransferWorker::~TransferWorker() = default;

bool TransferWorker::give(const TransferJob &job)
{
    const std::lock_guard lock(m_jobsLock);
    m_jobs.append(job);
    return !std::exchange(m_taking, true);
}

std::optional<TransferJob> TransferWorker::nextJob()
{
    const std::lock_guard lock(m_jobsLock);
    if (m_jobs.isEmpty()) {
        m_taking = false; // the next file given needs a call of work()
        return std::nullopt;
    }
    return m_jobs.takeFirst();
}

void TransferWorker::work()
{
    if (m_running)
        return;
    m_running = true;
    while (const std::optional<TransferJob> job = nextJob())
        run(*job);
    m_running = false;
    if (m_quitAfterRun)
        quit();
}

void TransferWorker::run(const TransferJob &job)
{
    // A file given behind another waits while the queue is paused, before anything is opened,
    // and is let go without a word when it was stopped meanwhile.
    while (job.control->load() == TransferRun::Held && !m_quitAfterRun)
        waitWhileHeld(50);
    if (job.control->load() == TransferRun::Stop || m_quitAfterRun) {
        linesGoWith();
        emit finished(TransferOutcome::Stopped, QString(), 0, QString());
        return;
    }
    bool refused = false;
    if (!open(refused)) {
        linesGoWith();
        emit finished(refused ? TransferOutcome::Refused : TransferOutcome::Unstarted, QString(), 0, m_errorReply);
        return;
    }
    TransferRun transfer(*m_session, *this, *job.control, m_folders);
    m_bytesDone = 0;
    m_errorReply.clear();
    const TransferOutcome outcome = transfer.run(job);
    m_sinceUse.start();
    m_reportLater->stop(); // the end says how much moved
    linesGoWith();
    job.transient->store(transfer.transient(outcome));
    emit finished(outcome, transfer.unopened(), m_bytesDone, failureReason(outcome, transfer));
}

namespace {

// Called for every reply of every file: a scan from the end, no splitting.
QString lastLine(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1] == u'\r' || text[end - 1] == u'\n'))
        --end;
    qsizetype start = end;
    while (start > 0 && text[start - 1] != u'\r' && text[start - 1] != u'\n')
        --start;
    return QStringView(text).sliced(start, end - start).trimmed().toString();
}

// Else a refusal (4xx, 5xx) or the client's account of a failure (a short file, a lost connection).
bool positive(const QString &line)
{
    return line.size() >= 3 && line[0] >= u'1' && line[0] <= u'3' && line[1].isDigit() && line[2].isDigit();
}

} // namespace

// In one line for the failed list: the client's own reason, a local file that would not open, what
// ended the connection, the server's last refusal; in that order.
QString TransferWorker::failureReason(TransferOutcome outcome, const TransferRun &transfer) const
{
    if (outcome != TransferOutcome::Failed && outcome != TransferOutcome::OpenFailed)
        return {};
    if (!transfer.reason().isEmpty())
        return transfer.reason();
    if (m_session && m_session->lastReplyCode() == 0 && !lastLine(m_session->lastResponseInfo()).isEmpty())
        return lastLine(m_session->lastResponseInfo());
    if (!m_errorReply.isEmpty())
        return m_errorReply;
    return QStringLiteral("Transfer failed.");
}

// A 421 at login, or a 530 that names connections or users, is the server's limit, not a
// wrong password.
bool TransferWorker::limitReached(int code, const QString &reply)
{
    static const QRegularExpression tooMany(QStringLiteral("too many|connections|limit|users"),
                                            QRegularExpression::CaseInsensitiveOption);
    return code == 421 || (code == 530 && tooMany.match(reply).hasMatch());
}

bool TransferWorker::open(bool &refused)
{
    if (m_session && m_session->isOpen()) {
        if (!m_sinceUse.isValid() || m_sinceUse.elapsed() < kProbeAfterMs ||
            m_session->keepAlive())
            return true;
    }
    m_session = RemoteSessions::make(m_options.protocol);
    connect(m_session.get(), &RemoteSession::commandSent, this,
            [this](const QString &text) { say(RemoteSession::LogLine::Command, text); });
    connect(m_session.get(), &RemoteSession::notice, this,
            [this](const QString &text) { say(RemoteSession::LogLine::Note, text); });
    const bool opened = m_session->open(m_options);
    for (const RemoteSession::LogLine &line : m_session->loginLog())
        say(line.kind, line.text);
    if (opened)
        return true;
    refused = limitReached(m_session->lastReplyCode(), m_session->lastResponseInfo());
    m_errorReply = lastLine(m_session->lastResponseInfo());
    m_session.reset();
    return false;
}

void TransferWorker::quit()
{
    if (m_running) {
        m_quitAfterRun = true;
        return;
    }
    if (m_session && m_session->isOpen() && !m_session->isBusy())
        m_session->command(QStringLiteral("QUIT"));
    if (m_session)
        m_session->close();
    QThread::currentThread()->quit();
}

void TransferWorker::forceQuit()
{
    m_quitAfterRun = true;
    if (m_session)
        m_session->close();
    if (!m_running)
        QThread::currentThread()->quit();
}

void TransferWorker::moved(qint64 bytesDone, int percent)
{
    m_bytesDone = bytesDone;
    m_percent = percent;
    // A long file's blocks leave the event loop no turn: the lines said before it go from here.
    if (m_linesLater->isActive() && m_linesSince.elapsed() >= kLinesEveryMs) {
        m_linesLater->stop();
        emit linesWaiting();
    }
    const qint64 since = m_sinceReport.isValid() ? m_sinceReport.elapsed() : kReportEveryMs;
    if (since >= kReportEveryMs)
        report();
    else if (!m_reportLater->isActive())
        m_reportLater->start(int(kReportEveryMs - since));
}

void TransferWorker::report()
{
    m_reportLater->stop();
    m_sinceReport.start();
    emit progressed(m_bytesDone, m_percent);
}

void TransferWorker::logEvent(const QString &text)
{
    say(RemoteSession::LogLine::Note, text);
}

void TransferWorker::logReply(const QString &reply)
{
    if (reply.isEmpty())
        return;
    say(RemoteSession::LogLine::Reply, reply);
    if (const QString line = lastLine(reply); !positive(line))
        m_errorReply = line;
}

void TransferWorker::answer(bool yes)
{
    const std::lock_guard lock(m_lock);
    m_answer = yes;
    m_answered.notify_all();
}

void TransferWorker::cancelQuestions()
{
    const std::lock_guard lock(m_lock);
    m_noMoreQuestions = true;
    m_answered.notify_all();
}

bool TransferWorker::replaceInPlace(const QString &question)
{
    {
        const std::lock_guard lock(m_lock);
        if (m_noMoreQuestions)
            return false;
        m_answer.reset();
    }
    linesGoWith();
    emit asks(question);
    std::unique_lock lock(m_lock);
    m_answered.wait(lock, [this] { return m_answer.has_value() || m_noMoreQuestions; });
    return m_answer.value_or(false);
}

void TransferWorker::waitWhileHeld(int maxMs)
{
    QThread::msleep(quint32(maxMs) / 5);
    QCoreApplication::processEvents(QEventLoop::AllEvents, maxMs);
}
