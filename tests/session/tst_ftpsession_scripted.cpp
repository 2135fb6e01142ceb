// The FTP client against a scripted peer that plays exact replies: split and multi-line replies,
// servers without 1xx or with an early 226, a stalled server, 421, malformed replies, refused
// extensions, what is never sent, and the commands the client really sent.

#include "FtpSession.h"
#include "ScriptedFtpPeer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using Peer = ScriptedFtpPeer;

class TestFtpSessionScripted : public QObject
{
    Q_OBJECT

private slots:
    // TLS is asked for first; without it the login goes on in clear. Replies come split, several
    // in one packet, or refuse the login.
    void loginReadsSplitAndMultiLineReplies()
    {
        Peer peer;
        peer.setGreeting({Peer::reply("120 Wait a"), Peer::wait(30), Peer::reply(" moment.\r\n22"), Peer::wait(30),
                          Peer::reply("0-Welcome\r\n220-123 inner line\r\n220 Ready.\r\n")});
        peer.on("USER", {Peer::reply("331 Send"), Peer::wait(20), Peer::reply(" it.\r\n")});
        peer.on("PASS", {Peer::reply("230-Hello pass-word\r\n230 In.\r\n")});
        FtpSession session;
        QSignalSpy sent(&session, &FtpSession::commandSent);
        QVERIFY2(session.open(peer.options()), qPrintable(session.lastResponseInfo()));
        QCOMPARE(session.lastResponseInfo(),
                 QStringLiteral("120 Wait a moment.\r\n220-Welcome\r\n220-123 inner line\r\n220 Ready.\r\n"
                                "502 No TLS here.\r\n331 Send it.\r\n230-Hello ********\r\n230 In.\r\n"));
        QCOMPARE(peer.commands(), (QList<QByteArray>{"AUTH TLS", "USER user", "PASS pass-word", "FEAT"}));
        peer.on("SITE", {Peer::reply("150 Working.\r\n200 Done.\r\n")}); // two in one packet
        QVERIFY(session.command("SITE WORK"));
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("150 Working.\r\n200 Done.\r\n"));
        QCOMPARE(session.lastReplyCode(), 200);
        // The login's commands are in its own log, among their replies: not reported again.
        QCOMPARE(sent.count(), 1);
        QCOMPARE(sent[0][0].toString(), QStringLiteral("SITE WORK"));

        Peer account;
        account.on("PASS", {Peer::reply("332 Need account.\r\n")});
        QVERIFY(!session.open(account.options()));
        QVERIFY(session.lastResponseInfo().contains("332 Need account.\r\n"));
        QVERIFY(!session.isOpen());
        Peer busy;
        busy.setGreeting({Peer::reply("421 Too many users.\r\n")});
        QVERIFY(!session.open(busy.options()));
        QVERIFY(session.lastResponseInfo().startsWith("421 Too many users."));
        QVERIFY(!session.setCurrentDirectory("/"));
        QVERIFY(session.lastResponseInfo().contains("Not connected"));
    }

    // A password never reaches the log, also when the server echoes it; a short one is masked where
    // it stands as a word of its own, the rest intact. Only an empty anonymous password is replaced.
    void echoedPasswordIsMasked_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("1 character") << "q";
        QTest::newRow("2 characters") << "pw";
        QTest::newRow("4 characters") << "pwd4";
    }
    void echoedPasswordIsMasked()
    {
        QFETCH(QString, password);
        Peer peer;
        const QByteArray p = password.toUtf8();
        peer.on("PASS", {Peer::reply("230-Welcome " + p + " (quick login)\r\n230 Logged in as " + p + ".\r\n")});
        FtpSession session;
        QVERIFY(session.open(peer.options(5000, password)));
        QCOMPARE(session.lastResponseInfo().section("\r\n", -3),
                 QString("230-Welcome ******** (quick login)\r\n230 Logged in as ********.\r\n"));

        Peer anonymous;
        FtpOptions options = anonymous.options(5000, "me@example.org");
        options.user = "anonymous";
        QVERIFY(session.open(options));
        QVERIFY(anonymous.commands().contains("PASS me@example.org"));
    }

    // A silent server: the call ends at the time-out while events keep running, and the session,
    // now out of step with the server, is closed.
    void stalledServerTimesOut()
    {
        Peer peer;
        peer.on("CWD", {Peer::reply("250 Half a li")});
        FtpSession session;
        QVERIFY(session.open(peer.options(400)));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!session.setCurrentDirectory("/x"));
        QVERIFY(clock.elapsed() >= 350 && clock.elapsed() < 3000);
        QVERIFY(ticks >= 5);
        QVERIFY(session.lastResponseInfo().contains("No answer from the server"));
        QVERIFY(!session.isOpen());
    }

    // Closed or deleted from an event during a call: the call ends at once, nothing more is sent.
    void closeFromAnEventEndsTheCall()
    {
        Peer peer;
        peer.on("MKD", {});
        FtpSession session;
        QVERIFY(session.open(peer.options(10000)));
        QTimer::singleShot(50, &session, [&session] {
            QVERIFY(!session.deleteFile("x")); // a second call meanwhile: busy
            QVERIFY(session.lastResponseInfo().contains("in progress"));
            session.close();
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!session.createDirectory("new"));
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(session.lastResponseInfo().contains("closed"));
        QVERIFY(!session.isOpen());
        QCOMPARE(peer.commands().count("DELE x"), 0);

        auto *doomed = new FtpSession;
        QVERIFY(doomed->open(peer.options(10000)));
        QTimer::singleShot(50, doomed, [doomed] { delete doomed; });
        QVERIFY(!doomed->createDirectory("new")); // returns without touching the dead session
    }

    // 421 ends the session whether it answers a command or comes with the server's close.
    void reply421AndBadRepliesEndTheSession_data()
    {
        QTest::addColumn<QList<Peer::Step>>("reply");
        QTest::addColumn<QString>("info"); // what the call ends with
        QTest::newRow("421") << QList<Peer::Step>{Peer::reply("421 Shutting down.\r\n")} << "421 Shutting down.\r\n";
        QTest::newRow("421 and close") << QList<Peer::Step>{Peer::reply("421 Idle too long.\r\n"), Peer::closeControl()}
                                       << "421 Idle too long.\r\n";
        QTest::newRow("malformed") << QList<Peer::Step>{Peer::reply("hello?\r\n")} << "";
        QTest::newRow("overlong") << QList<Peer::Step>{Peer::reply("250-" + QByteArray(100000, 'x'))} << "";
        QTest::newRow("closed") << QList<Peer::Step>{Peer::closeControl()} << "";
    }
    void reply421AndBadRepliesEndTheSession()
    {
        QFETCH(QList<Peer::Step>, reply);
        QFETCH(QString, info);
        Peer peer;
        peer.on("CWD", reply);
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        QSignalSpy closed(&session, &FtpSession::connectionClosed);
        QVERIFY(!session.setCurrentDirectory("/"));
        QVERIFY(!session.isOpen());
        QCOMPARE(closed.count(), 1);
        QVERIFY(!session.lastResponseInfo().isEmpty());
        QVERIFY2(session.lastResponseInfo().contains(info), qPrintable(session.lastResponseInfo()));
    }

    // A reply that comes with the server's close still counts, also where no readyRead announces it:
    // the client was busy in a handler (here, of the command it sent) when it came.
    void aReplyThatComesWithTheCloseCounts()
    {
        Peer peer;
        peer.on("TYPE", {Peer::reply("200 Type set.\r\n"), Peer::wait(50), Peer::reply("421 Going down.\r\n"),
                         Peer::closeControl()});
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        connect(&session, &FtpSession::commandSent, &session, [] { QTest::qWait(300); });
        QList<FtpEntry> entries;
        QVERIFY(!session.list("*.*", entries));
        QVERIFY2(session.lastResponseInfo().contains("421 Going down."), qPrintable(session.lastResponseInfo()));
        QVERIFY(!session.isOpen());
    }

    // The final 226 may come before the last of the data; the listing still gets all of it,
    // including a last line without a line end. EPSV refused once is not tried again, a PASV
    // address of 0.0.0.0 means the control connection's peer, and "?" makes a pattern. The type is
    // sent again only when it may have changed.
    void listingWithEarly226AndPasvFallback()
    {
        Peer peer;
        const quint16 p = peer.dataPort();
        peer.on("EPSV", {Peer::reply("502 No EPSV here.\r\n")});
        peer.on("PASV", {Peer::reply("227 =0,0,0,0," + QByteArray::number(p >> 8) + "," + QByteArray::number(p & 255) +
                                     "\r\n")});
        peer.on("LIST", {Peer::reply("150 Here it comes.\r\n226 Done.\r\n"), Peer::wait(80),
                         Peer::data("-rw-r--r-- 1 a b 5 Mar  1  2020 one.txt\r\n"), Peer::wait(30),
                         Peer::data("-rw-r--r-- 1 a b 7 Mar  1  2020 two.txt"), Peer::closeData()});
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        QList<FtpEntry> entries;
        QVERIFY2(session.list("/pub/???.txt", entries), qPrintable(session.lastResponseInfo()));
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].name, QStringLiteral("two.txt"));
        QCOMPARE(entries[1].size, 7);
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("150 Here it comes.\r\n226 Done.\r\n"));
        QVERIFY(session.list("*.*", entries));
        int refusals = 0;
        for (const bool refuseOnce : {false, true}) {
            QVERIFY(session.command("TYPE I")); // typed: the next listing sets its type again
            refusals = refuseOnce ? 1 : 0;      // and a refused one is asked for again
            peer.onLine("TYPE", [&](const QByteArray &) {
                return QList<Peer::Step>{Peer::reply(refusals-- > 0 ? "504 Not now.\r\n" : "200 Type set.\r\n")};
            });
            QCOMPARE(session.list("*.*", entries), !refuseOnce);
            QVERIFY(session.list("*.*", entries));
        }
        const QList<QByteArray> expected{
            "AUTH TLS", "USER user", "PASS pass-word", "FEAT",   "TYPE A", "EPSV", "PASV", "LIST /pub/", "PASV",
            "LIST",     "TYPE I",    "TYPE A",         "PASV",   "LIST",   "PASV", "LIST", "TYPE I",     "TYPE A",
            "TYPE A",   "PASV",      "LIST"};
        QCOMPARE(peer.commands(), expected);
    }

    // EPSV refused with 500 falls back to PASV; EPRT refused falls back to PORT, and the refusal
    // is remembered: the next transfer does not ask again.
    void refusedExtendedCommandsAreRemembered_data()
    {
        QTest::addColumn<bool>("passive");
        QTest::newRow("EPSV") << true;
        QTest::newRow("EPRT") << false;
    }
    void refusedExtendedCommandsAreRemembered()
    {
        QFETCH(bool, passive);
        Peer peer;
        peer.on(passive ? "EPSV" : "EPRT", {Peer::reply("500 Not understood.\r\n")});
        peer.on("PORT", {Peer::reply("200 PORT ok.\r\n")});
        peer.on("LIST", passive ? Peer::sending({}) : QList<Peer::Step>{Peer::reply("150 Here.\r\n226 Done.\r\n")});
        FtpOptions options = peer.options();
        options.passive = passive;
        FtpSession session;
        QVERIFY(session.open(options));
        QList<FtpEntry> entries;
        QVERIFY2(session.list("*.*", entries), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.list("*.*", entries));
        QCOMPARE(peer.count(passive ? "EPSV" : "EPRT"), 1);
        QCOMPARE(peer.count(passive ? "PASV" : "PORT"), 2);
    }

    // 501 or 550 to MLSD (even announced as MLST) is about that folder: the next listing uses MLSD
    // again. 500 or 502 means the server does not know MLSD: LIST at once and for the rest of the
    // session. "." and ".." are no entries.
    void mlsdRefusals_data()
    {
        QTest::addColumn<QByteArray>("refusal");
        QTest::addColumn<bool>("staysOn");
        QTest::newRow("501") << QByteArray("501 Bad path.\r\n") << true;
        QTest::newRow("550") << QByteArray("550 No such folder.\r\n") << true;
        QTest::newRow("500") << QByteArray("500 Unknown command.\r\n") << false;
        QTest::newRow("502") << QByteArray("502 Not implemented.\r\n") << false;
    }
    void mlsdRefusals()
    {
        QFETCH(QByteArray, refusal);
        QFETCH(bool, staysOn);
        Peer peer;
        peer.on("FEAT", {Peer::reply("211-Features:\r\n MLST type*;size*;modify*;\r\n211 End\r\n")});
        int calls = 0;
        peer.onLine("MLSD", [&](const QByteArray &) {
            return ++calls == 1 ? QList<Peer::Step>{Peer::reply(refusal)}
                                : Peer::sending("type=file;size=5; a.txt\r\n");
        });
        peer.on("LIST",
                Peer::sending("drwxr-xr-x 2 u g 4096 Jan 01  2020 .\r\ndrwxr-xr-x 2 u g 4096 Jan 01  2020 ..\r\n"
                              "-rw-r--r-- 1 u g 5 Jan 01  2020 a.txt\r\n"));
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        QList<FtpEntry> entries;
        QCOMPARE(session.list("/odd/", "*.*", entries), !staysOn);
        QVERIFY(session.list("/next/", "*.*", entries));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].size, 5);
        QCOMPARE(peer.count("MLSD"), staysOn ? 2 : 1);
        QCOMPARE(peer.count("LIST"), staysOn ? 0 : 2);
    }

    // A listing nobody could read is not an empty folder: the session counts its lines; the next
    // listing starts counting afresh.
    void unreadableLinesAreCounted()
    {
        Peer peer;
        peer.on("LIST", Peer::sending("total 2\r\n<html>\r\n-rw-r--r-- 1 a b 5 Mar  1  2020 one.txt\r\n\x01\x02\r\n"
                                      "Not a listing at all\r\n"));
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        QList<FtpEntry> entries;
        QVERIFY2(session.list("*.*", entries), qPrintable(session.lastResponseInfo()));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(session.unreadableLines(), 3);
        peer.on("LIST", Peer::sending("-rw-r--r-- 1 a b 5 Mar  1  2020 one.txt\r\n"));
        QVERIFY(session.list("*.*", entries));
        QCOMPARE(session.unreadableLines(), 0);
    }

    // Every transfer sets its type itself, whatever a raw command did before; a typed RETR does not hang.
    void transfersWithoutPreliminaryReply()
    {
        Peer peer;
        peer.on("RETR", {Peer::data("abc\r\ndef"), Peer::closeData(), Peer::wait(30), Peer::reply("226 Sent.\r\n")});
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        QVERIFY(session.command("TYPE A"));
        auto file = session.openFile("f.bin", RemoteFile::Read, FtpTransferType::Binary);
        QVERIFY(file);
        char buffer[16];
        QCOMPARE(file->read(buffer, sizeof buffer), 8);
        QCOMPARE(QByteArray(buffer, 8), QByteArray("abc\r\ndef"));
        QVERIFY(file->close());
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("226 Sent.\r\n"));
        QCOMPARE(peer.commands().mid(4), (QList<QByteArray>{"TYPE A", "TYPE I", "EPSV", "RETR f.bin"}));
        // Typed without a PASV of the user's: the client opens the data connection itself and drops the data.
        QVERIFY2(session.command("RETR f.bin"), qPrintable(session.lastResponseInfo()));
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("226 Sent.\r\n"));
    }

    // Commands that are not one line (line breaks, NUL), blanks only or longer than 4096 bytes are
    // refused before anything is sent; so is a password with a line break, at login.
    void onlyWholeLinesAreSent()
    {
        Peer peer;
        peer.on("SITE", {Peer::reply("200 Fine.\r\n")});
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        const qsizetype before = peer.commands().size();
        const QString nul(QChar(0));
        QVERIFY(!session.command("   "));
        QVERIFY(!session.command("NOOP\r\nDELE x"));
        QVERIFY(!session.command("NOOP" + nul + "DELE x"));
        QVERIFY(!session.renameFile("a", "b\nc"));
        QVERIFY(!session.deleteFile("a" + nul + "b"));
        QVERIFY(!session.setCurrentDirectory("a" + nul + "b"));
        QVERIFY(session.lastResponseInfo().startsWith("Refused"));
        QVERIFY(!session.command("SITE " + QString(4092, 'a'))); // a byte over
        QCOMPARE(session.lastResponseInfo(), QString("Refused: the command is longer than 4096 bytes.\r\n"));
        QVERIFY(!session.deleteFile(QString(2100, QChar(0x00e9)))); // two bytes each in UTF-8
        QTest::qWait(50);
        QCOMPARE(peer.commands().size(), before);
        QVERIFY(session.command("SITE " + QString(4091, 'a'))); // the longest there may be
        QTRY_COMPARE(peer.commands().size(), before + 1);
        QVERIFY(session.isOpen());

        Peer other;
        FtpSession second;
        QVERIFY(!second.open(other.options(5000, "pw\nDELE x")));
        QVERIFY(second.lastResponseInfo().contains("line break"));
        QTest::qWait(50);
        QVERIFY(!other.commands().contains("DELE x"));
    }
};

QTEST_GUILESS_MAIN(TestFtpSessionScripted)
#include "tst_ftpsession_scripted.moc"
