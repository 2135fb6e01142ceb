// The queue where things go wrong or sit at an edge: a disk that fills up while a download is
// written, a stop in the middle, part names and permissions of the user's files, buffer sizes at
// their bounds, progress, totals, and the folder walks on deep trees.
#include "DownloadTarget.h"
#include "FtpSession.h"
#include "LocalFolderWalk.h"
#include "QueueModel.h"
#include "RemoteFolderWalk.h"
#include "ScriptedPrompter.h"
#include "TransferEngine.h"
#include "TransferHost.h"
#include "session/ScriptedFtpPeer.h"
#include "support/FileSizeLimit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

using Peer = ScriptedFtpPeer;

namespace {

class RecordingHost : public TransferHost
{
public:
    FtpSession *connection = nullptr;
    TransferSettings transfer{0, 0, 64 * 1024, 64 * 1024, {"txt"}};
    QStringList log;
    QStringList messages;
    QStringList foldersMade;
    ScriptedPrompter questions;

    FtpSession *session() override { return connection; }
    bool queueRunning() const override { return true; }
    TransferSettings settings() const override { return transfer; }
    void logEvent(const QString &text) override { log << text; }
    void logReply(const QString &reply) override { log << reply.trimmed(); }
    void showTotals() override {}
    void openFailed(const QString &path) override { messages << path; }
    Prompter &prompter() override { return questions; }
    void localFoldersMade(const QString &below) override { foldersMade << below; }
    void localFileWritten(const QString &) override {}
    void remoteQueueDone() override {}
    void idle() override {}
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void waitForEvents(int) override { QCoreApplication::processEvents(); }
};

FtpOptions optionsFor(const Peer &peer)
{
    FtpOptions options;
    options.host = "127.0.0.1";
    options.port = peer.port();
    options.user = "user";
    options.password = "pass-word";
    options.timeoutMs = 5000;
    return options;
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

QList<Peer::Step> sending(const QByteArray &data)
{
    return {Peer::reply("150 Sending.\r\n"), Peer::data(data), Peer::closeData(), Peer::reply("226 Done.\r\n")};
}

// One download through the engine, with the queue, host and session the test can look at after.
struct Download
{
    Peer peer;
    FtpSession session;
    QStandardItemModel rows;
    QueueModel queue{rows};
    RecordingHost host;
    TransferEngine engine{queue, host};

    bool start()
    {
        host.connection = &session;
        return session.open(optionsFor(peer));
    }
    void run(const QString &local, qint64 listed, const QString &remote = "/f.bin")
    {
        queue.append({local, remote, QueueEntry::Direction::Down, "", "", "-", "Pending", listed}, QIcon());
        engine.ProcessTransfer();
    }
    int verdicts() const { return host.log.count("Transfer complete.") + host.log.count("Transfer failed."); }
};

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestTransferFailures : public QObject
{
    Q_OBJECT

private slots:
    void downloadOnAFullDisk_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("room");
        // The part file is written in chunks of 1 MiB: the disk fills during the transfer, at the
        // very last write, and half way through the last write.
        QTest::newRow("full during the transfer") << 3 * 1024 * 1024 << 3 * 1024 * 1024 / 2;
        QTest::newRow("full at the last write") << 300 * 1024 << 100 * 1024;
        QTest::newRow("last write only partly done") << 1200 * 1024 << 1100 * 1024;
    }
    // "Transfer failed.", the part file gone, the user's old file untouched, the entry done with.
    void downloadOnAFullDisk()
    {
        QFETCH(int, size);
        QFETCH(int, room);
        Download d;
        const QByteArray remote(size, 'r');
        d.peer.on("RETR", sending(remote));
        QVERIFY(d.start());
        QTemporaryDir dir;
        const QString local = dir.filePath("f.bin");
        writeFile(local, "precious");
        {
            FileSizeLimit full{rlim_t(room)};
            QVERIFY(full.ok());
            d.run(local, size);
        }
        QCOMPARE(d.host.log.last(), QStringLiteral("Transfer failed."));
        QCOMPARE(d.verdicts(), 1);
        QCOMPARE(contentOf(local), QByteArray("precious"));
        QCOMPARE(filesIn(dir.path()), QStringList{"f.bin"});
        QCOMPARE(d.queue.count(), 0);
        QVERIFY(d.host.messages.isEmpty());
        QVERIFY(d.session.isOpen()); // the next entry can go on
    }

    // Stopped half way: with no old file the part becomes the file; with one, the old file stays
    // and the part is kept beside it under its own name.
    void stopInTheMiddle()
    {
        for (const bool hadFile : {false, true}) {
            Download d;
            d.host.transfer.downloadBufferSize = 4;
            d.peer.on("RETR", {Peer::reply("150 Sending.\r\n"), Peer::data("abcd"), Peer::wait(300), Peer::data("efgh"),
                               Peer::closeData(), Peer::reply("226 Done.\r\n")});
            QVERIFY(d.start());
            QObject::connect(&d.engine, &TransferEngine::progressed, &d.engine, [&d] { d.engine.stop(); });
            QTemporaryDir dir;
            const QString local = dir.filePath("f.bin");
            if (hadFile)
                writeFile(local, "precious");
            d.run(local, 8);
            QCOMPARE(d.queue.count(), 0);
            if (hadFile) {
                QCOMPARE(contentOf(local), QByteArray("precious"));
                QCOMPARE(contentOf(local + ".part"), QByteArray("abcd"));
                QVERIFY(d.host.log.contains("The part received was kept as " + local + ".part."));
            } else {
                QCOMPARE(contentOf(local), QByteArray("abcd"));
                QCOMPARE(filesIn(dir.path()), QStringList{"f.bin"});
            }
        }
    }

    // A file the user has under the part name is left alone; a replaced file keeps its mode; the
    // folders made for the download are reported from the topmost one down.
    void theUsersFilesAreRespected()
    {
        Download d;
        d.peer.on("RETR", sending("new content"));
        QVERIFY(d.start());
        QTemporaryDir dir;
        const QString local = dir.filePath("f.bin");
        writeFile(local, "old");
        writeFile(local + ".part", "mine");
        QVERIFY(QFile::setPermissions(local, QFile::ReadOwner | QFile::WriteOwner));
        d.run(local, 11);
        QCOMPARE(d.host.log.last(), QStringLiteral("Transfer complete."));
        QCOMPARE(contentOf(local), QByteArray("new content"));
        QCOMPARE(contentOf(local + ".part"), QByteArray("mine"));
        QCOMPARE(QFile::permissions(local) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(filesIn(dir.path()), (QStringList{"f.bin", "f.bin.part"}));

        const QString deep = dir.filePath("a/b/c/g.bin");
        d.run(deep, 11);
        QCOMPARE(contentOf(deep), QByteArray("new content"));
        QCOMPARE(d.host.foldersMade, QStringList{dir.path() + "/"});
    }

    // A part name is looked for among 100 ("name.part", "name.part2" ... "name.part100"), never more.
    void partNamesAtTheirBound()
    {
        QTemporaryDir dir;
        const QString local = dir.filePath("f.bin");
        writeFile(local + ".part", "taken");
        for (int n = 2; n <= 99; ++n)
            writeFile(local + ".part" + QString::number(n), "taken");
        {
            DownloadTarget target(local);
            QVERIFY(target.open());
            QCOMPARE(target.partPath(), local + ".part100");
            QVERIFY(target.finish(DownloadTarget::End::Failed));
        }
        writeFile(local + ".part100", "taken");
        DownloadTarget target(local);
        QVERIFY(!target.open());
        QCOMPARE(contentOf(local + ".part100"), QByteArray("taken"));
    }

    // A buffer size of 0 or 1 would mean "held" or "stop": the engine reads at least 2 bytes a block.
    void bufferSizesAtTheirLowerBound()
    {
        for (const qint32 size : {0, 1, 2, 3}) {
            Download d;
            d.host.transfer.downloadBufferSize = size;
            d.peer.on("RETR", sending("0123456789"));
            QVERIFY(d.start());
            QTemporaryDir dir;
            d.run(dir.filePath("f.bin"), 10);
            QVERIFY2(d.host.log.last() == "Transfer complete.", qPrintable(QString::number(size)));
            QCOMPARE(contentOf(dir.filePath("f.bin")), QByteArray("0123456789"));
        }
    }

    // The percentage moves with every block, not only at the end.
    void progressInSteps()
    {
        Download d;
        d.host.transfer.downloadBufferSize = 1000;
        d.peer.on("RETR", {Peer::reply("150 Sending.\r\n"), Peer::data(QByteArray(1000, 'a')), Peer::wait(30),
                           Peer::data(QByteArray(1000, 'b')), Peer::wait(30), Peer::data(QByteArray(2000, 'c')),
                           Peer::closeData(), Peer::reply("226 Done.\r\n")});
        QVERIFY(d.start());
        QSignalSpy progress(&d.engine, &TransferEngine::progressed);
        QTemporaryDir dir;
        d.run(dir.filePath("f.bin"), 4000);
        QList<int> percents;
        for (const QList<QVariant> &signal : progress)
            percents << signal.at(0).toInt();
        QCOMPARE(percents, (QList<int>{25, 50, 75, 100}));
    }

    // A connection that is gone before the transfer begins leaves the entry for the next one.
    void entryWaitsWhenTheConnectionGoes()
    {
        Download d;
        d.peer.on("TYPE", {Peer::closeControl()});
        QVERIFY(d.start());
        QTemporaryDir dir;
        d.run(dir.filePath("f.bin"), 10);
        QCOMPARE(d.queue.count(), 1);
        QVERIFY(!QFile::exists(dir.filePath("f.bin")));
    }

    void transferTypeFollowsTheSetting()
    {
        const QStringList ascii{"txt", "html"};
        QCOMPARE(TransferSettings::typeFor("a.txt", TransferSettings::Auto, ascii), FtpTransferType::Ascii);
        QCOMPARE(TransferSettings::typeFor("a.bin", TransferSettings::Auto, ascii), FtpTransferType::Binary);
        QCOMPARE(TransferSettings::typeFor("noext", TransferSettings::Auto, ascii), FtpTransferType::Binary);
        QCOMPARE(TransferSettings::typeFor("a.bin", TransferSettings::Ascii, ascii), FtpTransferType::Ascii);
        QCOMPARE(TransferSettings::typeFor("a.txt", TransferSettings::Binary, ascii), FtpTransferType::Binary);
    }

    // The totals follow rows removed several at once and a byte count changed in place.
    void totalsFollowTheRows()
    {
        QStandardItemModel rows;
        QueueModel queue(rows);
        for (const qint64 bytes : {1, 10, 100})
            queue.append({"/l", "/r", QueueEntry::Direction::Up, "", "", "-", "Pending", bytes}, QIcon());
        QCOMPARE(queue.totalsLine(true), QStringLiteral("Queue: Running 3 files, 111 bytes"));
        rows.removeRows(1, 2);
        QCOMPARE(queue.totalsLine(true), QStringLiteral("Queue: Running 1 files, 1 bytes"));
        const int bytesColumn = int(QueueModel::columnKeys().indexOf("tsize"));
        rows.item(0, bytesColumn)->setText("50");
        QCOMPARE(queue.totalsLine(false), QStringLiteral("Queue: Paused 1 files, 50 bytes"));
        queue.clear();
        QCOMPARE(queue.totalsLine(false), QStringLiteral("Queue: Paused 0 files, 0 bytes"));
    }

    // Deep trees are walked whole, without a depth bound; a link to a folder is not followed.
    void localWalkHasNoDepthBound()
    {
        QTemporaryDir dir;
        QTemporaryDir outside;
        writeFile(outside.filePath("secret"), "s");
        const int levels = 70;
        QString level = dir.path();
        for (int depth = 0; depth < levels; ++depth) {
            writeFile(level + "/f", "x");
            level += "/d";
            QVERIFY(QDir().mkdir(level));
        }
        QVERIFY(QFile::link(outside.path(), dir.filePath("link")));
        QStringList remotes;
        QVERIFY(LocalFolderWalk::walk(
            dir.path() + "/", "/up/",
            [&](const QString &, const QString &remote, const QFileInfo &) { remotes << remote; },
            [] { return true; }));
        QCOMPARE(remotes.size(), levels);
        QCOMPARE(remotes.first(), "/up/" + QString("d/").repeated(levels - 1) + "f");
        QVERIFY(!remotes.contains("/up/link/secret"));
    }

    // A folder that cannot be read (here: gone before the walk reaches it) is reported, and the
    // walk says it was not whole.
    void unreadableLocalFolderFailsTheWalk()
    {
        QTemporaryDir dir;
        QStringList problems;
        QVERIFY(!LocalFolderWalk::walk(
            dir.filePath("gone") + "/", "/up/", [](const QString &, const QString &, const QFileInfo &) {},
            [] { return true; }, [&](const QString &text) { problems << text; }));
        QCOMPARE(problems.size(), 1);
        QVERIFY(problems.first().contains("gone"));
    }

    // A server whose every folder holds itself again: the walk goes down until the local path
    // would be too long, then fails; names with control characters never become local names.
    void endlessRemoteTreeStopsAtThePathLimitAndSkipsUnsafeNames()
    {
        Peer peer;
        peer.on("LIST", sending("-rw-r--r-- 1 u g 5 Jan 01  2020 f\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 01  2020 bad\x1fname\r\n"
                                "-rw-r--r-- 1 u g 5 Jan 01  2020 a b\r\n"
                                "drwxr-xr-x 2 u g 4096 Jan 01  2020 " + QByteArray(50, 'd') + "\r\n"));
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        RemoteFolderWalk walker(session, [] { return true; });
        QStringList found, skipped, problems;
        QVERIFY(!walker.walk(
            "/top/", "/local/", [&](const QString &, const QString &local, const FtpEntry &) { found << local; },
            [&](const QString &remote) { skipped << remote; }, [&](const QString &text) { problems << text; }));
        QVERIFY(skipped.size() > 64); // deeper than any bound there was
        QVERIFY(found.size() >= 2 * skipped.size() - 2); // the last level ends at the limit
        QCOMPARE(problems.size(), 1);
        QVERIFY(found.contains("/local/a b"));
        QVERIFY(skipped.first().endsWith("bad\x1fname"));
    }
};

QTEST_MAIN(TestTransferFailures)
#include "tst_transfer_failures.moc"
