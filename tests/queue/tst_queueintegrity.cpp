// The queue against servers and trees that test its trust: uploads through a temporary name
// against a real server (complete, stopped, refused: the server's old file stays byte for byte
// until a whole new one replaces it), a local name too long for the disk refused before the
// download, and folder walks of any depth that say what they could not walk.
#include "FtpSession.h"
#include "LocalFolderWalk.h"
#include "QueueModel.h"
#include "RecordingTransferHost.h"
#include "RemoteFolderWalk.h"
#include "TestFtpServer.h"
#include "TransferEngine.h"
#include "session/FakeFolderPeer.h"

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

using Peer = ScriptedFtpPeer;
using Steps = QList<Peer::Step>;

namespace {

FtpOptions optionsFor(const QString &host, quint16 port, const QString &user, const QString &password)
{
    FtpOptions o;
    o.host = host;
    o.port = port;
    o.user = user;
    o.password = password;
    o.timeoutMs = 10000;
    return o;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QByteArray pattern(qint64 size)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        out[i] = char((i * 7 + i / 4096) & 0xff);
    return out;
}

// One listing as a server sends it, without delays.
Steps listing(const QByteArray &lines)
{
    return {Peer::reply("150 Here.\r\n"), Peer::data(lines), Peer::closeData(), Peer::reply("226 Done.\r\n")};
}

const QByteArray kFolderLine = "drwxr-xr-x 1 a b 0 Mar  1  2020 ";
const QByteArray kFileLine = "-rw-r--r-- 1 a b 5 Mar  1  2020 ";

} // namespace

class TestQueueIntegrity : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        QStandardItemModel rows;
        QueueModel queue{rows};
        RecordingTransferHost host;
    };

    static void queueUpload(Run &run, const QString &local, const QString &remote)
    {
        run.queue.append({local, remote, QueueEntry::Direction::Up, "", "", "-", "Pending", QFileInfo(local).size()},
                         QIcon());
    }

private slots:
    void uploadsReplaceTheServersFileOnlyWhenWhole_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("complete") << "complete";
        QTest::newRow("stopped") << "stopped";
        QTest::newRow("STOR refused") << "refused";
    }
    void uploadsReplaceTheServersFileOnlyWhenWhole()
    {
        QFETCH(QString, how);
        TestFtpServer server(how == "refused" ? QStringList{"--refuse-stor"} : QStringList{});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QByteArray old = "the server's own copy\n";
        QVERIFY(QDir(server.rootPath()).mkdir("up"));
        QVERIFY(server.writeFile("up/f.bin", old));
        FtpSession session;
        QVERIFY(session.open(optionsFor(server.host(), server.port(), server.user(), server.password())));

        QTemporaryDir dir;
        const QByteArray fresh = pattern(16 * 1024 * 1024);
        QVERIFY(writeFile(dir.filePath("f.bin"), fresh));
        Run run;
        run.host.connection = &session;
        run.host.transferSettings.uploadBufferSize = 64 * 1024;
        queueUpload(run, dir.filePath("f.bin"), "/up/f.bin");
        TransferEngine engine(run.queue, run.host);
        if (how == "stopped") {
            connect(&engine, &TransferEngine::progressed, &engine, [&engine](int percent) {
                if (percent >= 20)
                    engine.stop();
            });
        }
        engine.ProcessTransfer();

        QCOMPARE(run.queue.count(), 0);
        QCOMPARE(QDir(server.pathOf("up")).entryList(QDir::Files | QDir::Hidden), QStringList{"f.bin"});
        QVERIFY(session.isOpen());
        if (how == "complete") {
            QVERIFY(server.readFile("up/f.bin") == fresh);
            QCOMPARE(run.host.log.last(), QString("Transfer complete."));
            return;
        }
        QCOMPARE(server.readFile("up/f.bin"), old);
        QVERIFY(!run.host.log.contains("Transfer complete."));
        if (how == "stopped") {
            QCOMPARE(run.host.log.last(), QString("Transfer stopped."));
            QVERIFY(run.host.messages.isEmpty());
        } else {
            // Every name refused: replacing in place was asked for, and Cancel (the default) kept the file.
            QCOMPARE(run.host.questions.shown.size(), 1);
            QCOMPARE(run.host.log.last(), QString("Transfer failed."));
        }
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
        FtpSession session;
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port(), "user", "pw")));
        QTemporaryDir dir;
        Run run;
        run.host.connection = &session;
        run.host.questions.choices = {answer};
        for (const char *name : {"a.bin", "b.bin"}) {
            QVERIFY(writeFile(dir.filePath(name), QByteArray("new ") + name));
            queueUpload(run, dir.filePath(name), "/d/" + QString(name));
        }
        TransferEngine engine(run.queue, run.host);
        engine.ProcessTransfer();
        QCOMPARE(run.host.questions.messageTexts(),
                 QStringList{"The server refuses temporary names: uploading over /d/a.bin replaces it in place; "
                             "if the upload fails, the server's copy is lost."});
        QVERIFY(run.host.messages.isEmpty());
        QCOMPARE(run.host.log.count(answer == 0 ? "Transfer complete." : "Transfer failed."), 2);
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
        FtpSession session;
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port(), "user", "pw")));
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("f.bin"), pattern(16 * 1024 * 1024)));
        Run run;
        run.host.connection = &session;
        queueUpload(run, dir.filePath("f.bin"), "/d/f.bin");
        TransferEngine engine(run.queue, run.host);
        engine.ProcessTransfer();
        QVERIFY(!run.host.log.contains("Transfer complete."));
        const QStringList named = run.host.log.filter(QRegularExpression(
            "^The temporary file /d/\\.f\\.bin\\.[a-z0-9]{12}\\.vestrigal-upload was left on the server\\.$"));
        QVERIFY2(named.size() == 1, qPrintable(run.host.log.join('\n')));
    }

    // Refused before the server is asked for anything: the user's message, a line saying why.
    void aLocalNameTooLongForTheDiskIsRefusedBeforeTheDownload()
    {
        Peer peer;
        peer.on("RETR", listing("data"));
        FtpSession session;
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port(), "user", "pw")));
        QTemporaryDir dir;
        const QString local = dir.filePath(QString(300, 'n'));
        Run run;
        run.host.connection = &session;
        run.queue.append({local, "/f", QueueEntry::Direction::Down, "", "", "-", "Pending", 4}, QIcon());
        TransferEngine engine(run.queue, run.host);
        engine.ProcessTransfer();
        QCOMPARE(run.host.messages, QStringList{local});
        QCOMPARE(run.host.log.filter("too long for the local file system").size(), 1);
        QVERIFY(!peer.commands().contains("RETR /f"));
        QCOMPARE(run.queue.count(), 0);
    }

    // A link lists the length of its target's path, a file may have shrunk since it was listed: the
    // size the server gives now is what the download is held to, the listed one only when there is none.
    void theServersSizeNowWinsOverTheListedOne()
    {
        Peer peer;
        peer.on("SIZE", {Peer::reply("213 10\r\n")});
        peer.on("RETR", listing("0123456789"));
        FtpSession session;
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port(), "user", "pw")));
        QTemporaryDir dir;
        Run run;
        run.host.connection = &session;
        run.queue.append({dir.filePath("link"), "/link", QueueEntry::Direction::Down, "", "", "-", "Pending", 26},
                         QIcon());
        TransferEngine engine(run.queue, run.host);
        engine.ProcessTransfer();
        QCOMPARE(run.host.log.last(), QString("Transfer complete."));
        QFile file(dir.filePath("link"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("0123456789"));
    }

    // 300 folders deep, one file on every level (listed, and named, before the folder): every
    // file is found; a refused folder ends the walk as failed, with what was found before kept.
    void aRemoteTreeOfAnyDepthIsWalkedWhole_data()
    {
        QTest::addColumn<int>("refusedAt"); // the depth whose listing the server refuses; -1 none
        QTest::newRow("300 deep") << -1;
        QTest::newRow("refused at depth 5") << 5;
    }
    void aRemoteTreeOfAnyDepthIsWalkedWhole()
    {
        QFETCH(int, refusedAt);
        const int depth = 300;
        Peer peer;
        peer.onLine("LIST", [&](const QByteArray &line) {
            const int level = int(line.count("/d"));
            if (level == refusedAt)
                return Steps{Peer::reply("550 Permission denied.\r\n")};
            return listing(level < depth ? kFileLine + "a\r\n" + kFolderLine + "d\r\n" : kFileLine + "a\r\n");
        });
        FtpSession session;
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port(), "user", "pw")));
        QTemporaryDir dir;
        QStringList found, problems;
        RemoteFolderWalk walk(session, [] { return true; });
        const bool whole = walk.walk(
            "/t/", dir.path() + "/t/",
            [&](const QString &remote, const QString &local, const FtpEntry &) {
                QCOMPARE(local.mid(dir.path().size()), remote);
                found << remote;
            },
            [](const QString &) {}, [&](const QString &text) { problems << text; });
        if (refusedAt < 0) {
            QVERIFY2(whole, qPrintable(problems.join('\n')));
            QCOMPARE(found.size(), depth + 1);
            QCOMPARE(found.last(), "/t/" + QString("d/").repeated(depth) + "a");
            QVERIFY(problems.isEmpty());
        } else {
            QVERIFY(!whole);
            QCOMPARE(found.size(), refusedAt);
            QCOMPARE(problems, QStringList{"Could not list /t/" + QString("d/").repeated(refusedAt) +
                                           ": 550 Permission denied."});
        }
    }

    // A server whose every folder holds another, with long names: the walk ends where the local
    // path would be too long for the disk, and says so, instead of going on for ever.
    void anEndlessRemoteTreeEndsAtTheLocalPathLimit()
    {
        const QByteArray name(200, 'x');
        Peer peer;
        int listings = 0;
        peer.onLine("LIST", [&](const QByteArray &) {
            ++listings;
            return listing(kFolderLine + name + "\r\n");
        });
        FtpSession session;
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port(), "user", "pw")));
        QTemporaryDir dir;
        QStringList problems;
        RemoteFolderWalk walk(session, [] { return true; });
        QVERIFY(!walk.walk(
            "/", dir.path() + "/", [](const QString &, const QString &, const FtpEntry &) {}, [](const QString &) {},
            [&](const QString &text) { problems << text; }));
        QCOMPARE(problems.size(), 1);
        QVERIFY2(problems[0].startsWith("The path ") && problems[0].contains("too long"), qPrintable(problems[0]));
        QVERIFY(listings > 10 && listings < 25);
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
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port(), "user", "pw")));
        QTemporaryDir dir;
        QStringList found, problems;
        RemoteFolderWalk walk(session, [] { return true; });
        QVERIFY(walk.walk(
            "/t/", dir.path() + "/t/",
            [&](const QString &remote, const QString &, const FtpEntry &entry) {
                found << remote + ' ' + QString::number(entry.size);
            },
            [](const QString &) {}, [&](const QString &text) { problems << text; }));
        if (realPwd) {
            QCOMPARE(found, QStringList({"/t/a 5", "/t/sub/b 5", "/t/f.lnk 42"}));
            QCOMPARE(problems, QStringList({"Skipped /t/sub/again: the link leads back to a folder already walked.",
                                            "Skipped /t/up: the link leads back to a folder already walked."}));
        } else {
            // Each link is followed at most kMaxLinks deep: the walk ends.
            QCOMPARE(found.filter(" 42").size(), 1);
            QVERIFY2(found.size() < 40, qPrintable(found.join('\n')));
            QVERIFY(!problems.isEmpty());
        }
    }

    void aLocalTreeOfAnyDepthIsWalkedWhole()
    {
        const int depth = 300;
        QTemporaryDir dir;
        QString folder = dir.path() + "/t/";
        for (int level = 0; level < depth; ++level) {
            QVERIFY(QDir().mkpath(folder));
            QVERIFY(writeFile(folder + "a", "12345"));
            folder += "d/";
        }
        QStringList found;
        const bool whole = LocalFolderWalk::walk(
            dir.path() + "/t/", "/r/",
            [&](const QString &, const QString &remote, const QFileInfo &) { found << remote; }, [] { return true; });
        QVERIFY(whole);
        QCOMPARE(found.size(), depth);
        QCOMPARE(found.last(), "/r/" + QString("d/").repeated(depth - 1) + "a");
    }
};

QTEST_MAIN(TestQueueIntegrity)
#include "tst_queueintegrity.moc"
