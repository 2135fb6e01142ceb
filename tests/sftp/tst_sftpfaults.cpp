// The SFTP session against a scripted server's hostile listings and broken connections.
#include "SftpTestKit.h"

#include "RemoteFolderWalk.h"
#include "ServerNames.h"

namespace {

// Sorts the entries by name and gives their names.
QStringList sortedNames(QList<FtpEntry> &entries)
{
    std::sort(entries.begin(), entries.end(), [](const FtpEntry &a, const FtpEntry &b) { return a.name < b.name; });
    QStringList names;
    for (const FtpEntry &e : entries)
        names << e.name;
    return names;
}

// A session to a scripted server started with args, logged in by open().
struct Scripted
{
    TestSftpScript server;
    Connected c{server};
    explicit Scripted(const QStringList &args, int timeoutMs = 10000) : server(args)
    {
        c.options.timeoutMs = timeoutMs;
    }
    bool open() { return server.isRunning() && c.open(server.user(), server.password()); }
};

} // namespace

class TestSftpFaults : public QObject
{
    Q_OBJECT
private slots:
    void listingsOfManyHostileAndLinkedNames();
    void brokenTransfersFailAndResume_data();
    void brokenTransfersFailAndResume();
    void stalledServerEndsByTimeLimitOrClose_data();
    void stalledServerEndsByTimeLimitOrClose();
};

void TestSftpFaults::listingsOfManyHostileAndLinkedNames()
{
    Scripted s({"--many", "10000", "--hostile-names", "--link-loop"});
    QVERIFY(QFile::link("hostile/with spaces.txt", s.server.pathOf("tofile")) &&
            QFile::link("loop", s.server.pathOf("tofolder")));
    QVERIFY2(s.open(), qPrintable(s.c.shown()));

    int ticks = 0; // the window's events go on while the listing is on its way
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    QList<FtpEntry> entries;
    QVERIFY(s.c.session.list("/many", QString(), entries));
    QVERIFY(ticks > 0);
    QCOMPARE(entries.size(), 10000);
    QCOMPARE(entries.last().name + ' ' + QString::number(entries.last().size), QStringLiteral("f09999 9999"));

    // Names that are paths or the folder itself never come out; a name with a newline does, and
    // the one function that makes local paths of server names refuses it.
    QVERIFY(s.c.session.list("/hostile", QString(), entries));
    QCOMPARE(sortedNames(entries), (QStringList{"Grüße ☃.txt", "new\nline.txt", "with spaces.txt"}));
    for (const FtpEntry &e : entries)
        QCOMPARE(ServerNames::localPathForServerName("/tmp/x/", e.name).has_value(), !e.name.contains('\n'));
    auto file = s.c.session.openFile("/hostile/Grüße ☃.txt", RemoteFile::Read, FtpTransferType::Binary);
    QVERIFY(file && readAll(*file) == QStringLiteral("Grüße ☃.txt\n").toUtf8() && file->close());

    QVERIFY(s.c.session.list("/", "to*", entries));
    QCOMPARE(sortedNames(entries), (QStringList{"tofile", "tofolder"}));
    QVERIFY(entries[0].isLink && !entries[0].isFolder && entries[1].isLink && entries[1].isFolder);
    QCOMPARE(entries[0].size, qint64(strlen("with spaces.txt\n"))); // the size of what it leads to

    // A link back to its own folder: listed as a link to a folder, and a walk over it leaves it out.
    QVERIFY(s.server.writeFile("loop/a.txt", "a") && s.c.session.list("/loop", QString(), entries));
    QCOMPARE(sortedNames(entries), (QStringList{"a.txt", "self"}));
    QVERIFY(entries[1].isLink && entries[1].isFolder);
    QStringList found;
    RemoteFolderWalk walk(s.c.session, [] { return true; });
    QVERIFY(walk.walk(
        "/loop/", "/tmp/walk/", [&](const QString &remote, auto &, auto &) { found << remote; },
        [](const QString &) {}));
    QCOMPARE(found, QStringList{"/loop/a.txt"});
}

void TestSftpFaults::brokenTransfersFailAndResume_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("received"); // what the server sends before the line goes down
    QTest::newRow("cut, short reads") << QStringList{"--cut-after", "100000", "--short-reads", "30000"} << 100000;
    QTest::newRow("closed mid-transfer") << QStringList{"--close-mid-transfer"} << 150000;
}

void TestSftpFaults::brokenTransfersFailAndResume()
{
    QFETCH(QStringList, args);
    QFETCH(int, received);
    Scripted s(args);
    const QByteArray data = pattern(300000);
    QVERIFY(s.server.writeFile("down.bin", data));
    QVERIFY2(s.open(), qPrintable(s.c.shown()));
    QSignalSpy closed(&s.c.session, &RemoteSession::connectionClosed);
    auto down = s.c.session.openFile("/down.bin", RemoteFile::Read, FtpTransferType::Binary);
    bool failed = false;
    QByteArray got = down ? readAll(*down, &failed) : QByteArray();
    QVERIFY(failed && !down->close() && !s.c.session.isOpen());
    // What the server sent last may be lost with the line, never more, nor other bytes.
    QVERIFY2(got.size() <= received && got == data.left(got.size()), qPrintable(QString::number(got.size())));
    QCOMPARE(s.c.session.lastReplyCode(), 421);
    QCOMPARE(closed.size(), 1);
    QCOMPARE(s.server.readFile("down.bin"), data);
    if (args[0] != "--cut-after")
        return;

    QVERIFY(s.open());
    down = s.c.session.openFile("/down.bin", RemoteFile::Read, FtpTransferType::Binary, got.size());
    QVERIFY(down);
    got += readAll(*down, nullptr, 100000); // blocks of a whole request and more
    QVERIFY2(down->close(), qPrintable(s.c.session.lastResponseInfo()));
    QCOMPARE(got, data);

    // An upload continues where the server's file ends.
    auto up = s.c.session.openFile("/up.bin", RemoteFile::Write, FtpTransferType::Binary);
    bool wrote = up != nullptr;
    for (int at = 0; at < data.size() && wrote; at += 30000)
        wrote = up->write(data.constData() + at, 30000) == 30000;
    QVERIFY(up && !(wrote && up->close()) && s.open());
    const qint64 there = s.c.session.fileSize("/up.bin");
    QVERIFY2(there >= received && there < data.size(), qPrintable(QString::number(there)));
    up = s.c.session.openFile("/up.bin", RemoteFile::Write, FtpTransferType::Binary, there);
    QVERIFY(up && up->write(data.constData() + there, data.size() - there) == data.size() - there && up->close());
    QCOMPARE(s.server.readFile("up.bin"), data);
}

void TestSftpFaults::stalledServerEndsByTimeLimitOrClose_data()
{
    QTest::addColumn<bool>("closeMeanwhile");
    QTest::newRow("time limit") << false;
    QTest::newRow("close() from an event") << true;
}

void TestSftpFaults::stalledServerEndsByTimeLimitOrClose()
{
    QFETCH(bool, closeMeanwhile);
    Scripted s({"--stall-after", "0"}, closeMeanwhile ? 60000 : 1500);
    QVERIFY(s.server.writeFile("file.bin", pattern(1000)));
    QVERIFY2(s.open(), qPrintable(s.c.shown()));
    auto file = s.c.session.openFile("/file.bin", RemoteFile::Read, FtpTransferType::Binary);
    QVERIFY(file);
    if (closeMeanwhile)
        QTimer::singleShot(300, &s.c.session, [&] { s.c.session.close(); });
    QElapsedTimer clock;
    clock.start();
    char buffer[100];
    QCOMPARE(file->read(buffer, sizeof buffer), -1);
    QVERIFY2(clock.elapsed() >= (closeMeanwhile ? 250 : 1400) && clock.elapsed() < 4000,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!file->close() && !s.c.session.isOpen());
    QVERIFY2(closeMeanwhile || s.c.session.lastResponseInfo().startsWith("421 Timeout"),
             qPrintable(s.c.session.lastResponseInfo()));
}

QTEST_MAIN(TestSftpFaults)
#include "tst_sftpfaults.moc"
