// The queue against servers and trees that test its trust: uploads that never cost the server's copy,
// protected downloads cut without close_notify, remote folder walks of any depth, endless, or through
// links, that say what they could not walk.
#include "RemoteFolderWalk.h"
#include "TestCertificate.h"
#include "TestFtpServer.h"
#include "session/FakeFolderPeer.h"
#include "support/QueueRun.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

using Peer = ScriptedFtpPeer;
using Steps = QList<Peer::Step>;
using namespace TestSupport;

namespace {

// One listing as a server sends it, without delays.
Steps listing(const QByteArray &lines)
{
    return {Peer::reply("150 Here.\r\n"), Peer::data(lines), Peer::closeData(), Peer::reply("226 Done.\r\n")};
}

const QByteArray kFolderLine = "drwxr-xr-x 1 a b 0 Mar  1  2020 ";
const QByteArray kFileLine = "-rw-r--r-- 1 a b 5 Mar  1  2020 ";

// A remote walk from the folder, what it found (remote paths or local ones), skipped and reported.
struct Walk
{
    QStringList found, skipped, problems;
    bool whole = false;

    Walk(FtpSession &session, const QString &remote, const QString &local, bool foundLocal = false)
    {
        RemoteFolderWalk walker(session, [] { return true; });
        whole = walker.walk(
            remote, local,
            [&](const QString &r, const QString &l, const FtpEntry &entry) {
                found << (foundLocal ? l : r + ' ' + QString::number(entry.size));
            },
            [&](const QString &r) { skipped << r; }, [&](const QString &text) { problems << text; });
    }
};

} // namespace

class TestQueueIntegrity : public QObject
{
    Q_OBJECT

private slots:
    // Through a temporary name against a real server: the old file stays byte for byte until a whole
    // new one replaces it (a stopped upload: tst_transferengine).
    void anUploadReplacesTheServersFileWhenWhole()
    {
        TestFtpServer server;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(QDir(server.rootPath()).mkdir("up"));
        QVERIFY(server.writeFile("up/f.bin", "the server's own copy\n"));
        QueueRun q;
        QVERIFY(q.open(FtpTestKit::options(server)));
        TempTree dir;
        const QByteArray fresh = pattern(8 * 1024 * 1024);
        q.upload(dir.file("f.bin", fresh), "/up/f.bin");
        q.run();
        QCOMPARE(q.queue.count(), 0);
        QCOMPARE(namesIn(server.pathOf("up")), QStringList{"f.bin"});
        QVERIFY(server.readFile("up/f.bin") == fresh);
        QCOMPARE(q.verdict(), QString("Transfer complete."));
    }

    // A server that takes no temporary name: replacing its files in place is asked once for the whole
    // queue, with the risk said; declined, every such entry fails and the server's files stay.
    void replacingInPlaceIsAskedOncePerQueue_data()
    {
        QTest::addColumn<int>("answer"); // 0 replace in place, 1 cancel
        QTest::newRow("declined") << 1;
        QTest::newRow("accepted") << 0;
    }
    void replacingInPlaceIsAskedOncePerQueue()
    {
        QFETCH(int, answer);
        FakeFolderPeer peer;
        peer.quirks = {"no-temp"};
        peer.files = {{"/d/a.bin", "old a"}, {"/d/b.bin", "old b"}};
        peer.targets = {"/d/a.bin", "/d/b.bin"};
        QueueRun q;
        QVERIFY(q.open(peer.options()));
        q.host.questions.choices = {answer};
        TempTree dir;
        for (const QString name : {"a.bin", "b.bin"})
            q.upload(dir.file(name, "new " + name.toUtf8()), "/d/" + name);
        q.run();
        QCOMPARE(q.host.questions.messageTexts(),
                 QStringList{"The server refuses temporary names: uploading over /d/a.bin replaces it in place; "
                             "if the upload fails, the server's copy is lost."});
        QVERIFY(q.host.messages.isEmpty());
        QCOMPARE(q.host.log.count(answer == 0 ? "Transfer complete." : "Transfer failed."), 2);
        QCOMPARE(peer.contents("/d/a.bin"), answer == 0 ? QByteArray("new a.bin") : QByteArray("old a"));
        QCOMPARE(peer.contents("/d/b.bin"), answer == 0 ? QByteArray("new b.bin") : QByteArray("old b"));
        QCOMPARE(peer.transcript().filter(QRegularExpression("^STOR /d/[ab].bin$")).size(), answer == 0 ? 2 : 0);
    }

    // The connection goes in the middle of the upload: the temporary file cannot be deleted, so the
    // log names it.
    void aTemporaryFileLeftByALostConnectionIsNamed()
    {
        FakeFolderPeer peer;
        peer.quirks = {"drop-stor"};
        QueueRun q;
        QVERIFY(q.open(peer.options()));
        TempTree dir;
        q.upload(dir.file("f.bin", pattern(16 * 1024 * 1024)), "/d/f.bin");
        q.run();
        QVERIFY(!q.host.log.contains("Transfer complete."));
        const QStringList named = q.host.log.filter(QRegularExpression(
            "^The temporary file /d/\\.f\\.bin\\.[a-z0-9]{12}\\.vestrigal-upload was left on the server\\.$"));
        QVERIFY2(named.size() == 1, qPrintable(q.host.log.join('\n')));
    }

    // Over TLS the end of the data is the server's close_notify: a data connection whose TCP
    // connection ends without it was cut short. With no size to hold the data to (no SIZE, nothing
    // in the 150 reply, nothing listed), that is the only sign.
    void aProtectedDownloadOfUnknownSize_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("cut without close_notify") << true;
        QTest::newRow("ended with close_notify") << false;
    }
    void aProtectedDownloadOfUnknownSize()
    {
        QFETCH(bool, cut);
        TempTree dir;
        const TestCertificate cert = TestCertificate::make(dir.path(), "truncation-test");
        QVERIFY2(cert.error.isEmpty(), qPrintable(cert.error));
        QStringList args{"--tls", cert.pemPath, "--no-size"};
        if (cut) // 400,000 bytes, then the TCP connection ends without close_notify
            args << "--cut-tls-retr" << "400000";
        TestFtpServer server(args);
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QByteArray data = pattern(1000000);
        QVERIFY(server.writeFile("big.bin", data));
        QueueRun q;
        FtpOptions options = FtpTestKit::options(server, true, FtpSecurity::Explicit);
        options.trustedCertificate = cert.sha256;
        QVERIFY(server.writeFile("small.bin", "tail"));
        QVERIFY(q.open(options));
        q.download(dir / "big.bin", "/big.bin");
        q.download(dir / "small.bin", "/small.bin"); // on the same connection, which must be in step
        q.run();
        QCOMPARE(q.queue.count(), 0);
        QCOMPARE(q.host.log.count("Transfer failed."), cut ? 1 : 0);
        QCOMPARE(q.verdict(), QString("Transfer complete."));
        if (cut)
            QVERIFY2(q.host.log.filter("close_notify").size() == 1, qPrintable(q.host.log.join('\n')));
        QVERIFY(cut ? !QFile::exists(dir / "big.bin") : contentOf(dir / "big.bin") == data);
        QCOMPARE(contentOf(dir / "small.bin"), QByteArray("tail"));
        QCOMPARE(q.host.log.filter(QRegularExpression("^230")).size(), 1); // logged in once
    }

    // 150 folders deep (past any bound a recursion would set), one file on every level (listed, and
    // named, before the folder): every file is found; a refused folder ends the walk as failed, with
    // what was found before kept.
    void aRemoteTreeOfAnyDepthIsWalkedWhole_data()
    {
        QTest::addColumn<int>("refusedAt"); // the depth whose listing the server refuses; -1 none
        QTest::newRow("150 deep") << -1;
        QTest::newRow("refused at depth 5") << 5;
    }
    void aRemoteTreeOfAnyDepthIsWalkedWhole()
    {
        QFETCH(int, refusedAt);
        const int depth = 150;
        Peer peer;
        peer.onLine("LIST", [&](const QByteArray &line) {
            const int level = int(line.count("/d"));
            if (level == refusedAt)
                return Steps{Peer::reply("550 Permission denied.\r\n")};
            return listing(level < depth ? kFileLine + "a\r\n" + kFolderLine + "d\r\n" : kFileLine + "a\r\n");
        });
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        const Walk walk(session, "/t/", "/l/t/", true);
        if (refusedAt < 0) {
            QVERIFY2(walk.whole, qPrintable(walk.problems.join('\n')));
            QCOMPARE(walk.found.size(), depth + 1);
            QCOMPARE(walk.found.last(), "/l/t/" + QString("d/").repeated(depth) + "a");
            QVERIFY(walk.problems.isEmpty());
        } else {
            QVERIFY(!walk.whole);
            QCOMPARE(walk.found.size(), refusedAt);
            QCOMPARE(walk.problems, QStringList{"Could not list /t/" + QString("d/").repeated(refusedAt) +
                                                ": 550 Permission denied."});
        }
    }

    // A server whose every folder holds itself again: the walk goes down until the local path would
    // be too long for the disk, then fails and says so; names with control characters never become
    // local names.
    void anEndlessRemoteTreeStopsAtTheLocalPathLimitAndSkipsUnsafeNames()
    {
        Peer peer;
        int listings = 0;
        peer.onLine("LIST", [&](const QByteArray &) {
            ++listings;
            return listing(kFileLine + "f\r\n" + kFileLine + "bad\x1fname\r\n" + kFileLine + "a b\r\n" + kFolderLine +
                           QByteArray(200, 'd') + "\r\n");
        });
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        TempTree dir;
        const Walk walk(session, "/", dir.path() + "/", true);
        QVERIFY(!walk.whole);
        QCOMPARE(walk.problems.size(), 1);
        QVERIFY2(walk.problems[0].startsWith("The path ") && walk.problems[0].contains("too long"),
                 qPrintable(walk.problems[0]));
        QVERIFY(listings > 10 && listings < 25);
        QVERIFY(walk.skipped.size() >= listings - 1); // the last level may end before its bad name
        QVERIFY(walk.skipped.first().endsWith("bad\x1fname"));
        QVERIFY(walk.found.contains(dir / "a b"));
    }

    // A link the server enters is walked as a folder, one it refuses is a file (with the size the
    // server gives), and a link back into the walk is left out: whether the server says where a
    // link leads (PWD gives the real folder) or hides it (PWD repeats the link's path).
    void linksAreFoldersOrFilesAndNeverLoops_data()
    {
        QTest::addColumn<bool>("realPwd");
        QTest::newRow("real folders") << true;
        QTest::newRow("link paths only") << false;
    }
    void linksAreFoldersOrFilesAndNeverLoops()
    {
        QFETCH(bool, realPwd);
        const QByteArray link = "lrwxrwxrwx 1 a b 4 Mar  1  2020 ";
        const QHash<QByteArray, QByteArray> real = {{"/t/sub", "/t/real"}, {"/t/up", "/"}, {"/t/sub/again", "/t"}};
        Peer peer;
        QByteArray cwd;
        peer.onLine("CWD", [&](const QByteArray &line) {
            cwd = line.mid(4);
            return Steps{Peer::reply(cwd.endsWith(".lnk") ? "550 Not a directory.\r\n" : "250 OK.\r\n")};
        });
        peer.onLine("PWD", [&](const QByteArray &) {
            return Steps{Peer::reply("257 \"" + (realPwd ? real.value(cwd) : cwd) + "\" is current.\r\n")};
        });
        peer.on("SIZE", {Peer::reply("213 42\r\n")});
        peer.onLine("LIST", [&](const QByteArray &line) {
            if (line.endsWith("/t/"))
                return listing(kFileLine + "a\r\n" + link + "sub -> real\r\n" + link + "up -> ..\r\n" + link +
                               "f.lnk -> a\r\n");
            return listing(kFileLine + "b\r\n" + link + "again -> /t\r\n");
        });
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        const Walk walk(session, "/t/", "/l/t/");
        QVERIFY(walk.whole);
        if (realPwd) {
            QCOMPARE(walk.found, QStringList({"/t/a 5", "/t/sub/b 5", "/t/f.lnk 42"}));
            QCOMPARE(walk.problems, QStringList({"Skipped /t/sub/again: the link leads back to a folder already walked.",
                                                 "Skipped /t/up: the link leads back to a folder already walked."}));
        } else {
            // Each link is followed at most kMaxLinks deep: the walk ends.
            QCOMPARE(walk.found.filter(" 42").size(), 1);
            QVERIFY2(walk.found.size() < 40, qPrintable(walk.found.join('\n')));
            QVERIFY(!walk.problems.isEmpty());
        }
    }
};

QTEST_MAIN(TestQueueIntegrity)
#include "tst_queueintegrity.moc"
