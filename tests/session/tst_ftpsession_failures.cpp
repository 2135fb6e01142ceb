// The client where things go wrong or sit at an edge: ASCII line ends split across blocks and
// packets, a server that announces MLSD and then refuses it, a disk that fills up during getFile,
// a local file that cannot be read, refused EPSV/EPRT, a password echoed back, 421 in the middle of
// an exchange and with the server's close.
#include "FtpSession.h"
#include "ScriptedFtpPeer.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Peer = ScriptedFtpPeer;

namespace {

FtpOptions optionsFor(const Peer &peer, const QString &password = QStringLiteral("pass-word"))
{
    FtpOptions o;
    o.host = QStringLiteral("127.0.0.1");
    o.port = peer.port();
    o.user = QStringLiteral("user");
    o.password = password;
    o.timeoutMs = 5000;
    return o;
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// On the wire: a lone CR, CR LF, a CR LF cut between two packets (after "l4\r"), CR CR LF and a
// CR as the very last byte.
const QByteArray kWireFirst = "l1\nl2\r\nl3\rl4\r";
const QByteArray kWireSecond = "\nl5\r\r\nend\r";
const QByteArray kLocalText = "l1\nl2\nl3\rl4\nl5\r\nend\r";

QList<QByteArray> transferCommands(const Peer &peer)
{
    QList<QByteArray> out;
    for (const QByteArray &c : peer.commands())
        if (c.startsWith("MLSD") || c.startsWith("LIST") || c.startsWith("RETR") || c.startsWith("STOR"))
            out << c;
    return out;
}

} // namespace

class TestFtpSessionFailures : public QObject
{
    Q_OBJECT

private slots:
    // Every read size from one byte up: the CR that ends a block must wait for the next byte.
    void asciiDownloadAtEveryBlockSize()
    {
        for (const int blockSize : {1, 2, 3, 4, 5, 7, 13, 4096}) {
            Peer peer;
            peer.on("RETR", {Peer::reply("150 Sending.\r\n"), Peer::data(kWireFirst), Peer::wait(30),
                             Peer::data(kWireSecond), Peer::closeData(), Peer::reply("226 Done.\r\n")});
            FtpSession session;
            QVERIFY(session.open(optionsFor(peer)));
            auto file = session.openFile(QStringLiteral("/t.txt"), FtpFile::Read, FtpTransferType::Ascii);
            QVERIFY(file);
            QByteArray got;
            QByteArray buffer(blockSize, '\0');
            qint64 n = 0;
            while ((n = file->read(buffer.data(), blockSize)) > 0)
                got.append(buffer.constData(), n);
            QCOMPARE(n, qint64(0));
            QVERIFY(file->close());
            QVERIFY2(
                got == kLocalText,
                qPrintable(
                    QStringLiteral("block %1: %2").arg(blockSize).arg(QString::fromLatin1(got.toPercentEncoding()))));
            QVERIFY(peer.commands().contains("TYPE A"));
        }
    }

    // LF becomes CR LF; a CR LF already there (text saved on Windows) stays one, also when the
    // caller hands it over in two writes; a lone CR stays.
    void asciiUploadAtEveryWriteSize()
    {
        const QByteArray local = "l1\nl2\r\nl3\rl4\r\nl5";
        const QByteArray wire = "l1\r\nl2\r\nl3\rl4\r\nl5";
        for (const int writeSize : {1, 2, 3, 6, 4096}) {
            Peer peer;
            peer.on("STOR", {Peer::reply("150 Go ahead.\r\n226 Stored.\r\n")});
            FtpSession session;
            QVERIFY(session.open(optionsFor(peer)));
            auto file = session.openFile(QStringLiteral("/t.txt"), FtpFile::Write, FtpTransferType::Ascii);
            QVERIFY(file);
            for (qsizetype at = 0; at < local.size(); at += writeSize) {
                const QByteArray piece = local.mid(at, writeSize);
                QCOMPARE(file->write(piece.constData(), piece.size()), qint64(piece.size()));
            }
            QVERIFY(file->close());
            QTRY_COMPARE_WITH_TIMEOUT(peer.received(), wire, 3000);
        }
        // A whole file through putFile, CR LF text as Windows saves it.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("win.txt"));
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("one\r\ntwo\r\n") == 10);
        text.close();
        Peer peer;
        peer.on("STOR", {Peer::reply("150 Go ahead.\r\n226 Stored.\r\n")});
        peer.on("RNFR", {Peer::reply("350 Ready.\r\n")});
        peer.on("RNTO", {Peer::reply("250 Renamed.\r\n")});
        peer.on("SIZE", {Peer::reply("213 10\r\n")}); // the renamed file is checked
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QVERIFY(session.putFile(path, QStringLiteral("/win.txt"), FtpTransferType::Ascii));
        QTRY_COMPARE_WITH_TIMEOUT(peer.received(), QByteArray("one\r\ntwo\r\n"), 3000);
    }

    void mlsdRefusedFallsBackToList_data()
    {
        QTest::addColumn<QByteArray>("refusal");
        QTest::newRow("500") << QByteArray("500 MLSD not understood.\r\n");
        QTest::newRow("502") << QByteArray("502 Command not implemented.\r\n");
    }
    // The listing still arrives, and later listings go straight to LIST.
    void mlsdRefusedFallsBackToList()
    {
        QFETCH(QByteArray, refusal);
        Peer peer;
        peer.on("FEAT", {Peer::reply("211-Features:\r\n MLSD\r\n SIZE\r\n211 End.\r\n")});
        peer.on("MLSD", {Peer::reply(refusal)});
        peer.on("LIST", {Peer::reply("150 Here.\r\n"),
                         Peer::data("drwxr-xr-x 2 u g 4096 Jan 01  2020 .\r\n"
                                    "drwxr-xr-x 2 u g 4096 Jan 01  2020 ..\r\n"
                                    "-rw-r--r-- 1 u g 5 Jan 01  2020 a.txt\r\n"
                                    "drwxr-xr-x 2 u g 4096 Jan 01  2020 sub\r\n"),
                         Peer::closeData(), Peer::reply("226 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        for (int round = 0; round < 2; ++round) {
            QList<FtpEntry> entries;
            QVERIFY2(session.list(QStringLiteral("*.*"), entries), qPrintable(session.lastResponseInfo()));
            QCOMPARE(entries.size(), 2);
            QCOMPARE(entries[0].name, QStringLiteral("a.txt"));
            QCOMPARE(entries[0].size, qint64(5));
            QVERIFY(entries[1].isFolder);
        }
        QCOMPARE(transferCommands(peer), (QList<QByteArray>{"MLSD", "LIST", "LIST"}));
        QVERIFY(session.isOpen());
    }

    // "MLST" in FEAT announces MLSD as well (RFC 3659 names the pair by MLST).
    void mlstInFeaturesMeansMlsd()
    {
        Peer peer;
        peer.on("FEAT", {Peer::reply("211-Extensions:\r\n MLST type*;size*;modify*;\r\n211 End.\r\n")});
        peer.on("MLSD",
                {Peer::reply("150 Here.\r\n"),
                 Peer::data("type=cdir; .\r\ntype=pdir; ..\r\ntype=file;size=7;modify=20200101120000; a.txt\r\n"),
                 Peer::closeData(), Peer::reply("226 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QList<FtpEntry> entries;
        QVERIFY(session.list(QStringLiteral("*.*"), entries));
        QCOMPARE(transferCommands(peer), (QList<QByteArray>{"MLSD"}));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].size, qint64(7));
    }

    // A 4xx answer to LIST is a failure, not an empty folder.
    void transientListRefusalFails()
    {
        Peer peer;
        peer.on("LIST", {Peer::reply("450 Folder busy.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QList<FtpEntry> entries;
        QVERIFY(!session.list(QStringLiteral("*.*"), entries));
        QCOMPARE(session.lastReplyCode(), 450);
        QVERIFY(session.isOpen());
    }

    void getFileOnAFullDisk_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("room");
        QTest::newRow("full in a large block") << 300 * 1024 << 64 * 1024;
        QTest::newRow("full in the last small block") << 10 * 1024 << 4 * 1024;
    }
    // Disk full while getFile writes: false, the old file untouched, no temporary left; the
    // session goes on, and with room again the same download works.
    void getFileOnAFullDisk()
    {
        QFETCH(int, size);
        QFETCH(int, room);
        const QByteArray remote(size, 'x');
        Peer peer;
        peer.on("RETR",
                {Peer::reply("150 Sending.\r\n"), Peer::data(remote), Peer::closeData(), Peer::reply("226 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QTemporaryDir dir;
        const QString local = dir.filePath(QStringLiteral("f.bin"));
        QFile old(local);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("precious") == 8);
        old.close();
        {
            FileSizeLimit full{rlim_t(room)};
            QVERIFY(full.ok());
            QVERIFY(!session.getFile(QStringLiteral("/f.bin"), local, FtpTransferType::Binary));
        }
        QVERIFY2(session.lastResponseInfo().contains(QLatin1String("Could not write")),
                 qPrintable(session.lastResponseInfo()));
        QCOMPARE(fileContent(local), QByteArray("precious"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"f.bin"});
        QVERIFY(session.isOpen());
        QVERIFY2(session.getFile(QStringLiteral("/f.bin"), local, FtpTransferType::Binary),
                 qPrintable(session.lastResponseInfo()));
        QCOMPARE(fileContent(local), remote);
    }

    // A local file that cannot be read is never announced to the server: its file stays as it was.
    void putFileOfAMissingFileSendsNothing()
    {
        Peer peer;
        peer.on("STOR", {Peer::reply("150 Go ahead.\r\n226 Stored.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QTemporaryDir dir;
        QVERIFY(!session.putFile(dir.filePath(QStringLiteral("missing.txt")), QStringLiteral("/t.txt"),
                                 FtpTransferType::Binary));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("Could not read")));
        QCOMPARE(transferCommands(peer), QList<QByteArray>{});
        QVERIFY(!peer.commands().contains("EPSV"));
    }

    // After the data, a 4xx final reply or a cut data connection is a failed transfer.
    void transfersThatEndBadly_data()
    {
        QTest::addColumn<QList<Peer::Step>>("script");
        QTest::addColumn<int>("opens"); // 0: opens, -1: refused at once
        QTest::newRow("451 after the data") << QList<Peer::Step>{Peer::reply("150 Sending.\r\n"), Peer::data("abc"),
                                                                 Peer::closeData(), Peer::reply("451 Local error.\r\n")}
                                            << 0;
        QTest::newRow("425 at open") << QList<Peer::Step>{Peer::reply("425 Can't open data connection.\r\n")} << -1;
    }
    void transfersThatEndBadly()
    {
        QFETCH(QList<Peer::Step>, script);
        QFETCH(int, opens);
        Peer peer;
        peer.on("RETR", script);
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        auto file = session.openFile(QStringLiteral("/f.bin"), FtpFile::Read, FtpTransferType::Binary);
        if (opens < 0) {
            QVERIFY(!file);
            QCOMPARE(session.lastReplyCode(), 425);
            return;
        }
        QVERIFY(file);
        char buffer[64];
        qint64 total = 0, n = 0;
        while ((n = file->read(buffer, sizeof buffer)) > 0)
            total += n;
        QCOMPARE(n, qint64(0));
        QCOMPARE(total, qint64(3));
        QVERIFY(!file->close());
        QCOMPARE(session.lastReplyCode(), 451);
    }

    // A file closed before all of its data was read did not arrive whole, whatever the server says.
    void closingBeforeTheEndFails()
    {
        Peer peer;
        peer.on("RETR", {Peer::reply("150 Sending.\r\n"), Peer::data("0123456789"), Peer::wait(200),
                         Peer::data("abcdef"), Peer::closeData(), Peer::reply("226 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        auto file = session.openFile(QStringLiteral("/f.bin"), FtpFile::Read, FtpTransferType::Binary);
        QVERIFY(file);
        char buffer[4];
        QCOMPARE(file->read(buffer, sizeof buffer), qint64(4));
        QVERIFY(!file->close());
        QVERIFY(session.isOpen());
    }

    // EPSV refused with 500 falls back to PASV; EPRT refused falls back to PORT, and the refusal
    // is remembered: the next transfer does not ask again.
    void refusedExtendedCommandsAreRemembered()
    {
        Peer passive;
        passive.on("EPSV", {Peer::reply("500 EPSV not understood.\r\n")});
        passive.on("LIST", {Peer::reply("150 Here.\r\n"), Peer::closeData(), Peer::reply("226 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(passive)));
        QList<FtpEntry> entries;
        QVERIFY2(session.list(QStringLiteral("*.*"), entries), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.list(QStringLiteral("*.*"), entries));
        QCOMPARE(passive.commands().count("EPSV"), 1);
        QCOMPARE(passive.commands().count("PASV"), 2);

        Peer active;
        active.on("EPRT", {Peer::reply("500 EPRT not understood.\r\n")});
        active.on("PORT", {Peer::reply("200 PORT ok.\r\n")});
        active.on("LIST", {Peer::reply("150 Here.\r\n226 Done.\r\n")});
        FtpOptions options = optionsFor(active);
        options.passive = false;
        FtpSession second;
        QVERIFY(second.open(options));
        QVERIFY2(second.list(QStringLiteral("*.*"), entries), qPrintable(second.lastResponseInfo()));
        QVERIFY(second.list(QStringLiteral("*.*"), entries));
        int eprt = 0, port = 0;
        for (const QByteArray &c : active.commands()) {
            eprt += c.startsWith("EPRT");
            port += c.startsWith("PORT");
        }
        QCOMPARE(eprt, 1);
        QCOMPARE(port, 2);
    }

    // A password never reaches the log, also when the server echoes it; a short one is masked where
    // it stands as a word of its own.
    void echoedPasswordIsMasked_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("masked");
        QTest::newRow("2 characters") << "pw" << true;
        QTest::newRow("3 characters") << "pwd" << true;
        QTest::newRow("4 characters") << "pwd4" << true;
    }
    void echoedPasswordIsMasked()
    {
        QFETCH(QString, password);
        QFETCH(bool, masked);
        Peer peer;
        peer.on("PASS", {Peer::reply("230 Welcome, your password " + password.toUtf8() + " is old.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer, password)));
        QCOMPARE(session.lastResponseInfo().contains(password), !masked);
    }

    // Only the default anonymous password replaces an empty one.
    void anonymousLoginKeepsItsPassword()
    {
        Peer peer;
        FtpOptions options = optionsFor(peer, QStringLiteral("me@example.org"));
        options.user = QStringLiteral("anonymous");
        FtpSession session;
        QVERIFY(session.open(options));
        QVERIFY(peer.commands().contains("PASS me@example.org"));
    }

    // 421 ends the session whether it answers a command or comes with the server's close.
    void reply421EndsTheSession()
    {
        Peer peer;
        peer.on("CWD", {Peer::reply("421 Shutting down.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QSignalSpy closed(&session, &FtpSession::connectionClosed);
        QVERIFY(!session.setCurrentDirectory(QStringLiteral("/x")));
        QVERIFY(!session.isOpen());
        QCOMPARE(closed.count(), 1);

        Peer leaving;
        leaving.on("NOOP", {Peer::reply("421 Idle too long.\r\n"), Peer::closeControl()});
        FtpSession second;
        QVERIFY(second.open(optionsFor(leaving)));
        QVERIFY(!second.command(QStringLiteral("NOOP")));
        QVERIFY2(second.lastResponseInfo().contains(QLatin1String("421 Idle too long.")),
                 qPrintable(second.lastResponseInfo()));
    }

    // Commands that are not one line, or nothing at all, are refused before anything is sent.
    void commandsThatAreNotOneLine()
    {
        Peer peer;
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        const int sent = peer.commands().size();
        QVERIFY(!session.command(QStringLiteral("   ")));
        QVERIFY(!session.command(QStringLiteral("NOOP") + QChar(0) + QStringLiteral("DELE x")));
        QVERIFY(!session.deleteFile(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
        QTest::qWait(50);
        QCOMPARE(peer.commands().size(), sent);

        Peer other;
        FtpSession second;
        QVERIFY(!second.open(optionsFor(other, QStringLiteral("pw\nDELE x"))));
        QTest::qWait(50);
        QVERIFY(!other.commands().contains("DELE x"));
        QVERIFY(second.lastResponseInfo().contains(QLatin1String("line break")));
    }

    // A raw command answered 4xx failed; a "?" in the last part of a path is a pattern.
    void rawTransientReplyFailsAndQuestionMarkIsAPattern()
    {
        Peer peer;
        peer.on("SITE", {Peer::reply("450 Try later.\r\n")});
        peer.on("LIST", {Peer::reply("150 Here.\r\n"),
                         Peer::data("-rw-r--r-- 1 u g 5 Jan 01  2020 a1.txt\r\n"
                                    "-rw-r--r-- 1 u g 5 Jan 01  2020 a22.txt\r\n"),
                         Peer::closeData(), Peer::reply("226 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QVERIFY(!session.command(QStringLiteral("SITE IDLE")));
        QList<FtpEntry> entries;
        QVERIFY(session.list(QStringLiteral("/d/a?.txt"), entries));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].name, QStringLiteral("a1.txt"));
        QVERIFY(peer.commands().contains("LIST /d/"));
    }
};

QTEST_MAIN(TestFtpSessionFailures)
#include "tst_ftpsession_failures.moc"
