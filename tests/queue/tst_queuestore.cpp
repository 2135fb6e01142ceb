// The queue's store on disk: every field through a reopen, damaged and locked files, and a writer
// killed with SIGKILL (this binary run again with --write-queue FILE BATCH).
#include "QueueStore.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <unistd.h>

using namespace TestSupport;
using State = StoredEntry::State;

namespace {

QueueEntry entry(const QString &name, qint64 bytes, QueueEntry::Direction d = QueueEntry::Direction::Down)
{
    const QString status = bytes ? "Pending" : QString(); // an empty file has none yet: a null text is kept too
    return {"/home/ü/" + name, "/pub/" + name, d, QString::number(bytes), "Text", "07.12.2026 10:15", status, bytes};
}

auto fields(const QueueEntry &e)
{
    return std::tuple(e.localPath, e.remotePath, e.direction, e.sizeText, e.type, e.time, e.status, e.bytes);
}

QList<qint64> idsOf(const QList<StoredEntry> &list)
{
    QList<qint64> ids;
    for (const StoredEntry &s : list)
        ids.append(s.id);
    return ids;
}

// The child: adds batches until it is killed, printing each id once its add has returned.
int writeQueue(const QString &path, int batch)
{
    QueueStore store;
    if (store.open(path) != QueueStore::Outcome::Opened)
        return 2;
    for (int round = 0;; ++round) {
        const QList<qint64> ids = store.add(QList<QueueEntry>(batch, entry(QString("f%1.bin").arg(round), round)));
        if (ids.size() != batch || !store.started(ids[0]) || !store.progress(ids[0], round))
            return 3;
        QByteArray out; // in one write: the parent kills while an add runs, not while ids are printed
        for (const qint64 id : ids)
            out += QByteArray::number(id) + '\n';
        if (write(STDOUT_FILENO, out.constData(), out.size()) != out.size())
            return 4;
    }
}

// A queue of n entries at path, closed again.
bool queueOf(const QString &path, int n)
{
    QueueStore store;
    return store.open(path) == QueueStore::Outcome::Opened &&
           store.add(QList<QueueEntry>(n, entry("a-rather-long-name-to-fill-pages.dat", 1))).size() == n;
}

bool runSql(const QString &path, const QString &sql)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "sql");
        db.setDatabaseName(path);
        ok = db.open() && QSqlQuery(db).exec(sql);
    }
    QSqlDatabase::removeDatabase("sql");
    return ok;
}

} // namespace

class TestQueueStore : public QObject
{
    Q_OBJECT

private slots:
    void everyFieldAndStateOutlivesAReopen()
    {
        TempTree dir;
        QueueStore store;
        QCOMPARE(store.open(dir / "queue.sqlite"), QueueStore::Outcome::Opened);
        const QList<QueueEntry> added{entry("Grüße 日本.txt", 5LL << 32),
                                      entry("two\nlines", 0, QueueEntry::Direction::Up), entry("c", 10), entry("d", 20),
                                      entry("e", 30)};
        const QList<qint64> ids = store.add(added);
        QCOMPARE(ids.size(), 5);
        QVERIFY(store.started(ids[0]) && store.progress(ids[0], 4096) && store.started(ids[1]));
        QVERIFY(store.failed(ids[3], "550 Permission denied") && store.failed(ids[2], "Could not open file"));
        QVERIFY(store.finished(ids[1], 77, 1.5) && !store.progress(999, 1));
        QVERIFY(store.open(dir / "queue.sqlite") == QueueStore::Outcome::Opened && store.message().isEmpty());

        QueueStore::Lists lists = store.load();
        QCOMPARE(idsOf(lists.queued), QList<qint64>({ids[0], ids[4]}));
        QCOMPARE(idsOf(lists.failed), QList<qint64>({ids[3], ids[2]}));
        QCOMPARE(idsOf(lists.finished), QList<qint64>({ids[1]}));
        const StoredEntry &running = lists.queued[0], &failed = lists.failed[0], &done = lists.finished[0];
        QCOMPARE(fields(running.entry), fields(added[0]));
        QCOMPARE(fields(done.entry), fields(added[1]));
        QCOMPARE(std::tuple(running.state, running.bytesDone), std::tuple(State::Queued, 4096)); // left running
        QCOMPARE(std::tuple(failed.state, failed.reason), std::tuple(State::Failed, QString("550 Permission denied")));
        QCOMPARE(std::tuple(done.state, done.bytesDone, done.seconds), std::tuple(State::Finished, 77, 1.5));
        QVERIFY(qAbs(failed.endedAt.secsTo(QDateTime::currentDateTime())) < 60 && done.endedAt.isValid());

        // Retry goes to the end of the queue in the order asked, bytes done kept; the clears keep the other lists.
        QVERIFY(store.requeue({ids[2], ids[3]}) && !store.requeue({ids[4], 999}) && store.remove({ids[4]}));
        QVERIFY(store.clearFinished() && store.open(dir / "queue.sqlite") == QueueStore::Outcome::Opened);
        lists = store.load();
        QCOMPARE(idsOf(lists.queued), QList<qint64>({ids[0], ids[2], ids[3]}));
        QVERIFY(lists.failed.isEmpty() && lists.finished.isEmpty() && lists.queued[1].reason.isEmpty());
        QVERIFY(store.failed(ids[0], "421 Timeout") && store.clearQueued());
        QCOMPARE(idsOf(store.load().failed), QList<qint64>({ids[0]}));
        QCOMPARE(store.load().queued.size(), 0);
    }

    void damagedFilesAreKeptAsideAndTheQueueStartsEmpty_data()
    {
        QTest::addColumn<QByteArray>("text"); // the file is this text instead of a queue
        QTest::addColumn<QByteArray>("sql");  // run on the queue (or a new database) after the store closed it
        QTest::addColumn<int>("cut");         // bytes kept of the file; 0: all of it
        QTest::addColumn<QByteArray>("at32"); // then written at offset 32 (the first free page's number)
        QTest::newRow("text") << QByteArray("Not a database at all.\n") << QByteArray() << 0 << QByteArray();
        QTest::newRow("truncated") << QByteArray() << QByteArray() << 40000 << QByteArray();
        QTest::newRow("foreign") << QByteArray() << QByteArray("CREATE TABLE photos (name TEXT)") << 0 << QByteArray();
        QTest::newRow("newer") << QByteArray() << QByteArray("PRAGMA user_version = 9") << 0 << QByteArray();
        QTest::newRow("free pages") << QByteArray() << QByteArray("DELETE FROM entry") << 0
                                    << QByteArray("\x7f\xff\xff\xff");
    }
    void damagedFilesAreKeptAsideAndTheQueueStartsEmpty()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, sql);
        QFETCH(int, cut);
        QFETCH(QByteArray, at32);
        TempTree dir;
        const QString path = dir / "queue.sqlite";
        if (!text.isEmpty())
            QVERIFY(writeFile(path, text));
        else if (!sql.startsWith("CREATE"))
            QVERIFY(queueOf(path, 2000));
        if (!sql.isEmpty())
            QVERIFY(runSql(path, sql));
        if (cut)
            QVERIFY(QFile::resize(path, cut));
        QFile file(path);
        QVERIFY(at32.isEmpty() || (file.open(QIODevice::ReadWrite) && file.seek(32) && file.write(at32) == 4));
        file.close();
        const QByteArray content = contentOf(path);

        QueueStore store;
        QCOMPARE(store.open(path), QueueStore::Outcome::Damaged);
        QVERIFY(!QFile::exists(path) && store.movedTo().startsWith(path + ".damaged-") && store.inMemory());
        QCOMPARE(contentOf(store.movedTo()), content);
        QCOMPARE(store.message(), QueueStore::damagedMessage(path, store.movedTo()));
        QVERIFY(store.message().contains(path) && store.message().contains(store.movedTo()));
        QCOMPARE(store.add({entry("a", 1)}).size(), 1);
        QCOMPARE(store.load().queued.size(), 1);
        QueueStore next; // a new file where the damaged one was
        QVERIFY(next.open(path) == QueueStore::Outcome::Opened && next.load().queued.isEmpty());
    }

    void aFileHeldByAnotherProgramIsLeftAlone()
    {
        TempTree dir;
        const QString path = dir / "queue.sqlite";
        QVERIFY(queueOf(path, 1));
        {
            QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other");
            other.setDatabaseName(path);
            QVERIFY(other.open() && QSqlQuery(other).exec("BEGIN EXCLUSIVE"));
            const QByteArray content = contentOf(path);
            QueueStore store;
            QCOMPARE(store.open(path), QueueStore::Outcome::Locked);
            QVERIFY(store.inMemory() && store.message().contains(path) && store.movedTo().isEmpty());
            QCOMPARE(contentOf(path), content);
            QVERIFY(namesIn(dir.path()).filter("damaged").isEmpty());
            QVERIFY(store.add({entry("b", 1)}).size() == 1 && store.load().queued.size() == 1);
            other.close();
        }
        QSqlDatabase::removeDatabase("other");
        QueueStore store;
        QVERIFY(store.open(path) == QueueStore::Outcome::Opened && store.load().queued.size() == 1);
        QueueStore nowhere; // in a folder that is not there
        QCOMPARE(nowhere.open(dir / "gone/queue.sqlite"), QueueStore::Outcome::Unavailable);
        QVERIFY(nowhere.message().contains("gone/queue.sqlite") && nowhere.add({entry("c", 1)}).size() == 1);
    }

    // Whole adds or nothing of them, and every add that returned, whenever the writer is killed.
    void aKilledWriterLosesNoEntryWhoseAddReturned()
    {
        TempTree dir;
        const QString path = dir / "queue.sqlite";
        const int batch = 2000;
        QSet<qint64> printed;
        for (const int lines : {1, 3000, 9000}) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--write-queue", path, QString::number(batch)});
            QByteArray out;
            while (out.count('\n') < lines && child.waitForReadyRead(10000))
                out += child.readAllStandardOutput();
            QThread::msleep(5); // into the next add
            child.kill();
            QVERIFY(child.waitForFinished() && child.exitStatus() == QProcess::CrashExit);
            for (const QByteArray &line : (out + child.readAllStandardOutput()).split('\n'))
                if (!line.isEmpty())
                    printed.insert(line.toLongLong());
            QueueStore store;
            QCOMPARE(store.open(path), QueueStore::Outcome::Opened);
            const QList<qint64> ids = idsOf(store.load().queued);
            QVERIFY2(ids.size() % batch == 0, qPrintable(QString::number(ids.size())));
            QVERIFY(printed.size() >= lines && QSet<qint64>(ids.begin(), ids.end()).contains(printed));
        }
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--write-queue")
        return writeQueue(QString::fromLocal8Bit(argv[2]), atoi(argv[3]));
    TestQueueStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_queuestore.moc"
