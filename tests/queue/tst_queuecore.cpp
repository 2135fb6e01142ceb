// The queue core without a server: the queue model and its totals, the transfer type, the
// download's part file, the upload's reading and the local folder walk, on real temporary folders.
#include "DownloadTarget.h"
#include "LocalFolderWalk.h"
#include "QueueModel.h"
#include "TransferSettings.h"
#include "UploadSource.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

QueueEntry entry(const QString &name, qint64 bytes, QueueEntry::Direction d = QueueEntry::Direction::Down)
{
    return {"/l/" + name, "/r/" + name, d, QString::number(bytes), "type", "-", "Pending", bytes};
}

bool write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class TestQueueCore : public QObject
{
    Q_OBJECT

private slots:
    void modelFindsColumnsByKeyAndKeepsTotalsThroughEveryChange()
    {
        QStandardItemModel rows;
        // The list's own order differs from the usual one: columns are found by key.
        QStringList keys = QueueModel::columnKeys();
        std::reverse(keys.begin(), keys.end());
        rows.setColumnCount(keys.size());
        for (int c = 0; c < keys.size(); ++c)
            rows.setHeaderData(c, Qt::Horizontal, keys[c], Qt::UserRole);
        QueueModel queue(rows);
        int changes = 0;
        connect(&queue, &QueueModel::changed, this, [&] { ++changes; });
        QCOMPARE(queue.totalsLine(true), QString("Queue: Running 0 files, 0 bytes"));

        const qint64 big = 5LL << 30; // 5 GiB: no 32-bit wrap anywhere
        queue.append(entry("a", big), QIcon());
        queue.append(entry("b", 10, QueueEntry::Direction::Up), QIcon());
        queue.append(entry("c", 0), QIcon());
        QCOMPARE(rows.item(0, keys.indexOf("tsize"))->text(), QString::number(big));
        QCOMPARE(rows.item(1, keys.indexOf("load"))->text(), QString("Up"));
        QCOMPARE(queue.entry(1).localPath, QString("/l/b"));
        QCOMPARE(queue.entry(1).direction, QueueEntry::Direction::Up);
        QCOMPARE(queue.entry(0).bytes, big);
        QCOMPARE(queue.totalsLine(false), QString("Queue: Paused 3 files, %1 bytes").arg(big + 10));
        QCOMPARE(changes, 3);

        // Status texts do not touch the totals; a handle follows its row as others go.
        queue.setStatus(0, "42% Transferring");
        QCOMPARE(changes, 3);
        const QPersistentModelIndex c = queue.handle(2);
        queue.removeRow(0);
        QCOMPARE(queue.totalBytes(), 10);
        QCOMPARE(c.row(), 1);
        QVERIFY(queue.remove(c));
        QVERIFY(!queue.remove(c));
        // A byte count changed in place, rows removed by someone else, a reset.
        rows.item(0, keys.indexOf("tsize"))->setText("77");
        QCOMPARE(queue.totalBytes(), 77);
        rows.removeRows(0, 1);
        QCOMPARE(queue.totalsLine(true), QString("Queue: Running 0 files, 0 bytes"));
        queue.append(entry("d", 5), QIcon());
        queue.clear();
        QCOMPARE(queue.count(), 0);
        QCOMPARE(queue.totalBytes(), 0);
    }

    void transferTypeComparesTheExtensionExactly_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("setting");
        QTest::addColumn<bool>("ascii");
        QTest::newRow("listed") << "/x/notes.txt" << 0 << true;
        QTest::newRow("upper case") << "/x/NOTES.TXT" << 0 << false;
        QTest::newRow("not listed") << "/x/archive.zip" << 0 << false;
        QTest::newRow("no extension") << "/x/txt" << 0 << false;
        QTest::newRow("dot in folder") << "/x.txt/README" << 0 << false;
        QTest::newRow("ascii setting") << "/x/archive.zip" << 1 << true;
        QTest::newRow("binary setting") << "/x/notes.txt" << 2 << false;
    }
    void transferTypeComparesTheExtensionExactly()
    {
        QFETCH(QString, path);
        QFETCH(int, setting);
        QFETCH(bool, ascii);
        const QStringList list = {"html", "txt", "xml"};
        QCOMPARE(TransferSettings::typeFor(path, quint8(setting), list) == FtpTransferType::Ascii, ascii);
    }

    void downloadTargetReplacesOnlyWithACompleteFile()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("f.bin");
        QVERIFY(write(target, "the old, longer content"));

        { // Complete: exactly the new bytes, through the part file.
            DownloadTarget t(target);
            QVERIFY(t.open());
            QCOMPARE(t.partPath(), target + ".part");
            QVERIFY(t.write("new", 3));
            QCOMPARE(read(target), QByteArray("the old, longer content")); // untouched meanwhile
            QVERIFY(t.finish(DownloadTarget::End::Complete));
            QCOMPARE(t.resultPath(), target);
        }
        QCOMPARE(read(target), QByteArray("new"));
        QVERIFY(!QFile::exists(target + ".part"));

        { // Failed: the file stays as it was, nothing is left beside it.
            DownloadTarget t(target);
            QVERIFY(t.open());
            QVERIFY(t.write("partial", 7));
            QVERIFY(t.finish(DownloadTarget::End::Failed));
        }
        QCOMPARE(read(target), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"});

        { // A target never finished (the engine went away) is discarded too.
            DownloadTarget t(target);
            QVERIFY(t.open());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"});

        // Stopped over an existing file: the part stays beside it, under a free name.
        QVERIFY(write(target + ".part", "user's own file"));
        DownloadTarget stopped(target);
        QVERIFY(stopped.open());
        QCOMPARE(stopped.partPath(), target + ".part2");
        QVERIFY(stopped.write("half", 4));
        QVERIFY(stopped.finish(DownloadTarget::End::Stopped));
        QCOMPARE(stopped.resultPath(), target + ".part2");
        QCOMPARE(read(target), QByteArray("new"));
        QCOMPARE(read(target + ".part"), QByteArray("user's own file"));
        QCOMPARE(read(target + ".part2"), QByteArray("half"));
    }

    void downloadTargetMakesFoldersAndKeepsAStoppedNewFile()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("a/b/f.bin");
        DownloadTarget t(target);
        QVERIFY(t.open());
        QCOMPARE(t.madeBelow(), dir.path() + "/");
        // More than one chunk of the write buffer, in odd pieces.
        QByteArray data(3 * 1024 * 1024 + 17, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7);
        for (qsizetype at = 0; at < data.size(); at += 1000)
            QVERIFY(t.write(data.constData() + at, qMin<qsizetype>(1000, data.size() - at)));
        QVERIFY(t.finish(DownloadTarget::End::Stopped));
        QCOMPARE(t.resultPath(), target);
        QCOMPARE(read(target), data);

        DownloadTarget again(target);
        QVERIFY(again.open());
        QVERIFY(again.madeBelow().isEmpty());
        // A folder where the file should go, or a file where a folder should go: no target.
        QVERIFY(!DownloadTarget(dir.filePath("a/b")).open());
        QVERIFY(!DownloadTarget(target + "/below").open());
    }

    // The engine reads straight into the part file's buffer, which starts small and grows: every
    // byte must land in order across the growth, a flush, and a block larger than the buffer.
    void downloadTargetTakesBlocksOfAnySizeInPlace()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath("f.bin");
        QByteArray data(5 * 1024 * 1024 + 3, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char((i * 13) ^ (i >> 11));
        DownloadTarget t(target);
        QVERIFY(t.open());
        const qsizetype sizes[] = {100, 70'000, 1, 65'536, 200'000, 3 * 1024 * 1024, 1000, 4096};
        qsizetype at = 0;
        for (int i = 0; at < data.size(); ++i) {
            const qsizetype n = qMin(sizes[i % 8], data.size() - at);
            if (i % 5 == 4) { // now and then the copying way
                QVERIFY(t.write(data.constData() + at, n));
            } else {
                char *room = t.room(sizes[i % 8]); // as much room as a full block, fewer bytes kept
                QVERIFY(room);
                std::memcpy(room, data.constData() + at, size_t(n));
                QVERIFY(t.kept(n));
            }
            at += n;
        }
        QVERIFY(t.finish(DownloadTarget::End::Complete));
        QCOMPARE(read(target), data);

        // A file smaller than the first buffer, and an empty one.
        for (const QByteArray &small : {QByteArray("tiny"), QByteArray()}) {
            DownloadTarget s(target);
            QVERIFY(s.open());
            char *room = s.room(1024);
            QVERIFY(room);
            std::memcpy(room, small.constData(), size_t(small.size()));
            QVERIFY(s.kept(small.size()));
            QVERIFY(s.finish(DownloadTarget::End::Complete));
            QCOMPARE(read(target), small);
        }
    }

    void uploadSourceHandsOutTheFileInBlocks()
    {
        QTemporaryDir dir;
        QByteArray data(1024 * 1024 + 5, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i % 251);
        QVERIFY(write(dir.filePath("u.bin"), data));
        UploadSource source(dir.filePath("u.bin"));
        QVERIFY(source.open());
        QCOMPARE(source.size(), data.size());
        QByteArray got;
        char block[1000];
        for (qint64 n; (n = source.read(block, sizeof block)) > 0;)
            got.append(block, n);
        QCOMPARE(got, data);
        // Files smaller than any buffer: whole, then the end; an empty one ends at once.
        QVERIFY(write(dir.filePath("small.bin"), "small"));
        QVERIFY(write(dir.filePath("empty.bin"), {}));
        UploadSource small(dir.filePath("small.bin"));
        QVERIFY(small.open());
        QCOMPARE(small.read(block, sizeof block), 5);
        QCOMPARE(QByteArray(block, 5), QByteArray("small"));
        QCOMPARE(small.read(block, sizeof block), 0);
        QVERIFY(small.rewind());
        QCOMPARE(small.read(block, 2), 2);
        UploadSource empty(dir.filePath("empty.bin"));
        QVERIFY(empty.open());
        QCOMPARE(empty.read(block, sizeof block), 0);
        QVERIFY(!UploadSource(dir.filePath("missing")).open());
        QVERIFY(!UploadSource(dir.path()).open());
    }

    void localWalkFindsEveryFileOnceAndSkipsEmptyFoldersAndLinks()
    {
        QTemporaryDir dir;
        const QString root = dir.path() + "/top/";
        QVERIFY(write(root + "a", "1"));
        QVERIFY(write(root + "b", "22"));
        QVERIFY(write(root + "s/c", "333"));
        QVERIFY(write(root + ".hidden", ""));
        QVERIFY(QDir().mkpath(root + "empty/deeper"));
        QVERIFY(QFile::link(root, root + "s/loop")); // back up the tree
        QStringList found;
        int pumps = 0;
        const bool ended = LocalFolderWalk::walk(
            root, "/up/",
            [&](const QString &local, const QString &remote, const QFileInfo &file) {
                found << remote + "=" + QString::number(file.size());
                QVERIFY(local.startsWith(root));
            },
            [&] { return ++pumps > 0; });
        QVERIFY(ended);
        found.sort();
        QCOMPARE(found, QStringList({"/up/.hidden=0", "/up/a=1", "/up/b=2", "/up/s/c=3"}));
        QVERIFY(pumps >= 4);
        // A pump that says stop ends the walk as failed.
        QVERIFY(!LocalFolderWalk::walk(
            root, "/up/", [](auto, auto, auto) {}, [] { return false; }));
    }
};

QTEST_MAIN(TestQueueCore)
#include "tst_queuecore.moc"
