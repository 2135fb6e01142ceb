// Every limit the protocol code enforces, at the limit, one below and one above: reply line and
// reply sizes, the bytes and ports of data addresses, the date window of listings without a year,
// the two-digit years and 12-hour clock of DOS listings, the port of a proxy.
#include "FtpDataAddress.h"
#include "FtpListParser.h"
#include "FtpReplyReader.h"
#include "FtpSession.h"

#include <QtTest>

using namespace FtpDataAddress;

namespace {

// One reply line of exactly `size` bytes, CR LF included.
QByteArray lineOf(qsizetype size, const QByteArray &start = "200 ")
{
    return start + QByteArray(size - start.size() - 2, 'a') + "\r\n";
}

// A multi-line reply of exactly `size` bytes.
QByteArray replyOf(qsizetype size)
{
    QByteArray reply = "211-start\r\n";
    const QByteArray last = "211 end\r\n";
    while (reply.size() + last.size() + 1000 < size)
        reply += lineOf(1000, " ");
    reply += lineOf(size - reply.size() - last.size(), " ");
    return reply + last;
}

bool readerTakes(const QByteArray &bytes)
{
    FtpReplyReader reader;
    return reader.feed(bytes) && reader.hasReply();
}

} // namespace

class TestSessionLimits : public QObject
{
    Q_OBJECT

private slots:
    void replyLineAndReplySizes()
    {
        const qsizetype line = FtpReplyReader::kMaxLine;
        QVERIFY(readerTakes(lineOf(line - 1)));
        QVERIFY(readerTakes(lineOf(line)));
        QVERIFY(!readerTakes(lineOf(line + 1)));
        const qsizetype reply = FtpReplyReader::kMaxReply;
        QCOMPARE(replyOf(reply).size(), reply);
        QVERIFY(readerTakes(replyOf(reply - 1)));
        QVERIFY(readerTakes(replyOf(reply)));
        QVERIFY(!readerTakes(replyOf(reply + 1)));
    }

    // Inside a multi-line reply only "code + blank" of the same code ends it.
    void multiLineEndsOnlyWithItsOwnCode()
    {
        FtpReplyReader reader;
        QVERIFY(reader.feed("220-Welcome\r\n200 not the end\r\n220 Ready.\r\n"));
        QVERIFY(reader.hasReply());
        const FtpReply reply = reader.takeReply();
        QCOMPARE(reply.code, 220);
        QVERIFY(reply.text.endsWith("220 Ready.\r\n"));
        QVERIFY(!reader.hasReply());
        QVERIFY(!readerTakes("699 no such class\r\n"));
        QVERIFY(readerTakes("599 last class\r\n"));
    }

    void passiveAddressBytesAndPorts()
    {
        QVERIFY(parsePasv("227 (255,255,255,255,1,0)"));
        QVERIFY(!parsePasv("227 (256,1,1,1,1,0)"));
        QVERIFY(!parsePasv("227 (1,1,1,1,1,256)"));
        QCOMPARE(parsePasv("227 (1,2,3,4,0,1)")->port, quint16(1));
        QVERIFY(!parsePasv("227 (1,2,3,4,0,0)"));
        QCOMPARE(parsePasv("227 (1,2,3,4,255,255)")->port, quint16(65535));

        QCOMPARE(parseEpsv("229 (|||1|)"), std::optional<quint16>(1));
        QCOMPARE(parseEpsv("229 (|||65535|)"), std::optional<quint16>(65535));
        QVERIFY(!parseEpsv("229 (|||65536|)"));
        QVERIFY(!parseEpsv("229 (|||0|)"));
        QVERIFY(!parseEpsv("229 (||!21|)"));
        QVERIFY(!parseEpsv("229 (|!|21|)"));

        const QHostAddress local(QStringLiteral("127.0.0.1"));
        QCOMPARE(portArgument(local, 255), QByteArray("127,0,0,1,0,255"));
        QCOMPARE(portArgument(local, 256), QByteArray("127,0,0,1,1,0"));
        QCOMPARE(portArgument(local, 65535), QByteArray("127,0,0,1,255,255"));
        for (const char *edge : {"172.16.0.0", "172.31.255.255", "10.255.255.255", "192.168.255.255"})
            QVERIFY2(isUnroutable(QHostAddress(QString::fromLatin1(edge))), edge);
        for (const char *edge : {"172.15.255.255", "172.32.0.0", "11.0.0.0", "192.169.0.0"})
            QVERIFY2(!isUnroutable(QHostAddress(QString::fromLatin1(edge))), edge);
    }

    // A date without a year lies in the past year, or at most a day ahead of now.
    void unixDateWindow()
    {
        const QDateTime now(QDate(2024, 3, 10), QTime(12, 0));
        auto yearOf = [&](const char *date) {
            const auto line = FtpListParser::parseList(QByteArray("-rw-r--r-- 1 o g 5 ") + date + " 10:05 f.txt", now);
            return line ? line->lastWrite.date().year() : 0;
        };
        QCOMPARE(yearOf("Mar 10"), 2024);
        QCOMPARE(yearOf("Mar 11"), 2024); // tomorrow: another time zone
        QCOMPARE(yearOf("Mar 12"), 2023);
        QCOMPARE(yearOf("Mar  9"), 2024);
    }

    void dosYearsAndHours()
    {
        auto parsed = [](const char *line) { return FtpListParser::parseList(line, QDateTime::currentDateTime()); };
        QCOMPARE(parsed("01-02-69  10:05AM  5 a")->lastWrite.date().year(), 2069);
        QCOMPARE(parsed("01-02-70  10:05AM  5 a")->lastWrite.date().year(), 1970);
        QCOMPARE(parsed("01-02-71  10:05AM  5 a")->lastWrite.date().year(), 1971);
        QCOMPARE(parsed("01-02-24  12:00AM  5 a")->lastWrite.time().hour(), 0);
        QCOMPARE(parsed("01-02-24  12:00PM  5 a")->lastWrite.time().hour(), 12);
        QCOMPARE(parsed("01-02-24  11:59PM  5 a")->lastWrite.time().hour(), 23);
        QVERIFY(!parsed("01-02-24  13:00PM  5 a"));
        QVERIFY(!parsed("01-02-24  00:30AM  5 a"));
    }

    // The port of a proxy: 1 and 65535 are ports, 0 and 65536 are not (refused before any connection).
    void proxyPorts()
    {
        for (const auto &[proxy, valid] : {std::pair{"127.0.0.1:0", false}, std::pair{"127.0.0.1:65536", false},
                                           std::pair{"127.0.0.1:1", true}, std::pair{"127.0.0.1:65535", true}}) {
            FtpSession session;
            FtpOptions options;
            options.host = QStringLiteral("127.0.0.1");
            options.port = 1; // nothing listens: a valid proxy fails later, with another text
            options.proxy = QString::fromLatin1(proxy);
            options.timeoutMs = 2000;
            QVERIFY(!session.open(options));
            QCOMPARE(session.lastResponseInfo().contains(QLatin1String("No valid proxy")), !valid);
        }
    }
};

QTEST_GUILESS_MAIN(TestSessionLimits)
#include "tst_session_limits.moc"
