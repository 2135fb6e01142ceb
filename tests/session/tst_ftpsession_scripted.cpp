// The FTP client against a scripted peer that plays exact replies: split and multi-line
// replies, servers without 1xx or with an early 226, a stalled server, 421, malformed replies,
// and the commands the client really sent.

#include "FtpSession.h"
#include "ScriptedFtpPeer.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

using Peer = ScriptedFtpPeer;

class TestFtpSessionScripted : public QObject
{
    Q_OBJECT

private:
    static FtpOptions optionsFor(const Peer &peer, int timeoutMs = 5000)
    {
        FtpOptions o;
        o.host = QStringLiteral("127.0.0.1");
        o.port = peer.port();
        o.user = QStringLiteral("user");
        o.password = QStringLiteral("pass-word");
        o.timeoutMs = timeoutMs;
        return o;
    }

    static QByteArray readAll(FtpFile &file)
    {
        QByteArray out;
        char buffer[3];
        qint64 n = 0;
        while ((n = file.read(buffer, sizeof buffer)) > 0)
            out.append(buffer, n);
        return n < 0 ? QByteArray("<failed>") : out;
    }

private slots:
    void loginReadsSplitAndMultiLineReplies()
    {
        Peer peer;
        peer.setGreeting({Peer::reply("120 Wait a"), Peer::wait(30), Peer::reply(" moment.\r\n22"), Peer::wait(30),
                          Peer::reply("0-Welcome\r\n220-123 inner line\r\n220 Ready.\r\n")});
        peer.on("USER", {Peer::reply("331 Send"), Peer::wait(20), Peer::reply(" it.\r\n")});
        peer.on("PASS", {Peer::reply("230-Hello pass-word\r\n230 In.\r\n")});
        FtpSession session;
        QVERIFY2(session.open(optionsFor(peer)), qPrintable(session.lastResponseInfo()));
        QCOMPARE(session.lastResponseInfo(),
                 QStringLiteral("120 Wait a moment.\r\n220-Welcome\r\n220-123 inner line\r\n220 Ready.\r\n"
                                "502 No TLS here.\r\n331 Send it.\r\n230-Hello ********\r\n230 In.\r\n"));
        // TLS is asked for first; without it the login goes on in clear.
        QCOMPARE(peer.commands(), (QList<QByteArray>{"AUTH TLS", "USER user", "PASS pass-word", "FEAT"}));
    }

    void loginFailuresExplainThemselves()
    {
        Peer peer;
        peer.on("PASS", {Peer::reply("332 Need account.\r\n")});
        FtpSession session;
        QVERIFY(!session.open(optionsFor(peer)));
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("332 Need account.\r\n")));
        QVERIFY(!session.isOpen());

        Peer busy;
        busy.setGreeting({Peer::reply("421 Too many users.\r\n")});
        QVERIFY(!session.open(optionsFor(busy)));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("421 Too many users.")));
    }

    void preliminaryAndSeveralRepliesInOnePacket()
    {
        Peer peer;
        peer.on("SITE", {Peer::reply("150 Working.\r\n200 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QVERIFY(session.command(QStringLiteral("SITE WORK")));
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("150 Working.\r\n200 Done.\r\n"));
        QCOMPARE(session.lastReplyCode(), 200);
    }

    // A silent server: the call ends at the time-out while events keep running, and the session,
    // now out of step with the server, is closed.
    void stalledServerTimesOut()
    {
        Peer peer;
        peer.on("CWD", {Peer::reply("250 Half a li")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer, 400)));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!session.setCurrentDirectory(QStringLiteral("/x")));
        QVERIFY(clock.elapsed() >= 350 && clock.elapsed() < 3000);
        QVERIFY(ticks >= 5);
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("No answer from the server")));
        QVERIFY(!session.isOpen());
    }

    void closeFromAnEventEndsTheCall()
    {
        Peer peer;
        peer.on("MKD", {});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer, 10000)));
        QTimer::singleShot(50, &session, [&session] {
            QVERIFY(!session.deleteFile(QStringLiteral("x"))); // a second call meanwhile: busy
            QVERIFY(session.lastResponseInfo().contains(QLatin1String("in progress")));
            session.close();
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!session.createDirectory(QStringLiteral("new")));
        QVERIFY(clock.elapsed() < 3000);
        QVERIFY(session.lastResponseInfo().contains(QLatin1String("closed")));
        QVERIFY(!session.isOpen());
        QCOMPARE(peer.commands().count("DELE x"), 0);
    }

    void reply421AndBadRepliesEndTheSession_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("421") << QByteArray("421 Shutting down.\r\n");
        QTest::newRow("malformed") << QByteArray("hello?\r\n");
        QTest::newRow("overlong") << QByteArray("250-") + QByteArray(100000, 'x');
        QTest::newRow("closed") << QByteArray();
    }
    void reply421AndBadRepliesEndTheSession()
    {
        QFETCH(QByteArray, reply);
        Peer peer;
        peer.on("CWD", {reply.isEmpty() ? Peer::closeControl() : Peer::reply(reply)});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QVERIFY(!session.setCurrentDirectory(QStringLiteral("/")));
        QVERIFY(!session.isOpen());
        QVERIFY(!session.lastResponseInfo().isEmpty());
        if (reply.startsWith("421"))
            QCOMPARE(session.lastResponseInfo(), QString::fromLatin1(reply));
    }

    // The final 226 may come before the last of the data; the listing still gets all of it,
    // including a last line without a line end. EPSV refused once is not tried again, and a PASV
    // address of 0.0.0.0 means the control connection's peer.
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
        QVERIFY(session.open(optionsFor(peer)));
        QList<FtpEntry> entries;
        QVERIFY2(session.list(QStringLiteral("/pub/*.txt"), entries), qPrintable(session.lastResponseInfo()));
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[1].name, QStringLiteral("two.txt"));
        QCOMPARE(entries[1].size, 7);
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("150 Here it comes.\r\n226 Done.\r\n"));
        QVERIFY(session.list(QStringLiteral("*.*"), entries));
        const QList<QByteArray> expected{"AUTH TLS", "USER user", "PASS pass-word", "FEAT", "TYPE A", "EPSV",
                                         "PASV",     "LIST /pub/", "TYPE A",         "PASV", "LIST"};
        QCOMPARE(peer.commands(), expected);
    }

    // A listing nobody could read is not an empty folder: the session counts its lines; the next
    // listing starts counting afresh.
    void unreadableLinesAreCounted()
    {
        Peer peer;
        peer.on("EPSV", {Peer::reply("229 (|||" + QByteArray::number(peer.dataPort()) + "|)\r\n")});
        peer.on("LIST", {Peer::reply("150 Here.\r\n"),
                         Peer::data("total 2\r\n<html>\r\n-rw-r--r-- 1 a b 5 Mar  1  2020 one.txt\r\n\x01\x02\r\n"
                                    "Not a listing at all\r\n"),
                         Peer::closeData(), Peer::reply("226 Done.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QList<FtpEntry> entries;
        QVERIFY2(session.list(QStringLiteral("*.*"), entries), qPrintable(session.lastResponseInfo()));
        QCOMPARE(entries.size(), 1);
        QCOMPARE(session.unreadableLines(), 3);
        peer.on("LIST", {Peer::reply("150 Here.\r\n"), Peer::data("-rw-r--r-- 1 a b 5 Mar  1  2020 one.txt\r\n"),
                         Peer::closeData(), Peer::reply("226 Done.\r\n")});
        QVERIFY(session.list(QStringLiteral("*.*"), entries));
        QCOMPARE(session.unreadableLines(), 0);
    }

    // Every transfer sets its type itself, whatever a raw command did before.
    void transfersWithoutPreliminaryReply()
    {
        Peer peer;
        peer.on("RETR", {Peer::data("abc\r\ndef"), Peer::closeData(), Peer::wait(30), Peer::reply("226 Sent.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        QVERIFY(session.command(QStringLiteral("TYPE A")));
        auto file = session.openFile(QStringLiteral("f.bin"), FtpFile::Read, FtpTransferType::Binary);
        QVERIFY(file);
        QCOMPARE(readAll(*file), QByteArray("abc\r\ndef"));
        QVERIFY(file->close());
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("226 Sent.\r\n"));
        QCOMPARE(peer.commands().mid(4), (QList<QByteArray>{"TYPE A", "TYPE I", "EPSV", "RETR f.bin"}));
    }

    void brokenTransferFails()
    {
        Peer peer;
        peer.on("RETR", {Peer::reply("150 Sending.\r\n"), Peer::data("partial"), Peer::closeData(),
                         Peer::reply("426 Connection lost.\r\n")});
        peer.on("STOR", {Peer::reply("553 Not allowed.\r\n")});
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        auto file = session.openFile(QStringLiteral("f.txt"), FtpFile::Read, FtpTransferType::Ascii);
        QVERIFY(file);
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("150 Sending.\r\n"));
        QCOMPARE(readAll(*file), QByteArray("partial"));
        QVERIFY(!file->close());
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("426 Connection lost.\r\n"));
        QVERIFY(!session.openFile(QStringLiteral("g.txt"), FtpFile::Write, FtpTransferType::Binary));
        QCOMPARE(session.lastResponseInfo(), QStringLiteral("553 Not allowed.\r\n"));
        QVERIFY(session.isOpen());
    }

    void linesBreaksAreNeverSent()
    {
        Peer peer;
        FtpSession session;
        QVERIFY(session.open(optionsFor(peer)));
        const qsizetype before = peer.commands().size();
        QVERIFY(!session.command(QStringLiteral("NOOP\r\nDELE x")));
        QVERIFY(!session.renameFile(QStringLiteral("a"), QStringLiteral("b\nc")));
        QVERIFY(!session.setCurrentDirectory(QStringLiteral("a") + QChar(0) + QStringLiteral("b")));
        QVERIFY(session.lastResponseInfo().startsWith(QLatin1String("Refused")));
        QTest::qWait(50);
        QCOMPARE(peer.commands().size(), before);
        QVERIFY(session.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestFtpSessionScripted)
#include "tst_ftpsession_scripted.moc"
