// The reply reader: bytes in, whole replies out, whatever the packet boundaries; lines and replies
// at their size limits.

#include "FtpReplyReader.h"

#include <QtTest>

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
    while (reply.size() + 1000 + 9 < size)
        reply += lineOf(1000, " ");
    return reply + lineOf(size - reply.size() - 9, " ") + "211 end\r\n";
}

bool readerTakes(const QByteArray &bytes)
{
    FtpReplyReader reader;
    return reader.feed(bytes) && reader.hasReply();
}

} // namespace

class TestFtpReplyReader : public QObject
{
    Q_OBJECT

private:
    // Feeds the stream in two pieces split at the given offset.
    static QList<FtpReply> readSplit(const QByteArray &stream, qsizetype at, bool &ok)
    {
        FtpReplyReader reader;
        ok = reader.feed(stream.left(at)) && reader.feed(stream.mid(at));
        QList<FtpReply> replies;
        while (reader.hasReply())
            replies.append(reader.takeReply());
        return replies;
    }

private slots:
    void wholeRepliesAtEveryOffset_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QList<QByteArray>>("texts");
        QTest::newRow("one line") << QByteArray("220 Ready.\r\n") << QList<int>{220}
                                  << QList<QByteArray>{"220 Ready.\r\n"};
        QTest::newRow("several in one packet, the last class")
            << QByteArray("150 Opening.\r\n226 Done.\r\n599 OK\r\n") << QList<int>{150, 226, 599}
            << QList<QByteArray>{"150 Opening.\r\n", "226 Done.\r\n", "599 OK\r\n"};
        const QByteArray greeting = "220-Welcome\r\n220-\r\n   indented\r\n220 ready\r\n";
        QTest::newRow("multi-line greeting") << greeting << QList<int>{220} << QList<QByteArray>{greeting};
        // Inner lines that start with digits, even another code followed by a blank, do not end it.
        const QByteArray feat = "211-Features:\r\n 211 inner\r\n230 other code\r\n211-still\r\n211 End\r\n";
        QTest::newRow("inner lines with digits") << feat + "200 next\r\n"
                                                 << QList<int>{211, 200} << QList<QByteArray>{feat, "200 next\r\n"};
        QTest::newRow("bare LF and bare code")
            << QByteArray("200 a\n220\r\n") << QList<int>{200, 220} << QList<QByteArray>{"200 a\n", "220\r\n"};
        QTest::newRow("NUL bytes dropped")
            << QByteArray("200 a\0b\r\n", 9) << QList<int>{200} << QList<QByteArray>{"200 ab\r\n"};
    }
    void wholeRepliesAtEveryOffset()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QList<int>, codes);
        QFETCH(QList<QByteArray>, texts);
        for (qsizetype at = 0; at <= stream.size(); ++at) {
            bool ok = false;
            const QList<FtpReply> replies = readSplit(stream, at, ok);
            QVERIFY(ok);
            QCOMPARE(replies.size(), codes.size());
            for (qsizetype i = 0; i < replies.size(); ++i) {
                QCOMPARE(replies[i].code, codes[i]);
                QCOMPARE(replies[i].text, texts[i]);
            }
        }
        // And byte by byte.
        FtpReplyReader reader;
        for (char c : stream)
            QVERIFY(reader.feed(QByteArray(1, c)));
        for (int code : codes)
            QCOMPARE(reader.takeReply().code, code);
        QVERIFY(!reader.hasReply());
    }

    void malformedAndOverlongFail_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::newRow("no code") << QByteArray("hello there\r\n");
        QTest::newRow("code 600") << QByteArray("600 what\r\n");
        QTest::newRow("code 699") << QByteArray("699 what\r\n");
        QTest::newRow("bad separator") << QByteArray("200x\r\n");
        QTest::newRow("overlong line") << QByteArray("200 ") + QByteArray(FtpReplyReader::kMaxLine, 'a');
        QByteArray endless = "211-start\r\n";
        while (endless.size() <= FtpReplyReader::kMaxReply)
            endless += "211-more of the same and more of the same and more\r\n";
        QTest::newRow("overlong reply") << endless;
    }
    // The longest line and the largest reply are taken, one byte more is not.
    void sizeLimits()
    {
        const qsizetype line = FtpReplyReader::kMaxLine, reply = FtpReplyReader::kMaxReply;
        QCOMPARE(replyOf(reply).size(), reply);
        QVERIFY(readerTakes(lineOf(line - 1)) && readerTakes(lineOf(line)) && !readerTakes(lineOf(line + 1)));
        QVERIFY(readerTakes(replyOf(reply - 1)) && readerTakes(replyOf(reply)) && !readerTakes(replyOf(reply + 1)));
    }

    void malformedAndOverlongFail()
    {
        QFETCH(QByteArray, stream);
        FtpReplyReader reader;
        QVERIFY(!reader.feed(stream));
        QVERIFY(reader.failed());
        QVERIFY(!reader.error().isEmpty());
        QVERIFY(!reader.feed("200 ok\r\n")); // stays failed until reset
        reader.reset();
        QVERIFY(reader.feed("200 ok\r\n"));
        QCOMPARE(reader.takeReply().code, 200);
    }
};

QTEST_GUILESS_MAIN(TestFtpReplyReader)
#include "tst_ftpreplyreader.moc"
