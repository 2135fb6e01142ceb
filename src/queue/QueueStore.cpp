#include "QueueStore.h"

#include <QFile>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>

namespace {

// The layout of the file; a later one migrates from this number up in QueueStore::setUp().
constexpr int kVersion = 1;

// state holds StoredEntry::State as a number: the order of that enum is part of the layout.
// Texts may be NULL: a null QString is bound as NULL and read back as one.
const char kCreate[] = "CREATE TABLE entry ("
                       " id INTEGER PRIMARY KEY,"
                       " position INTEGER NOT NULL," // order within the entry's list
                       " state INTEGER NOT NULL,"
                       " direction TEXT NOT NULL,"
                       " local_path TEXT,"
                       " remote_path TEXT,"
                       " size_text TEXT,"
                       " type TEXT,"
                       " time_text TEXT,"
                       " status TEXT,"
                       " bytes INTEGER NOT NULL,"
                       " bytes_done INTEGER NOT NULL DEFAULT 0,"
                       " reason TEXT,"
                       " ended_at INTEGER," // milliseconds since 1970 (UTC)
                       " seconds REAL NOT NULL DEFAULT 0)";
const char kColumns[] = "SELECT id, state, direction, local_path, remote_path, size_text, type, time_text, status,"
                        " bytes, bytes_done, reason, ended_at, seconds, position FROM entry";
const char kInsert[] = "INSERT INTO entry (position, state, direction, local_path, remote_path, size_text, type,"
                       " time_text, status, bytes) VALUES (?, 0, ?, ?, ?, ?, ?, ?, ?, ?)";
const char kStarted[] = "UPDATE entry SET state = 1 WHERE id = ?";
const char kProgress[] = "UPDATE entry SET bytes_done = ? WHERE id = ?";
const char kFailed[] = "UPDATE entry SET state = 2, reason = ?, ended_at = ?, position = ? WHERE id = ?";
const char kFinished[] =
    "UPDATE entry SET state = 3, bytes_done = ?, seconds = ?, ended_at = ?, position = ? WHERE id = ?";
const char kRequeue[] =
    "UPDATE entry SET state = 0, reason = NULL, ended_at = NULL, seconds = 0, position = ? WHERE id = ?";
const char kRemove[] = "DELETE FROM entry WHERE id = ?";

qint64 now()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

// The connection and its prepared statements; gone (and the file closed) with it.
struct QueueStore::Db
{
    QString name;
    QSqlDatabase db;
    QHash<const char *, QSqlQuery> statements; // keyed by the statement's text constant
    bool held = false;                         // a transaction stays open: writes join it

    explicit Db(const QString &file)
    {
        static std::atomic<int> count;
        name = QStringLiteral("vestrigal-queue-store-%1").arg(++count);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        // Another program holding the file is told at once, not after the default 5 s.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
    }
    ~Db()
    {
        if (held)
            db.commit();
        statements.clear();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    // Prepared at first use, then reused.
    QSqlQuery *prepared(const char *sql)
    {
        auto it = statements.find(sql);
        if (it == statements.end()) {
            QSqlQuery q(db);
            if (!q.prepare(QString::fromLatin1(sql)))
                return nullptr;
            it = statements.insert(sql, q);
        }
        return &it.value();
    }
    static bool run(QSqlQuery &q, const QVariantList &values)
    {
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values[i]);
        return q.exec();
    }
    // Runs a prepared statement; false unless it changed a row.
    bool write(const char *sql, const QVariantList &values)
    {
        QSqlQuery *q = prepared(sql);
        return q && run(*q, values) && q->numRowsAffected() > 0;
    }
    // All of it or none of it.
    bool inTransaction(const std::function<bool()> &work)
    {
        if (held) // inside the held one: it commits later, with the rest
            return work();
        if (!db.transaction())
            return false;
        if (work() && db.commit())
            return true;
        db.rollback();
        return false;
    }
};

QueueStore::QueueStore() = default;

QueueStore::~QueueStore() = default;

bool QueueStore::holdCommits()
{
    if (m_db && !m_db->held)
        m_db->held = m_db->db.transaction();
    return m_db && m_db->held;
}

bool QueueStore::commitHeld()
{
    if (!m_db || !m_db->held)
        return true;
    m_db->held = false;
    if (m_db->db.commit())
        return true;
    m_db->db.rollback();
    return false;
}

void QueueStore::close()
{
    m_db.reset();
    m_inMemory = false;
}

QList<qint64> QueueStore::add(const QList<QueueEntry> &entries)
{
    QList<qint64> ids;
    ids.reserve(entries.size());
    qint64 position = m_nextPosition;
    const bool added = m_db && m_db->inTransaction([&] {
        QSqlQuery *q = m_db->prepared(kInsert);
        for (const QueueEntry &e : entries) {
            if (!q || !Db::run(*q, {position++, QueueEntry::directionText(e.direction), e.localPath, e.remotePath,
                                    e.sizeText, e.type, e.time, e.status, e.bytes}))
                return false;
            ids.append(q->lastInsertId().toLongLong());
        }
        return true;
    });
    if (!added)
        return {};
    m_nextPosition = position;
    return ids;
}

bool QueueStore::started(qint64 id)
{
    return m_db && m_db->write(kStarted, {id});
}

bool QueueStore::progress(qint64 id, qint64 bytesDone)
{
    return m_db && m_db->write(kProgress, {bytesDone, id});
}

bool QueueStore::finished(qint64 id, qint64 bytes, double seconds)
{
    return m_db && m_db->write(kFinished, {bytes, seconds, now(), m_nextPosition++, id});
}

bool QueueStore::failed(qint64 id, const QString &reason)
{
    return m_db && m_db->write(kFailed, {reason, now(), m_nextPosition++, id});
}

bool QueueStore::requeue(const QList<qint64> &ids)
{
    return eachInTransaction(ids, true);
}

bool QueueStore::remove(const QList<qint64> &ids)
{
    return eachInTransaction(ids, false);
}

bool QueueStore::eachInTransaction(const QList<qint64> &ids, bool requeue)
{
    const qint64 position = m_nextPosition;
    const auto one = [&](qint64 id) {
        return requeue ? m_db->write(kRequeue, {m_nextPosition++, id}) : m_db->write(kRemove, {id});
    };
    if (m_db && m_db->inTransaction([&] { return std::all_of(ids.begin(), ids.end(), one); }))
        return true;
    m_nextPosition = position;
    return false;
}

bool QueueStore::clearFinished()
{
    QSqlQuery q(m_db ? m_db->db : QSqlDatabase());
    return q.exec(QStringLiteral("DELETE FROM entry WHERE state = 3"));
}

bool QueueStore::clearQueued()
{
    QSqlQuery q(m_db ? m_db->db : QSqlDatabase());
    return q.exec(QStringLiteral("DELETE FROM entry WHERE state IN (0, 1)"));
}

namespace {

struct Row
{
    qint64 position;
    StoredEntry stored;
};

// Rows come in the order they are stored, mostly that of their list already: sorting here is
// cheaper than having SQLite sort whole rows.
QList<StoredEntry> inOrder(std::vector<Row> &rows)
{
    const auto before = [](const Row &a, const Row &b) { return a.position < b.position; };
    if (!std::is_sorted(rows.begin(), rows.end(), before))
        std::sort(rows.begin(), rows.end(), before);
    QList<StoredEntry> list;
    list.reserve(qsizetype(rows.size()));
    for (Row &row : rows)
        list.append(std::move(row.stored));
    return list;
}

} // namespace

QueueStore::Lists QueueStore::load() const
{
    if (!m_db)
        return {};
    QSqlQuery q(m_db->db);
    q.setForwardOnly(true); // rows are not kept for going back: a large queue loads in one pass
    if (!q.exec(QString::fromLatin1(kColumns)))
        return {};
    std::vector<Row> queued, failed, finished;
    while (q.next()) {
        StoredEntry s;
        s.id = q.value(0).toLongLong();
        s.state = StoredEntry::State(q.value(1).toInt());
        s.entry = {q.value(3).toString(), q.value(4).toString(),  QueueEntry::directionOf(q.value(2).toString()),
                   q.value(5).toString(), q.value(6).toString(),  q.value(7).toString(),
                   q.value(8).toString(), q.value(9).toLongLong()};
        s.bytesDone = q.value(10).toLongLong();
        s.reason = q.value(11).toString();
        if (!q.value(12).isNull())
            s.endedAt = QDateTime::fromMSecsSinceEpoch(q.value(12).toLongLong());
        s.seconds = q.value(13).toDouble();
        (s.state == StoredEntry::State::Failed     ? failed
         : s.state == StoredEntry::State::Finished ? finished
                                                   : queued)
            .push_back({q.value(14).toLongLong(), std::move(s)});
    }
    return {inOrder(queued), inOrder(failed), inOrder(finished)};
}

// ---- opening ---------------------------------------------------------------------------------

QueueStore::Outcome QueueStore::outcomeOf(const QSqlError &error)
{
    // Extended codes carry the primary one in their low byte.
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return Outcome::Locked;
    case 11: // SQLITE_CORRUPT
    case 26: // SQLITE_NOTADB
        return Outcome::Damaged;
    default:
        return Outcome::Unavailable;
    }
}

QueueStore::Outcome QueueStore::open(const QString &path)
{
    close();
    m_message.clear();
    m_movedTo.clear();
    m_db = std::make_unique<Db>(path);
    Outcome outcome = m_db->db.open() ? setUp(true) : outcomeOf(m_db->db.lastError());
    if (outcome == Outcome::Opened)
        return outcome;
    close(); // the file is let go before it is moved
    if (outcome == Outcome::Damaged) {
        m_movedTo = moveAside(path);
        if (m_movedTo.isEmpty())
            outcome = Outcome::Unavailable;
    }
    m_message = outcome == Outcome::Damaged  ? damagedMessage(path, m_movedTo)
                : outcome == Outcome::Locked ? lockedMessage(path)
                                             : unavailableMessage(path);
    m_db = std::make_unique<Db>(QStringLiteral(":memory:"));
    if (m_db->db.open())
        setUp(false);
    m_inMemory = true;
    return outcome;
}

// Checks the file before anything is written to it, so that a damaged one is kept as it was.
QueueStore::Outcome QueueStore::setUp(bool onDisk)
{
    QSqlQuery q(m_db->db);
    const auto run = [&q](const QString &sql) { return q.exec(sql) && (!q.isSelect() || q.next()); };
    if (onDisk) {
        // Held by this store alone until it closes or its process ends, killed or not: two programs
        // running one queue would send every file twice.
        if (!run(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")) || !run(QStringLiteral("PRAGMA quick_check")))
            return outcomeOf(q.lastError());
        if (q.value(0).toString() != QLatin1String("ok"))
            return Outcome::Damaged;
    }
    if (!run(QStringLiteral("PRAGMA user_version")))
        return outcomeOf(q.lastError());
    const int version = q.value(0).toInt();
    if (!run(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return outcomeOf(q.lastError());
    if (version == 0 && q.value(0).toInt() != 0)
        return Outcome::Damaged; // another program's database
    // A later layout migrates here, from the version found up to its own.
    if (version != 0 && (version != kVersion || !q.prepare(QString::fromLatin1(kColumns))))
        return Outcome::Damaged; // a layout this program does not know
    // WAL: a commit appends to the -wal file with write() and returns; what was written is in the
    // system's cache, which a killed process cannot take with it, so synchronous=NORMAL (a disk sync
    // at checkpoints only) loses no commit when the program is killed. A power cut may lose the last
    // commits, never the file's consistency. FULL would sync at every progress step.
    if (onDisk && (!run(QStringLiteral("PRAGMA journal_mode = WAL")) || q.value(0).toString() != QLatin1String("wal") ||
                   !run(QStringLiteral("PRAGMA synchronous = NORMAL"))))
        return outcomeOf(q.lastError());
    if (version == 0 && !(m_db->db.transaction() && run(QString::fromLatin1(kCreate)) &&
                          run(QStringLiteral("PRAGMA user_version = %1").arg(kVersion)) && m_db->db.commit()))
        return outcomeOf(q.lastError());
    // What a program that ended without finishing left running is queued again, its bytes done kept.
    if (!run(QStringLiteral("UPDATE entry SET state = 0 WHERE state = 1")) ||
        !run(QStringLiteral("SELECT coalesce(max(position), 0) + 1 FROM entry")))
        return outcomeOf(q.lastError());
    m_nextPosition = q.value(0).toLongLong();
    return Outcome::Opened;
}

// Beside it under a name no file has, with its -wal and -shm files (SQLite finds them by name).
QString QueueStore::moveAside(const QString &path)
{
    const QString base =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFile::exists(target) || QFile::exists(target + QStringLiteral("-wal")); ++n)
        target = base + QStringLiteral("-%1").arg(n);
    if (!QFile::rename(path, target))
        return {};
    for (const char *suffix : {"-wal", "-shm"}) {
        if (QFile::exists(path + QLatin1String(suffix)))
            QFile::rename(path + QLatin1String(suffix), target + QLatin1String(suffix));
    }
    return target;
}

QString QueueStore::damagedMessage(const QString &path, const QString &movedTo)
{
    return QStringLiteral("The transfer queue file %1 was damaged; it was kept as %2, and the queue starts empty.")
        .arg(path, movedTo);
}

QString QueueStore::lockedMessage(const QString &path)
{
    return QStringLiteral("The transfer queue file %1 is in use by another program, so the queue starts empty "
                          "and will not be kept.")
        .arg(path);
}

QString QueueStore::unavailableMessage(const QString &path)
{
    return QStringLiteral("The transfer queue file %1 could not be opened, so the queue starts empty and will not "
                          "be kept.")
        .arg(path);
}
