// Several transfers at once, each on a connection of its own, against the real test server: a server
// that limits connections, two uploads into one new folder, a connection dropped mid-file, and the
// queue controls with four transfers running.
#include "FtpSession.h"
#include "TestFtpServer.h"
#include "support/QueueRun.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace TestSupport;

namespace {

// Each file its own content.
QByteArray content(qsizetype size, int seed)
{
    return QByteArray::number(seed) + pattern(size);
}

// A queue run at several transfers at once against a test server started with the given options.
struct Parallel : QueueRun
{
    TestFtpServer server;
    TempTree local;

    explicit Parallel(const QStringList &serverOptions, int simultaneous) : server(serverOptions)
    {
        host.transferSettings.simultaneous = simultaneous;
        open(FtpTestKit::options(server));
    }
    QStringList files(const QString &folder, int count, qsizetype size)
    {
        QStringList names;
        for (int i = 0; i < count; ++i) {
            names << QString("%1/f%2.bin").arg(folder).arg(i);
            server.writeFile(names.last(), content(size, i));
            download(local / names.last(), "/" + names.last(), content(size, i).size());
        }
        return names;
    }
};

} // namespace

class TestTransferConnections : public QObject
{
    Q_OBJECT

private slots:
    // Two connections allowed, one of them the browsing one: the second transfer connection is
    // refused, the limit goes down once, and all 50 files arrive over the one that is left.
    void aServerThatLimitsConnectionsGetsEveryFile()
    {
        Parallel p({"--max-connections", "2"}, 2);
        QVERIFY(p.server.isRunning());
        FtpSession browsing;
        QVERIFY(browsing.open(FtpTestKit::options(p.server)));
        const QStringList names = p.files("many", 50, 2000);
        p.run();
        QCOMPARE(p.queue.count(), 0);
        QCOMPARE(p.host.log.count("Transfer complete."), 50);
        QCOMPARE(p.host.log.filter("The server refused another connection").size(), 1);
        QCOMPARE(p.engine.connectionLimit(), 1);
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(contentOf(p.local / names[i]) == content(2000, i));
    }

    // Both need /new/deep: it is made once, and neither upload fails for the other's folder.
    void twoUploadsIntoOneNewFolder()
    {
        Parallel p({}, 2);
        QVERIFY(p.server.isRunning());
        p.upload(p.local.file("a.bin", content(300000, 1)), "/new/deep/a.bin");
        p.upload(p.local.file("b.bin", content(300000, 2)), "/new/deep/b.bin");
        p.run();
        QCOMPARE(p.host.log.count("Transfer complete."), 2);
        QCOMPARE(p.server.readFile("new/deep/a.bin"), content(300000, 1));
        QCOMPARE(p.server.readFile("new/deep/b.bin"), content(300000, 2));
    }

    // The server drops the connection of one download mid-file: that entry fails, its part kept for
    // another attempt, and the others arrive.
    void aConnectionDroppedMidFileFailsThatEntryOnly()
    {
        Parallel p({"--drop-retr-after", "100000"}, 2);
        QVERIFY(p.server.isRunning());
        QVERIFY(p.server.writeFile("big.bin", pattern(400000)));
        p.download(p.local / "big.bin", "/big.bin", 400000);
        const QStringList small = p.files("small", 4, 5000);
        p.run();
        QCOMPARE(p.host.log.count("Transfer failed."), 1);
        QCOMPARE(p.host.log.count("Transfer complete."), 4);
        QCOMPARE(namesIn(p.local.path()), (QStringList{"big.bin.part", "small"}));
        QCOMPARE(contentOf(p.local / small[3]), content(5000, 3));
    }

    // Four at once on a slow line: held, nothing moves; two stopped, the other two go on and arrive.
    void fourRunningHoldAndStop()
    {
        Parallel p({"--throttle", QString::number(256 * 1024)}, 4);
        QVERIFY(p.server.isRunning());
        p.host.transferSettings.downloadBufferSize = 1024;
        const QStringList names = p.files("four", 4, 512 * 1024);
        p.engine.ProcessTransfer();
        QTRY_VERIFY_WITH_TIMEOUT(p.engine.runningRows().size() == 4 && p.engine.bytesDone() > 0, 20000);
        p.engine.hold();
        qint64 held = -1;
        for (int settle = 0; settle < 10 && held != p.engine.bytesDone(); ++settle) {
            held = p.engine.bytesDone();
            QTest::qWait(500);
        }
        QTest::qWait(1000);
        QCOMPARE(p.engine.bytesDone(), held);
        QVERIFY(p.engine.stopRow(0) && p.engine.stopRow(2));
        p.engine.resume();
        p.run();
        QCOMPARE(p.host.log.count("Transfer stopped."), 2);
        QCOMPARE(p.host.log.count("Transfer complete."), 2);
        QCOMPARE(contentOf(p.local / names[1]), content(512 * 1024, 1));
        QCOMPARE(contentOf(p.local / names[3]), content(512 * 1024, 3));
        QVERIFY(QFileInfo(p.local / names[0]).size() < 512 * 1024);
    }

    // A connection that has moved a file is given the next one while its file moves. That next one
    // is not begun while the queue is held, and once stopped it goes without a command sent for it.
    void theFileGivenBehindAnotherWaitsAndGoes()
    {
        Parallel p({"--throttle", QString::number(256 * 1024)}, 1);
        QVERIFY(p.server.isRunning());
        const QStringList names = p.files("behind", 3, 128 * 1024);
        p.engine.ProcessTransfer();
        QTRY_VERIFY_WITH_TIMEOUT(p.engine.runningRows() == (QList<int>{0, 1}) && p.queue.count() == 2, 20000);
        p.engine.hold();
        QVERIFY(!p.engine.stopRow(1)); // not begun: its row goes at once
        p.queue.removeRow(1);
        p.engine.resume();
        p.run();
        QCOMPARE(p.host.log.count("Transfer complete."), 2);
        QCOMPARE(p.host.commands.filter(names[2]), QStringList());
        QCOMPARE(contentOf(p.local / names[1]), content(128 * 1024, 1));
    }

    void aFileNotBegunStaysQueuedWhenTheConnectionsClose()
    {
        Parallel p({"--throttle", QString::number(256 * 1024)}, 1);
        QVERIFY(p.server.isRunning());
        const QStringList names = p.files("closed", 3, 128 * 1024);
        p.engine.ProcessTransfer();
        QTRY_VERIFY_WITH_TIMEOUT(p.engine.runningRows() == (QList<int>{0, 1}) && p.queue.count() == 2, 20000);
        p.engine.closeAll(); // as when the server is lost: the queue goes on after reconnecting
        QVERIFY(!p.engine.isActive() && p.queue.count() >= 1);
        QCOMPARE(p.queue.entry(p.queue.count() - 1).remotePath, "/" + names[2]);
    }
};

QTEST_MAIN(TestTransferConnections)
#include "tst_transferconnections.moc"
