// The engine where things go wrong or sit at an edge, against a scripted server: downloads that end
// badly, stops, the user's files, buffer sizes at their bounds, a connection gone, names too long for
// the disk. And with the largest block size a real server's transfer holds and stops at once.
#include "config/ConfigChecks.h"
#include "TestFtpServer.h"
#include "session/ScriptedFtpPeer.h"
#include "support/FileSizeLimit.h"
#include "support/QueueRun.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <optional>
#include <tuple>

using Peer = ScriptedFtpPeer;
using Steps = QList<Peer::Step>;
using namespace TestSupport;

namespace {

// A download through the engine from a scripted peer, into a temporary folder.
struct Download : QueueRun
{
    Peer peer;
    TempTree dir;
    QString local = dir / "f.bin";

    Download() { peer.on("QUIT", {Peer::reply("221 Bye.\r\n")}); } // a connection let go goes at once
    bool start() { return open(peer.options()); }
    void get(const QString &to, qint64 listed, const QString &remote = "/f.bin")
    {
        download(to, remote, listed);
        run();
    }
};

} // namespace

class TestTransferEngine : public QObject
{
    Q_OBJECT

private slots:
    // A 4xx reply after part of the data, fewer bytes than listed or announced, a full disk: the
    // download fails and the user's old file stays; what arrived in binary stays in the part file for
    // the next attempt, other parts go; the next entry can go on. Only the 4xx is tried again.
    void downloadsThatEndBadlyFailAndKeepTheFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("listed");
        QTest::addColumn<Steps>("script");
        QTest::addColumn<int>("room");          // on the disk; 0 = enough
        QTest::addColumn<QByteArray>("result"); // the file afterwards; empty = the old one stays
        QTest::addColumn<QString>("reason");    // the failed entry's; empty: it finished
        const Steps lost = Peer::sending("partial", "150 Sending.\r\n", "426 Connection lost.\r\n");
        const QString shortBy = "Only 3 of 10 bytes arrived: the transfer is incomplete.";
        QTest::newRow("426 after part") << "f.bin" << qint64(7) << lost << 0 << QByteArray() << "426 Connection lost.";
        QTest::newRow("short of listed") << "f.bin" << qint64(10) << Peer::sending("abc") << 0 << QByteArray() << shortBy;
        QTest::newRow("ascii short of listed") << "f.txt" << qint64(10) << Peer::sending("a\r\nb") << 0 << QByteArray()
                                               << "Only 4 of 10 bytes arrived: the transfer is incomplete.";
        const Steps announced = Peer::sending("abc", "150 Sending f.bin (10 bytes).\r\n");
        QTest::newRow("short of the 150 reply") << "f.bin" << qint64(0) << announced << 0 << QByteArray() << shortBy;
        QTest::newRow("ascii is shorter") << "f.txt" << qint64(4) << Peer::sending("a\r\nb") << 0 << QByteArray("a\nb")
                                          << QString();
        // The part file is written in chunks of 1 MiB: the disk fills during the transfer, at the
        // very last write, and half way through the last write.
        for (const auto &[tag, size, room] : {std::tuple{"full during the transfer", 3 << 20, 3 << 19},
                                              std::tuple{"full at the last write", 300 << 10, 100 << 10},
                                              std::tuple{"last write only partly done", 1200 << 10, 1100 << 10}})
            QTest::newRow(tag) << "f.bin" << qint64(size) << Peer::sending(QByteArray(size, 'r')) << room
                               << QByteArray() << "Could not write ";
        const Steps fullThen426{Peer::reply("150 Sending.\r\n"), Peer::data(QByteArray(300 << 10, 'r')),
                                Peer::wait(300), Peer::closeData(), Peer::reply("426 Lost.\r\n")};
        QTest::newRow("full, then a 426") << "f.bin" << qint64(300 << 10) << fullThen426 << (100 << 10) << QByteArray()
                                          << "Could not write ";
    }
    void downloadsThatEndBadlyFailAndKeepTheFile()
    {
        QFETCH(QString, name);
        QFETCH(qint64, listed);
        QFETCH(Steps, script);
        QFETCH(int, room);
        QFETCH(QByteArray, result);
        QFETCH(QString, reason);
        Download d;
        d.host.transferSettings.retries = 1; // only the 426 may be mended by another attempt
        d.peer.on("RETR", script);
        QVERIFY(d.start());
        const QString local = d.dir.file(name, "precious");
        {
            std::optional<FileSizeLimit> full;
            if (room > 0)
                QVERIFY(full.emplace(rlim_t(room)).ok());
            d.get(local, listed, "/" + name);
        }
        QCOMPARE(d.queue.count(), 0);
        QVERIFY(d.host.messages.isEmpty());
        QCOMPARE(contentOf(local), result.isEmpty() ? QByteArray("precious") : result);
        const bool part = name.endsWith(".bin") && room == 0 && result.isEmpty();
        QCOMPARE(namesIn(d.dir.path()), part ? QStringList({name, name + ".part"}) : QStringList{name});
        QCOMPARE(d.verdict(), QString(result.isEmpty() ? "Transfer failed." : "Transfer complete."));
        QCOMPARE(d.verdicts(), listed == 7 ? 2 : 1);
        QCOMPARE(d.host.log.filter("Retrying").size(), listed == 7 ? 1 : 0);
        if (listed == 7)
            QVERIFY(d.host.log.contains("426 Connection lost."));
        // Kept for the failed list with its reason and a red line, or for the finished list.
        QCOMPARE(d.kept.size(), 1);
        QCOMPARE(d.kept[0].state, reason.isEmpty() ? StoredEntry::State::Finished : StoredEntry::State::Failed);
        QVERIFY2(d.kept[0].reason.startsWith(reason), qPrintable(d.kept[0].reason));
        // A disk that filled while the data came names the part file and the disk's own error.
        if (room > 0 && QByteArray(QTest::currentDataTag()) != "full, then a 426")
            QVERIFY2(d.kept[0].reason.startsWith("Could not write " + local + ".part: "), qPrintable(d.kept[0].reason));
        QCOMPARE(d.host.warnings.filter(" failed: "), reason.isEmpty() ? QStringList() : QStringList{"Transfer of /" + name + " failed: " + d.kept[0].reason});
    }

    // A small part left beside the file is started anew, never set beside another; a replaced file
    // keeps its mode; the folders made for the download are reported from the topmost one down.
    void theUsersFilesAreRespected()
    {
        Download d;
        d.peer.on("RETR", Peer::sending("new content"));
        QVERIFY(d.start());
        writeFile(d.local, "old");
        writeFile(d.local + ".part", "mine");
        QVERIFY(QFile::setPermissions(d.local, QFile::ReadOwner | QFile::WriteOwner));
        d.get(d.local, 11);
        QCOMPARE(d.verdict(), QString("Transfer complete."));
        QCOMPARE(contentOf(d.local), QByteArray("new content"));
        QCOMPARE(QFile::permissions(d.local) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(namesIn(d.dir.path()), QStringList{"f.bin"});

        d.get(d.dir / "a/b/c/g.bin", 11);
        QCOMPARE(contentOf(d.dir / "a/b/c/g.bin"), QByteArray("new content"));
        QCOMPARE(d.host.foldersMade, QStringList{d.dir.path() + "/"});
    }

    // A buffer size of 0 or 1 would mean "held" or "stop": the engine reads at least 2 bytes a block.
    // The percentage moves while the file arrives, not only at the end; a tenth of a second apart
    // at most, as the window's thread is woken at most that often.
    void bufferSizesAtTheirLowerBoundAndProgress()
    {
        for (const qint32 size : {0, 1, 2, 3}) {
            Download d;
            d.host.transferSettings.downloadBufferSize = size;
            d.peer.on("RETR", Peer::sending("0123456789"));
            QVERIFY(d.start());
            d.get(d.local, 10);
            QVERIFY2(d.verdict() == "Transfer complete.", qPrintable(QString::number(size)));
            QCOMPARE(contentOf(d.local), QByteArray("0123456789"));
        }
        Download d;
        d.host.transferSettings.downloadBufferSize = 1000;
        // 50 comes too soon after 25, and is reported while the next block is awaited; 75 too.
        d.peer.on("RETR", {Peer::reply("150 Sending.\r\n"), Peer::data(QByteArray(1000, 'a')), Peer::wait(30),
                           Peer::data(QByteArray(1000, 'b')), Peer::wait(150), Peer::data(QByteArray(1000, 'c')),
                           Peer::wait(150), Peer::data(QByteArray(1000, 'd')), Peer::closeData(), Peer::reply("226 Done.\r\n")});
        QVERIFY(d.start());
        QSignalSpy progress(&d.engine, &TransferEngine::progressed);
        d.get(d.local, 4000);
        QList<int> percents;
        for (const QList<QVariant> &signal : progress)
            percents << signal.at(1).toInt();
        QCOMPARE(percents.mid(0, 3), (QList<int>{25, 50, 75}));
    }

    // A transfer connection the server drops fails its entry only: the next one logs in again.
    void aDroppedConnectionFailsItsEntryOnly()
    {
        Download d;
        int retrs = 0;
        d.peer.onLine("RETR", [&](const QByteArray &) {
            return ++retrs == 1 ? Steps{Peer::closeControl()} : Peer::sending("0123456789");
        });
        QVERIFY(d.start());
        d.download(d.local, "/f.bin", 10);
        d.get(d.dir / "g.bin", 10);
        QCOMPARE(d.host.log.count("Transfer failed."), 1);
        QCOMPARE(d.verdict(), QString("Transfer complete."));
        QVERIFY(!QFile::exists(d.local));
        QCOMPARE(contentOf(d.dir / "g.bin"), QByteArray("0123456789"));
        QCOMPARE(d.queue.count(), 0);
        QCOMPARE(d.peer.count("USER"), 2);
    }

    // A 4xx reply is tried again after 5 s, then 10 s, each time on a fresh connection, until the
    // retries are used up; then the entry fails as it would have at once. A 5xx is never retried.
    void repliesForTheMomentAreRetriedOthersNot()
    {
        for (const auto &[reply, retries, attempts] :
             {std::tuple{"450 Busy.", 2, 3}, std::tuple{"550 No such file.", 3, 1}, std::tuple{"450 Busy.", 0, 1}}) {
            Download d;
            d.host.transferSettings.retries = retries;
            d.peer.on("RETR", {Peer::reply(QByteArray(reply) + "\r\n")});
            QVERIFY(d.start());
            d.get(d.local, 10);
            QStringList expected;
            for (int n = 1; n < attempts; ++n)
                expected << QString("Retrying /f.bin in %1 s (%2 of %3): %4").arg(n * 5).arg(n).arg(retries).arg(reply);
            QCOMPARE(d.host.log.filter("Retrying"), expected);
            QCOMPARE(d.peer.count("RETR"), attempts);
            QCOMPARE(d.peer.count("USER"), attempts);
            QCOMPARE(d.host.messages, QStringList{"/f.bin"}); // the one box, when it has failed for good
            QCOMPARE(d.queue.count(), 0);
            QVERIFY(!d.engine.isActive());
        }
    }

    // An entry waiting for its retry holds no connection: the next entry goes meanwhile. Clear
    // ends the wait, and the entry never starts again; so does Disconnect, the entry staying queued.
    void aWaitingRetryHoldsNothingAndEndsWithClearOrDisconnect()
    {
        for (const bool clear : {true, false}) {
            Download d;
            d.host.transferSettings.retries = 3;
            d.host.transferSettings.retryUnitMs = 100; // half a second's wait
            d.peer.onLine("RETR", [](const QByteArray &line) {
                return line.endsWith("f.bin") ? Steps{Peer::reply("450 Busy.\r\n")} : Peer::sending("0123456789");
            });
            QVERIFY(d.start());
            d.download(d.local, "/f.bin", 10);
            d.download(d.dir / "g.bin", "/g.bin", 10);
            d.engine.ProcessTransfer();
            QTRY_VERIFY(d.host.log.contains("Transfer complete."));
            QCOMPARE(d.queue.count(), 1);
            QCOMPARE(d.queue.status(0), QString("Retry in 5 s"));
            QVERIFY(d.engine.isActive());
            if (clear) {
                d.engine.stop();
                d.queue.clear();
            } else {
                d.engine.closeAll();
                d.host.server.reset();
                QCOMPARE(d.queue.status(0), QString("Pending"));
            }
            QVERIFY(!d.engine.isActive());
            QTest::qWait(700);
            QCOMPARE(d.peer.count("RETR"), 2);
        }
    }

    // A stop asked for while a block is on its way: not a byte of that block is written.
    void aBlockOnItsWayWhenStoppedIsNotWritten()
    {
        Download d;
        d.peer.on("RETR", {Peer::reply("150 Sending.\r\n"), Peer::data(QByteArray(1000, 'a')), Peer::wait(1000),
                           Peer::data(QByteArray(1000, 'b')), Peer::closeData(), Peer::reply("226 Done.\r\n")});
        QVERIFY(d.start());
        // Stopped while the connection waits for the second block, which comes a second later.
        QObject::connect(&d.engine, &TransferEngine::progressed, &d.engine,
                         [&] { QTimer::singleShot(300, &d.engine, [&] { d.engine.stop(); }); });
        d.get(d.local, 2000);
        QCOMPARE(d.verdict(), QString("Transfer stopped."));
        QCOMPARE(contentOf(d.local), QByteArray(1000, 'a'));
    }

    // Refused before the server is asked for anything: the user's message, a line saying why, and
    // that reason in the failed list; so is an upload whose local file has gone.
    void aLocalNameTooLongForTheDiskIsRefusedBeforeTheDownload()
    {
        Download d;
        d.peer.on("RETR", Peer::sending("data"));
        QVERIFY(d.start());
        const QString local = d.dir / QString(300, 'n');
        d.get(local, 4, "/f");
        QCOMPARE(d.host.messages, QStringList{local});
        QCOMPARE(d.host.log.filter("too long for the local file system").size(), 1);
        QVERIFY(!d.peer.commands().contains("RETR /f"));
        QCOMPARE(d.queue.count(), 0);
        d.upload(d.dir / "gone.bin", "/gone.bin");
        d.run();
        QCOMPARE(d.kept.size(), 2);
        QVERIFY2(d.kept[0].reason.contains("too long for the local file system"), qPrintable(d.kept[0].reason));
        QCOMPARE(d.kept[1].reason, "Could not open file " + d.dir / "gone.bin");
    }

    // A link lists the length of its target's path, a file may have shrunk since it was listed: the
    // size the server gives now is what the download is held to, the listed one only when there is none.
    void theServersSizeNowWinsOverTheListedOne()
    {
        Download d;
        d.peer.on("SIZE", {Peer::reply("213 10\r\n")});
        d.peer.on("RETR", Peer::sending("0123456789"));
        QVERIFY(d.start());
        d.get(d.local, 26);
        QCOMPARE(d.verdict(), QString("Transfer complete."));
        QCOMPARE(contentOf(d.local), QByteArray("0123456789"));
    }

    void theLargestBlockSizeHoldsAndStopsAtOnce_data()
    {
        QTest::addColumn<bool>("up");
        QTest::addColumn<bool>("hadFile");
        QTest::newRow("download: the part becomes the file") << false << false;
        QTest::newRow("download over a file: the part is kept beside it") << false << true;
        QTest::newRow("upload: the server's file stays") << true << true;
    }
    // Held after the first block, nothing moves until resumed; stopped, no byte arrives after what
    // was reported. A slow line keeps the transfer going while the test steers it.
    void theLargestBlockSizeHoldsAndStopsAtOnce()
    {
        QFETCH(bool, up);
        QFETCH(bool, hadFile);
        constexpr qint32 kBlock = ConfigChecks::MaxBufferSize;
        // An upload's first blocks go into the system's socket buffers at once: more of them.
        const QByteArray data = QByteArray((up ? 16 : 6) * kBlock, 'b');
        TestFtpServer server({"--throttle", QString::number(2 * kBlock)});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(server.writeFile("big.bin", up ? "precious" : data));
        QueueRun q;
        QVERIFY(q.open(FtpTestKit::options(server)));
        q.host.transferSettings = {TransferSettings::Binary, TransferSettings::Binary, kBlock, kBlock, {}, 1, 0, 1, 1};
        TempTree local;
        const QString file = local / "big.bin";
        if (up)
            q.upload(local.file("big.bin", data), "/big.bin");
        else
            q.download(hadFile ? local.file("big.bin", "precious") : file, "/big.bin", data.size());

        qint64 last = -1;
        QObject::connect(&q.engine, &TransferEngine::progressed, &q.engine, [&](int, int, qint64 bytes) {
            last = bytes;
        });
        q.engine.ProcessTransfer();
        QTRY_VERIFY_WITH_TIMEOUT(last > 0, 20000);
        q.engine.hold();
        qint64 held = -1;
        for (int settle = 0; settle < 10 && held != last; ++settle) { // a block on its way arrives
            held = last;
            QTest::qWait(1000);
        }
        QTest::qWait(1500); // then nothing more
        QCOMPARE(last, held);
        QVERIFY(held < data.size());
        q.engine.resume();
        QTRY_VERIFY_WITH_TIMEOUT(last > held, 20000);
        q.engine.stop();
        q.run();
        QVERIFY(last < data.size());
        QCOMPARE(q.queue.count(), 0);
        QVERIFY(q.host.log.contains("Transfer stopped."));
        if (up) { // no temporary file left either
            QCOMPARE(server.readFile("big.bin"), QByteArray("precious"));
            QCOMPARE(namesIn(server.rootPath()), QStringList{"big.bin"});
        } else { // what arrived is kept
            const QString kept = hadFile ? file + ".part" : file;
            QVERIFY(QFileInfo(kept).size() >= last && QFileInfo(kept).size() < data.size());
            QCOMPARE(contentOf(file), hadFile ? QByteArray("precious") : data.left(QFileInfo(file).size()));
            QCOMPARE(namesIn(local.path()), hadFile ? QStringList({"big.bin", "big.bin.part"}) : QStringList{"big.bin"});
            if (hadFile) {
                QVERIFY(q.host.log.contains("The part received was kept as " + file + ".part."));
            }
        }
    }
};

QTEST_MAIN(TestTransferEngine)
#include "tst_transferengine.moc"
