// The queue core without a server: the queue model and its totals, the transfer type, the
// download's part file and its names, the upload's reading and the local folder walk of any depth,
// on real temporary folders.
#include "DownloadTarget.h"
#include "EndedModel.h"
#include "LocalFolderWalk.h"
#include "OpenFailureBox.h"
#include "QueueModel.h"
#include "ScriptedPrompter.h"
#include "TransferProgress.h"
#include "TransferRetry.h"
#include "TransferSettings.h"
#include "UploadSource.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QIcon>
#include <QTest>

#include <cstring>
#include <tuple>

using namespace TestSupport;

namespace {

QueueEntry entry(const QString &name, qint64 bytes, QueueEntry::Direction d = QueueEntry::Direction::Down)
{
    return {"/l/" + name, "/r/" + name, d, QString::number(bytes), "type", "-", "Pending", bytes};
}

} // namespace

class TestQueueCore : public QObject
{
    Q_OBJECT

private slots:
    // Another attempt for a 4xx reply or a connection that went; never for a 5xx, a refusal of our
    // own (no reply, the connection stands), a local fault, or an attempt that did not fail.
    void whichFailuresAreRetried()
    {
        using O = TransferOutcome;
        const struct
        {
            O outcome;
            int code;
            bool lost, local, transient;
        } rows[] = {{O::Failed, 426, false, false, true},  {O::Failed, 400, false, false, true},
                    {O::Failed, 499, false, false, true},  {O::OpenFailed, 450, false, false, true},
                    {O::Failed, 0, true, false, true},     {O::Failed, 226, true, false, true},
                    {O::Failed, 500, false, false, false}, {O::OpenFailed, 550, false, false, false},
                    {O::Failed, 399, false, false, false}, {O::Failed, 0, false, false, false},
                    {O::Failed, 426, false, true, false},  {O::OpenFailed, 0, true, true, false},
                    {O::Stopped, 426, true, false, false}, {O::Done, 426, false, false, false},
                    {O::Refused, 421, true, false, false}, {O::Unstarted, 421, true, false, false}};
        for (const auto &r : rows)
            QVERIFY2(TransferRetry::isTransient({r.outcome, r.code, r.lost, r.local}) == r.transient,
                     qPrintable(QString("%1 %2 %3 %4").arg(int(r.outcome)).arg(r.code).arg(r.lost).arg(r.local)));
        QCOMPARE((QList<int>{TransferRetry::waitSeconds(1), TransferRetry::waitSeconds(2), TransferRetry::waitSeconds(3),
                             TransferRetry::waitSeconds(4), TransferRetry::waitSeconds(10)}),
                 (QList<int>{5, 10, 20, 20, 20}));
    }

    void modelKeepsTotalsAndHandlesThroughEveryChange()
    {
        QueueModel queue;
        int changes = 0, insertions = 0;
        connect(&queue, &QueueModel::changed, this, [&] { ++changes; });
        connect(&queue, &QAbstractItemModel::rowsInserted, this, [&] { ++insertions; });
        QCOMPARE(queue.totalsLine(true), QString("Queue: Running 0 files, 0 bytes"));
        auto cell = [&](int row, const QString &key) { // found by the key the header gives, as the list does
            for (int c = 0; c < queue.columnCount(); ++c)
                if (queue.headerData(c, Qt::Horizontal, Qt::UserRole) == key)
                    return queue.index(row, c).data().toString();
            return QString();
        };

        const qint64 big = 5LL << 30; // 5 GiB: no 32-bit wrap anywhere
        queue.append(entry("a", big), QIcon());
        queue.append({entry("b", 10, QueueEntry::Direction::Up), entry("c", 0)}, {});
        QCOMPARE(QStringList({cell(0, "tsize"), cell(1, "load"), cell(2, "sname")}),
                 QStringList({QString::number(big), "Up", "/r/c"}));
        QCOMPARE(queue.entry(1).localPath, QString("/l/b"));
        QCOMPARE(queue.entry(1).direction, QueueEntry::Direction::Up);
        QCOMPARE(queue.entry(0).bytes, big);
        QCOMPARE(queue.totalsLine(false), QString("Queue: Paused 3 files, %1 bytes").arg(big + 10));
        QCOMPARE(QList<int>({changes, insertions}), QList<int>({2, 2}));

        // Status texts do not touch the totals; a handle follows its row as others go.
        queue.setStatus(0, "42% Transferring");
        QCOMPARE(changes, 2);
        const QPersistentModelIndex c = queue.handle(2);
        queue.removeRow(0);
        QCOMPARE(queue.totalBytes(), 10);
        QCOMPARE(queue.entry(c.row()).remotePath, QString("/r/c"));
        QVERIFY(queue.remove(c));
        QVERIFY(!queue.remove(c));
        queue.removeRows(0, 1);
        QCOMPARE(queue.totalsLine(true), QString("Queue: Running 0 files, 0 bytes"));
        queue.append(entry("d", 5), QIcon());
        for (const qint64 bytes : {1, 10, 100}) // several rows at once, each with its own size
            queue.append(entry("e", bytes), QIcon());
        queue.removeRows(1, 2);
        QCOMPARE(queue.totalsLine(false), QString("Queue: Paused 2 files, 105 bytes"));
        queue.clear();
        QCOMPARE(queue.count(), 0);
        QCOMPARE(queue.totalBytes(), 0);
    }

    void transferTypeComparesTheExtensionExactlyAndSftpIsBinary()
    {
        const QStringList list = {"html", "txt", "xml"};
        const QList<std::tuple<QString, quint8, bool>> cases = {
            {"/x/notes.txt", TransferSettings::Auto, true},      {"/x/NOTES.TXT", TransferSettings::Auto, false},
            {"/x/archive.zip", TransferSettings::Auto, false},   {"/x/txt", TransferSettings::Auto, false},
            {"/x.txt/README", TransferSettings::Auto, false},    {"/x/archive.zip", TransferSettings::Ascii, true},
            {"/x/notes.txt", TransferSettings::Binary, false}};
        for (const auto &[path, setting, ascii] : cases) {
            const auto type = TransferSettings::typeFor(RemoteProtocol::Ftp, path, setting, list);
            QVERIFY2((type == FtpTransferType::Ascii) == ascii, qPrintable(path));
            // SFTP has no ASCII mode: binary whatever the setting.
            QCOMPARE(TransferSettings::typeFor(RemoteProtocol::Sftp, path, setting, list), FtpTransferType::Binary);
        }
    }

    void downloadTargetReplacesOnlyWithACompleteFile()
    {
        TempTree dir;
        const QString target = dir / "f.bin";
        QVERIFY(writeFile(target, "the old, longer content"));

        { // Complete: exactly the new bytes, through the part file.
            DownloadTarget t(target);
            QVERIFY(t.open());
            QCOMPARE(t.partPath(), target + ".part");
            QVERIFY(t.write("new", 3));
            QCOMPARE(contentOf(target), QByteArray("the old, longer content")); // untouched meanwhile
            QVERIFY(t.finish(DownloadTarget::End::Complete));
            QCOMPARE(t.resultPath(), target);
        }
        QCOMPARE(contentOf(target), QByteArray("new"));
        QVERIFY(!QFile::exists(target + ".part"));

        { // Failed: the file stays as it was, nothing is left beside it.
            DownloadTarget t(target);
            QVERIFY(t.open());
            QVERIFY(t.write("partial", 7));
            QVERIFY(t.finish(DownloadTarget::End::Failed));
        }
        QCOMPARE(contentOf(target), QByteArray("new"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"});

        { // A target never finished (the engine went away) is discarded too.
            DownloadTarget t(target);
            QVERIFY(t.open());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"});
    }

    void downloadTargetMakesFoldersAndKeepsAStoppedNewFile()
    {
        TempTree dir;
        const QString target = dir / "a/b/f.bin";
        DownloadTarget t(target);
        QVERIFY(t.open());
        QCOMPARE(t.madeBelow(), dir.path() + "/");
        QVERIFY(t.write("half", 4));
        QVERIFY(t.finish(DownloadTarget::End::Stopped));
        QCOMPARE(t.resultPath(), target);
        QCOMPARE(contentOf(target), QByteArray("half"));

        DownloadTarget again(target);
        QVERIFY(again.open());
        QVERIFY(again.madeBelow().isEmpty());
        // A folder where the file should go, or a file where a folder should go: no target.
        QVERIFY(!DownloadTarget(dir / "a/b").open());
        QVERIFY(!DownloadTarget(target + "/below").open());
    }

    // The engine reads straight into the part file's buffer, which starts small and grows: every
    // byte must land in order across the growth, a flush, and a block larger than the buffer.
    void downloadTargetTakesBlocksOfAnySizeInPlace()
    {
        TempTree dir;
        const QString target = dir / "f.bin";
        const QByteArray data = pattern(5 * 1024 * 1024 + 3);
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
        QCOMPARE(contentOf(target), data);

        // A file smaller than the first buffer, and an empty one.
        for (const QByteArray &small : {QByteArray("tiny"), QByteArray()}) {
            DownloadTarget s(target);
            QVERIFY(s.open());
            char *room = s.room(1024);
            QVERIFY(room);
            std::memcpy(room, small.constData(), size_t(small.size()));
            QVERIFY(s.kept(small.size()));
            QVERIFY(s.finish(DownloadTarget::End::Complete));
            QCOMPARE(contentOf(target), small);
        }
    }

    // A part continued from before its end: the bytes that arrive again are compared, not written
    // twice, in blocks of any size; other bytes are told, and the part then starts anew.
    void aPartIsContinuedWhereItMatches()
    {
        TempTree dir;
        const QString local = dir / "f.bin";
        const QByteArray data = pattern(10000);
        auto keep = [](DownloadTarget &t, const QByteArray &bytes) {
            std::memcpy(t.room(bytes.size()), bytes.constData(), size_t(bytes.size()));
            return t.kept(bytes.size());
        };
        for (const qsizetype block : {1, 700, 5000}) {
            DownloadTarget t(local);
            QVERIFY(writeFile(local + ".part", data.left(6000)) && t.open(4000));
            for (qsizetype at = 4000; at < data.size(); at += block)
                QVERIFY(keep(t, data.mid(at, block)));
            QVERIFY(t.finish(DownloadTarget::End::Complete) && contentOf(local) == data);
        }
        DownloadTarget t(local);
        QVERIFY(writeFile(local + ".part", "old bytes") && t.open(4) && keep(t, "by") && !keep(t, "ix"));
        QVERIFY(t.mismatched() && t.restart() && keep(t, "new") && t.finish(DownloadTarget::End::Complete));
        QCOMPARE(namesIn(dir.path()), QStringList{"f.bin"});
        QCOMPARE(contentOf(local), QByteArray("new"));
    }

    // Whole files go through the engine's upload tests; here the ends: smaller than any block, empty.
    void uploadSourceAtItsEnds()
    {
        TempTree dir;
        UploadSource small(dir.file("small.bin", "small"));
        QVERIFY(small.open());
        QCOMPARE(small.size(), 5);
        char block[1000];
        QCOMPARE(small.read(block, sizeof block), 5);
        QCOMPARE(QByteArray(block, 5), QByteArray("small"));
        QCOMPARE(small.read(block, sizeof block), 0);
        QVERIFY(small.rewind());
        QCOMPARE(small.read(block, 2), 2);
        UploadSource empty(dir.file("empty.bin", {}));
        QVERIFY(empty.open());
        QCOMPARE(empty.read(block, sizeof block), 0);
        QVERIFY(!UploadSource(dir / "missing").open());
        QVERIFY(!UploadSource(dir.path()).open());
    }

    // Every file once, hidden ones too, 300 folders deep; empty folders and links to folders (back up
    // the tree, or outside it) give nothing. A pump that says stop, or a folder that cannot be read
    // (here: gone), fails the walk; the latter is reported.
    void localWalkOfAnyDepth()
    {
        const int depth = 300;
        TempTree dir, outside;
        const QString root = dir.folder("top");
        writeFile(outside / "secret", "s");
        QVERIFY(QFile::link(outside.path(), root + "outside"));
        QVERIFY(QFile::link(root, root + "loop"));
        QVERIFY(writeFile(root + ".hidden", "") && writeFile(root + "b", "22"));
        dir.folder("top/empty/deeper");
        QString folder = root;
        for (int level = 0; level < depth; ++level, folder += "d/")
            QVERIFY(writeFile(folder + "a", "1"));
        QStringList found;
        int pumps = 0;
        const auto keep = [&](const QString &local, const QString &remote, const QFileInfo &file) {
            found << remote + "=" + QString::number(file.size());
            QVERIFY(local.startsWith(root));
        };
        QVERIFY(LocalFolderWalk::walk(root, "/r/", keep, [&] { return ++pumps > 0; }));
        QCOMPARE(found.size(), depth + 2);
        QVERIFY(found.contains("/r/.hidden=0") && found.contains("/r/b=2"));
        QVERIFY(found.contains("/r/" + QString("d/").repeated(depth - 1) + "a=1"));
        QVERIFY(pumps >= 4);

        QVERIFY(!LocalFolderWalk::walk(root, "/r/", keep, [] { return false; }));
        QStringList problems;
        QVERIFY(!LocalFolderWalk::walk(
            dir / "gone/", "/up/", keep, [] { return true; }, [&](const QString &text) { problems << text; }));
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.first().contains("gone"));
    }
    // A run of the queue as its samples come: 's' a sample (due: the status line is due, -1 not
    // looked at; rate: "-" not looked at), 'h' the transfer held, 'f' a file of `done` bytes done.
    void progressTextsThroughARun()
    {
        using P = TransferProgress;
        QCOMPARE(QStringList({P::durationText(0), P::durationText(42), P::durationText(3723), P::amountText(1),
                              P::amountText(1023), P::amountText(1536 * 1024), P::amountText(5LL << 40)}),
                 QStringList({"0:00", "0:42", "1:02:03", "1 byte", "1023 bytes", "1.5 MB", "5.0 TB"}));
        QCOMPARE(P::bytesOfText(1048576, 4294967296), QString("1 048 576 of 4 294 967 296 bytes"));
        constexpr qint64 M = 1 << 20;
        const std::tuple<char, qint64, qint64, qint64, int, const char *> steps[] = {
            {'s', 0, 0, 4 * M, 1, ""},    // no speed from one sample
            {'s', 400, M, 4 * M, 0, "-"}, // at most twice a second
            {'s', 1000, 2 * M, 4 * M, 1, "2.0 MB/s, 0:01 left"},
            {'s', 3000, 2 * M, 4 * M, -1, "-"},
            {'s', 6000, 3 * M, 4 * M, 1, "341.3 KB/s, 0:03 left"}, // the last seconds, not the whole file
            {'h', 0, 0, 0, -1, "-"},
            {'s', 60000, 3 * M, 4 * M, 1, ""}, // afresh after a pause
            {'f', 0, 4 * M, 0, -1, "-"},
            {'s', 6600, 0, 100, -1, ""}, // a new file starts its own measure
            {'f', 0, 100, 0, -1, "-"}};
        TransferProgress p;
        p.begin(0);
        for (const auto &[op, now, done, total, due, rate] : steps) {
            if (op == 's' && due >= 0)
                QCOMPARE(int(p.sample(now, done, total)), due);
            else if (op == 's')
                p.sample(now, done, total);
            op == 'h' ? p.held() : op == 'f' ? p.fileDone(done) : void();
            if (QString(rate) != "-")
                QCOMPARE(p.rateText(), QString(rate));
        }
        QCOMPARE(p.finish(7400), QString("Transferred 2 files, 4.0 MB in 0:07."));
        QVERIFY(!p.isRunning());
        p.begin(8000);
        QCOMPARE(p.finish(9000), QString()); // nothing moved, nothing said
        p.begin(0);
        p.fileFailed();
        p.fileFailed();
        QCOMPARE(p.finish(1000), QString("Transferred 0 files, 0 bytes in 0:01; 2 failed."));
    }

    // Rows removed from the failed list in any order, some twice or out of range, come back in list
    // order and the others stay; one box tells of the files that fail to open while it is up.
    void failedListAndTheOpenFailureBox()
    {
        EndedModel failed(EndedModel::Kind::Failed);
        for (const char *name : {"a", "b", "c", "d", "e"})
            failed.append({0, entry(name, 1), StoredEntry::State::Failed, 0, "550 No."});
        QStringList taken, left;
        for (const StoredEntry &e : failed.take({3, 1, 3, 9, -1}))
            taken << e.entry.localPath;
        for (const StoredEntry &e : failed.entries())
            left << e.entry.localPath;
        QCOMPARE(taken + left, QStringList({"/l/b", "/l/d", "/l/a", "/l/c", "/l/e"}));
        QCOMPARE(failed.title(), QString("Failed (3)"));

        ScriptedPrompter prompter;
        prompter.keepNoticesOpen = true;
        OpenFailureBox box(prompter);
        for (const char *path : {"/a", "/b", "/c"})
            box.failed(path);
        prompter.closeNotices();
        box.failed("/d");
        QCOMPARE(prompter.messageTexts(), QStringList({"Could not open file /a\n... and 2 more: see the Failed tab",
                                                       "Could not open file /d"}));
    }
};

QTEST_MAIN(TestQueueCore)
#include "tst_queuecore.moc"
