#include "TransferConnection.h"

#include "TransferRun.h"
#include "TransferWorker.h"

#include <QCoreApplication>

namespace {

// How long closing waits for a file under way to stop by itself before the connection is cut.
constexpr int kGracefulMs = 3000;

} // namespace

void TransferJob::steer(qint32 value) const
{
    qint32 now = control->load();
    while (now != TransferRun::Stop && !control->compare_exchange_weak(now, value)) {
    }
}

TransferConnection::TransferConnection(int number, const FtpOptions &options, RemoteFolderClaims &folders,
                                       QObject *parent)
    : QObject(parent), m_number(number), m_lines(std::make_shared<TransferLines>()),
      m_worker(new TransferWorker(options, folders, m_lines))
{
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(&m_thread, &QThread::finished, this, &TransferConnection::closed);
    connect(m_worker, &TransferWorker::linesWaiting, this, &TransferConnection::passLines);
    connect(m_worker, &TransferWorker::progressed, this, &TransferConnection::progressed);
    connect(m_worker, &TransferWorker::localFoldersMade, this, &TransferConnection::localFoldersMade);
    connect(m_worker, &TransferWorker::asks, this, [this](const QString &question) {
        passLines(); // the lines said before the question come first
        emit asks(question);
    });
    connect(m_worker, &TransferWorker::finished, this, &TransferConnection::onFinished);
    m_idle.setSingleShot(true);
    m_idle.setInterval(IdleCloseMs);
    connect(&m_idle, &QTimer::timeout, this, &TransferConnection::idleTooLong);
    m_thread.setObjectName(QStringLiteral("transfer %1").arg(number));
    m_thread.start();
}

TransferConnection::~TransferConnection()
{
    endThread(true);
}

void TransferConnection::start(const TransferJob &job)
{
    m_jobs.append(job);
    m_idle.stop();
    // A file given while the one before moves is taken by the worker's loop: no wake-up of its thread.
    if (m_worker->give(job))
        QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->work(); }, Qt::QueuedConnection);
}

void TransferConnection::stop()
{
    for (const TransferJob &job : std::as_const(m_jobs))
        job.control->store(TransferRun::Stop);
}

void TransferConnection::answer(bool yes)
{
    if (!m_closing) // after that the worker answers its questions itself, and may be gone
        m_worker->answer(yes);
}

void TransferConnection::passLines()
{
    const QList<TransferHost::Line> lines = m_lines->take();
    if (!lines.isEmpty()) // an earlier call took them
        emit saidLines(lines);
}

void TransferConnection::onFinished(TransferOutcome outcome, const QString &unopened, qint64 bytes,
                                    const QString &reason)
{
    passLines(); // the file's last lines come with its end, in one wake-up of this thread
    // Files end in the order they were given. A download that got as far as its local file says
    // so here, with its end, rather than in a wake-up of this thread of its own.
    if (!m_jobs.isEmpty()) {
        const TransferJob job = m_jobs.takeFirst();
        if (job.direction == QueueEntry::Direction::Down && outcome != TransferOutcome::Unstarted &&
            outcome != TransferOutcome::Refused)
            emit localFileWritten(job.local);
    }
    if (outcome == TransferOutcome::Done)
        m_hasMoved = true;
    if (!m_closing && m_jobs.isEmpty())
        m_idle.start();
    emit finished(outcome, unopened, bytes, reason);
}

void TransferConnection::close()
{
    endThread(true);
}

void TransferConnection::closeLater()
{
    endThread(false);
}

void TransferConnection::endThread(bool wait)
{
    if (!m_closing) {
        m_closing = true;
        m_idle.stop();
        stop();
        m_worker->cancelQuestions();
        QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->quit(); }, Qt::QueuedConnection);
    }
    if (!wait || m_thread.isFinished())
        return;
    if (!m_thread.wait(kGracefulMs)) {
        QMetaObject::invokeMethod(m_worker, [worker = m_worker] { worker->forceQuit(); }, Qt::QueuedConnection);
        m_thread.wait(); // the cut ends any wait on the server within one slice
    }
    // What the connection said before it ended reaches the log and the queue now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    passLines();
}
