#include "TransferEngine.h"

#include "Prompter.h"
#include "QueueModel.h"
#include "TransferConnection.h"
#include "TransferHost.h"
#include "TransferRun.h"

#include <QScopedValueRollback>
#include <QTimer>

namespace {

bool sameServer(const FtpOptions &a, const FtpOptions &b)
{
    return a.protocol == b.protocol && a.host == b.host && a.port == b.port && a.user == b.user &&
           a.password == b.password && a.passive == b.passive && a.security == b.security && a.proxy == b.proxy &&
           a.trustedCertificate == b.trustedCertificate;
}

QString transferringText(int percent)
{
    return QString::number(percent) + QStringLiteral("% Transferring");
}

} // namespace

TransferEngine::TransferEngine(QueueModel &queue, TransferHost &host, QObject *parent)
    : QObject(parent), m_queue(queue), m_host(host)
{
}

// The window may be half gone: the connections close without a word to it.
TransferEngine::~TransferEngine()
{
    m_closing = true;
    for (TransferConnection *connection : findChildren<TransferConnection *>(Qt::FindDirectChildrenOnly)) {
        disconnect(connection, nullptr, this, nullptr);
        connection->stop();
        connection->closeLater();
    }
    qDeleteAll(findChildren<TransferConnection *>(Qt::FindDirectChildrenOnly));
}

int TransferEngine::connectionLimit() const
{
    return qBound(1, qMin(m_host.settings().simultaneous, m_serverLimit), MaxConnections);
}

const TransferEngine::Running *TransferEngine::runningAt(int row) const
{
    for (const Running &r : m_running)
        if (r.row.isValid() && r.row.row() == row)
            return &r;
    return nullptr;
}

bool TransferEngine::isCurrentRow(int row) const
{
    return runningAt(row) != nullptr;
}

QList<int> TransferEngine::runningRows() const
{
    QList<int> rows;
    for (const Running &r : m_running)
        if (r.row.isValid())
            rows.append(r.row.row());
    return rows;
}

qint64 TransferEngine::bytesDone() const
{
    qint64 done = 0;
    for (const Running &r : m_running)
        done += r.done;
    return done;
}

int TransferEngine::percentOf(int row) const
{
    const Running *r = runningAt(row);
    return r ? r->percent : -1;
}

qint32 TransferEngine::blockSizeOf(int row) const
{
    const Running *r = runningAt(row);
    return r ? r->job.blockSize : 0;
}

qint64 TransferEngine::bytesDoneOf(int row) const
{
    const Running *r = runningAt(row);
    return r ? r->done : 0;
}

void TransferEngine::ProcessTransfer()
{
    m_loginFailed = false;
    schedule();
}

void TransferEngine::schedule()
{
    if (m_scheduling || m_closing)
        return;
    const std::optional<FtpOptions> options = m_host.connectionOptions();
    if (options && m_options && !sameServer(*options, *m_options))
        closeAll(); // another server: nothing of the last one is reused
    if (options && !m_options) {
        m_options = options;
        m_serverLimit = MaxConnections;
        ++m_server;
    }
    {
        const QScopedValueRollback scheduling(m_scheduling, true);
        const TransferSettings settings = m_host.settings();
        const int limit = connectionLimit();
        for (int row = 0; options && !m_loginFailed && m_host.queueRunning(); ++row) {
            row = nextWaitingRow(row);
            TransferConnection *connection = row >= 0 ? freeConnection(limit) : nullptr;
            if (row >= 0 && !connection)
                connection = lookAheadConnection();
            if (!connection)
                break;
            if (!start(connection, row, settings))
                --row; // its row waits for an answer, or is gone: the same connection, the next row
        }
    }
    if (m_running.isEmpty())
        becameIdle();
}

int TransferEngine::nextWaitingRow(int from) const
{
    for (int row = from; row < m_queue.count(); ++row)
        if (!isCurrentRow(row) && !m_retries.isWaiting(row) && !isUnanswered(row))
            return row;
    return -1;
}

TransferConnection *TransferEngine::freeConnection(int limit)
{
    int busy = 0;
    for (const TransferConnection *connection : std::as_const(m_connections))
        busy += connection->isBusy() ? 1 : 0;
    if (busy >= limit)
        return nullptr;
    for (TransferConnection *connection : std::as_const(m_connections))
        if (!connection->isBusy() && !connection->isClosing())
            return connection;
    if (m_connections.size() >= limit)
        return nullptr;
    // The lowest number not in use: the log reads "[2]", "[3]" however often connections come and go.
    int number = 2;
    for (bool taken = true; taken; ++number) {
        taken = false;
        for (const TransferConnection *connection : std::as_const(m_connections))
            taken = taken || connection->number() == number;
        if (!taken)
            break;
    }
    auto *connection = new TransferConnection(number, *m_options, m_folders, this);
    connect(connection, &TransferConnection::saidLines, this, [this, connection](const QList<TransferHost::Line> &lines) {
        m_host.logConnection(connection->number(), lines);
    });
    connect(connection, &TransferConnection::progressed, this,
            [this, connection](qint64 done, int percent) { onProgressed(connection, done, percent); });
    connect(connection, &TransferConnection::localFoldersMade, this,
            [this](const QString &below) { m_host.localFoldersMade(below); });
    connect(connection, &TransferConnection::localFileWritten, this,
            [this](const QString &path) { m_host.localFileWritten(path); });
    connect(connection, &TransferConnection::asks, this,
            [this, connection](const QString &question) { onAsks(connection, question); });
    connect(connection, &TransferConnection::finished, this,
            [this, connection](TransferOutcome outcome, const QString &unopened, qint64 bytes, const QString &reason) {
                onFinished(connection, outcome, unopened, bytes, reason);
            });
    connect(connection, &TransferConnection::idleTooLong, this, [this, connection] { drop(connection); });
    m_connections.append(connection);
    return connection;
}

// A connection that has moved a file takes the next entry while its file still moves, so that
// it goes on at once instead of waiting for this thread between two files.
TransferConnection *TransferEngine::lookAheadConnection() const
{
    for (TransferConnection *connection : std::as_const(m_connections))
        if (connection->jobs() == 1 && connection->hasMoved() && !connection->isClosing())
            return connection;
    return nullptr;
}

bool TransferEngine::start(TransferConnection *connection, int row, const TransferSettings &settings)
{
    const QueueEntry entry = m_queue.entry(row);
    const bool up = entry.direction == QueueEntry::Direction::Up;
    TransferJob job{entry.localPath,
                    entry.remotePath,
                    entry.direction,
                    entry.bytes,
                    TransferSettings::typeFor(entry.localPath, up ? settings.uploadType : settings.downloadType,
                                              settings.asciiExtensions),
                    qMax<qint32>(2, up ? settings.uploadBufferSize : settings.downloadBufferSize)};
    if (!settleExisting(row, entry, job, settings))
        return false;
    job.retried = m_retries.mayRetry(row, settings.retries);
    m_running.append({connection, m_queue.handle(row), job});
    if (runningOn(connection) == &m_running.last())
        m_running.last().clock.start(); // one given behind another file begins when that one ends
    emit entryStarted(row);
    connection->start(job);
    return true;
}

TransferEngine::Running *TransferEngine::runningOn(const TransferConnection *connection)
{
    return const_cast<Running *>(std::as_const(*this).runningOn(connection));
}

// Files end in the order a connection was given them: the first of its entries is the one moving.
const TransferEngine::Running *TransferEngine::runningOn(const TransferConnection *connection) const
{
    for (const Running &r : m_running)
        if (r.connection == connection)
            return &r;
    return nullptr;
}

void TransferEngine::onProgressed(TransferConnection *connection, qint64 done, int percent)
{
    Running *r = runningOn(connection);
    if (!r)
        return;
    r->done = done;
    if (percent < 0 || percent == r->percent)
        return;
    r->percent = percent;
    if (!r->row.isValid())
        return;
    // A report that was on its way when the queue paused does not overwrite "42% Paused".
    if (m_host.queueRunning())
        m_queue.setStatus(r->row.row(), transferringText(percent));
    emit progressed(r->row.row(), percent, done);
}

void TransferEngine::onFinished(TransferConnection *connection, TransferOutcome outcome, const QString &unopened,
                                qint64 bytes, const QString &reason)
{
    Running *r = runningOn(connection);
    if (!r)
        return;
    r->done = bytes;
    const Running ended = *r;
    m_running.removeAt(r - m_running.data());
    if (Running *next = runningOn(connection))
        next->clock.start();
    m_movedBefore += ended.done;
    if (ended.job.discard) { // nothing of the queue's
        if (outcome == TransferOutcome::Unstarted || outcome == TransferOutcome::Refused)
            drop(connection);
        return schedule();
    }
    if (outcome == TransferOutcome::Unstarted) {
        drop(connection);
        m_loginFailed = true; // the server's reason is in the log; the entries wait
        return schedule();
    }
    if (outcome == TransferOutcome::Refused) {
        refused(connection);
        if (ended.row.isValid() && !m_running.isEmpty())
            return schedule(); // the entry waits for a connection that ends
        m_host.logConnection(connection->number(), {{TransferHost::LineKind::Note, QStringLiteral("Transfer failed.")}});
        outcome = TransferOutcome::Failed;
    }
    if (outcome == TransferOutcome::Stopped && m_closing && ended.done == 0)
        return; // not begun when the connections closed: the entry stays queued, to go on later
    if (*ended.job.transient && !m_closing && m_retries.take(ended.row, ended.job.remote, reason, m_host.settings())) {
        drop(connection); // the next attempt begins on a fresh connection
        return schedule();
    }
    m_retries.forget(ended.row);
    const bool failed = outcome == TransferOutcome::Failed || outcome == TransferOutcome::OpenFailed;
    const QString why = !failed ? QString() : reason.isEmpty() ? QStringLiteral("Transfer failed.") : reason;
    const bool listed = ended.row.isValid(); // not when the queue was cleared meanwhile
    const QueueEntry entry = listed ? m_queue.entry(ended.row.row()) : QueueEntry{};
    if (listed)
        emit entryEnding(ended.row.row(), outcome, ended.done, why);
    m_queue.remove(ended.row); // unless the queue was cleared meanwhile
    if (ended.job.direction == QueueEntry::Direction::Up && outcome != TransferOutcome::OpenFailed &&
        m_queue.count() == 0)
        m_host.remoteQueueDone();
    m_host.showTotals();
    emit entryEnded(outcome, ended.done, why);
    if (listed)
        keep(connection, ended, entry, outcome, why);
    schedule();
    // Last: the box names a file the failed list already holds.
    if (outcome == TransferOutcome::OpenFailed && !m_closing)
        m_host.openFailed(unopened);
}

// The server took no more connections: as many as it holds now are its limit for a while.
void TransferEngine::refused(TransferConnection *connection)
{
    drop(connection);
    int open = 0;
    for (const TransferConnection *other : std::as_const(m_connections))
        open += other->isClosing() ? 0 : 1;
    m_serverLimit = qMax(1, qMin(connectionLimit() - 1, open));
    m_host.logEvent(QStringLiteral("The server refused another connection: at most %1 transfer(s) at a time for "
                                   "the next 5 minutes.")
                        .arg(m_serverLimit));
    QTimer::singleShot(LimitRestoreMs, this, [this, server = m_server] {
        if (server != m_server)
            return;
        m_serverLimit = qMin(MaxConnections, m_serverLimit + 1);
        schedule();
    });
}

// A connection is let go: QUIT, and its thread ends; it leaves the list when it has.
void TransferEngine::drop(TransferConnection *connection)
{
    if (connection->isBusy())
        return;
    m_connections.removeOne(connection);
    connect(connection, &TransferConnection::closed, connection, &QObject::deleteLater);
    connection->closeLater();
}

// An upload that waited for its retry is cancelled: the temporary file its attempts left goes, on
// a connection free for it. Not at Disconnect: the entry stays, and its next attempt continues it.
void TransferEngine::discardLeftover(int row)
{
    const QueueEntry entry = m_queue.entry(row);
    if (m_closing || !m_options || entry.direction != QueueEntry::Direction::Up)
        return;
    TransferConnection *connection = freeConnection(connectionLimit());
    if (!connection)
        connection = lookAheadConnection();
    if (!connection)
        return;
    TransferJob job{entry.localPath, entry.remotePath, entry.direction, entry.bytes, FtpTransferType::Binary, 2};
    job.discard = true;
    m_running.append({connection, QPersistentModelIndex(), job});
    connection->start(job);
}

void TransferEngine::onAsks(TransferConnection *connection, const QString &question)
{
    if (m_replaceInPlace) {
        connection->answer(*m_replaceInPlace);
        return;
    }
    m_waitingForAnswer.append(connection);
    if (m_asking)
        return; // asked once: every connection that asks meanwhile gets the same answer
    m_asking = true;
    const int chosen = m_host.prompter().choose(
        question, {QStringLiteral("Replace in place"), QStringLiteral("Cancel")}, Prompter::Icon::Warning);
    m_asking = false;
    m_replaceInPlace = chosen == 0;
    for (const QPointer<TransferConnection> &waiting : std::exchange(m_waitingForAnswer, {}))
        if (waiting)
            waiting->answer(*m_replaceInPlace);
}

void TransferEngine::hold()
{
    for (const Running &r : std::as_const(m_running))
        r.job.steer(TransferRun::Held);
}

void TransferEngine::resume()
{
    m_retries.showWaits(); // not "Pending": they still wait
    const TransferSettings settings = m_host.settings();
    for (const Running &r : std::as_const(m_running))
        r.job.steer(qMax<qint32>(2, r.job.direction == QueueEntry::Direction::Up ? settings.uploadBufferSize
                                                                                 : settings.downloadBufferSize));
    ProcessTransfer();
}

void TransferEngine::stop()
{
    for (const Running &r : std::as_const(m_running))
        r.job.control->store(TransferRun::Stop);
    for (int row = 0; m_retries.anyWaiting() && row < m_queue.count(); ++row)
        if (m_retries.isWaiting(row))
            discardLeftover(row);
    m_retries.clear();
}

bool TransferEngine::stopRow(int row)
{
    if (m_retries.isWaiting(row))
        discardLeftover(row);
    m_retries.drop(row);
    for (const Running &r : std::as_const(m_running)) {
        if (r.row.isValid() && r.row.row() == row) {
            r.job.control->store(TransferRun::Stop);
            // One waiting behind another file ends without a word: its row can go now.
            return runningOn(r.connection) == &r;
        }
    }
    return false;
}

void TransferEngine::closeAll()
{
    if (m_closing)
        return;
    {
        const QScopedValueRollback closing(m_closing, true);
        stop();
        const QList<TransferConnection *> connections = std::exchange(m_connections, {});
        for (TransferConnection *connection : connections)
            connection->closeLater(); // all at once: each QUIT goes out while the others end
        for (TransferConnection *connection : connections)
            connection->close(); // what each said last reaches the log and the queue here
        m_running.clear();
        m_unanswered.clear(); // asked again when the queue starts again
        m_answered.clear();
        qDeleteAll(connections);
        m_options.reset();
        ++m_server;
    }
    becameIdle();
}

void TransferEngine::becameIdle()
{
    if (isActive())
        return;
    m_replaceInPlace.reset();
    m_forTheRest.reset();
    m_movedBefore = 0;
    m_host.showTotals();
    m_host.idle();
}
