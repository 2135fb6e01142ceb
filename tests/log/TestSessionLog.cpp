#include "SessionLog.h"

#include <QSignalSpy>
#include <QTest>

class TestSessionLog : public QObject
{
    Q_OBJECT

private slots:
    void coloursByKindAndReplyCode_data()
    {
        QTest::addColumn<bool>("isReply");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("colour");

        QTest::newRow("command") << false << 1 << "Command: PWD" << LogColours::darkBlue();
        QTest::newRow("event") << false << 0 << "Transfer complete." << LogColours::black();
        QTest::newRow("unknown kind") << false << 7 << "Command: looks like one" << LogColours::black();
        QTest::newRow("226") << true << 0 << "226 Transfer complete.\r\n" << LogColours::darkGreen();
        QTest::newRow("000") << true << 0 << "000 odd" << LogColours::darkGreen();
        QTest::newRow("399") << true << 0 << "399 last green" << LogColours::darkGreen();
        QTest::newRow("400") << true << 0 << "400 first red" << LogColours::red();
        QTest::newRow("550") << true << 0 << "550 No such file.\r\n" << LogColours::red();
        QTest::newRow("699") << true << 0 << "699 last red" << LogColours::red();
        QTest::newRow("700") << true << 0 << "700 beyond" << LogColours::darkBlue();
        QTest::newRow("999") << true << 0 << "999 nonsense\r\n" << LogColours::darkBlue();
        QTest::newRow("not a number") << true << 0 << "abc: the connection was reset" << LogColours::darkBlue();
        QTest::newRow("digits then letters") << true << 0 << "2xx" << LogColours::darkBlue();
        QTest::newRow("negative") << true << 0 << "-12 odd" << LogColours::darkBlue();
        QTest::newRow("shorter than a code") << true << 0 << "5" << LogColours::darkGreen();
    }

    void coloursByKindAndReplyCode()
    {
        QFETCH(bool, isReply);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QColor, colour);
        SessionLog log;
        QVERIFY(isReply ? log.logServerReply(text) : log.logLine(text, kind));
        QCOMPARE(log.runs().size(), 1);
        QCOMPARE(log.runs().constFirst().colour.rgb(), colour.rgb());
    }

    void linesEndOnceRepliesKeepTheirOwnEnds()
    {
        SessionLog log;
        QSignalSpy appended(&log, &SessionLog::runAppended);
        log.logLine(QStringLiteral("Command: LIST"), SessionLog::Command);
        log.logServerReply(QStringLiteral("150 Here it comes.\r\n226-Done\r\n226 Bye\r\n"));
        log.logServerReply(QStringLiteral("421 no line end"));
        log.logLine(QStringLiteral("Disconnected from server."), SessionLog::Event);
        QCOMPARE(log.plainText(), QStringLiteral("Command: LIST\r\n150 Here it comes.\r\n226-Done\r\n226 Bye\r\n"
                                                 "421 no line endDisconnected from server.\r\n"));
        QCOMPARE(appended.size(), 4);
        QCOMPARE(appended.at(1).at(0).toString(), QStringLiteral("150 Here it comes.\n226-Done\n226 Bye\n"));
    }

    void eachReplyOfAResponseTakesTheColourOfItsCode()
    {
        SessionLog log;
        // A welcome, the password question and the refusal, as one failed login leaves them.
        log.logServerReply(QStringLiteral("220-Welcome\r\n 550 inside a text\r\n220 ready\r\n331 Password?\r\n"
                                          "530 Login incorrect.\r\nLogin failed.\r\n"));
        QCOMPARE(log.runs().size(), 2);
        QCOMPARE(log.runs().at(0).text, QStringLiteral("220-Welcome\n 550 inside a text\n220 ready\n331 Password?\n"));
        QCOMPARE(log.runs().at(0).colour.rgb(), LogColours::darkGreen().rgb());
        QCOMPARE(log.runs().at(1).text, QStringLiteral("530 Login incorrect.\nLogin failed.\n"));
        QCOMPARE(log.runs().at(1).colour.rgb(), LogColours::red().rgb());
    }

    void emptyReplyAddsNothing()
    {
        SessionLog log;
        QSignalSpy appended(&log, &SessionLog::runAppended);
        QVERIFY(!log.logServerReply(QString()));
        QVERIFY(log.isEmpty());
        QCOMPARE(appended.size(), 0);
    }

    void clearAndLoadReplaceTheContent()
    {
        SessionLog log;
        QSignalSpy reset(&log, &SessionLog::reset);
        log.logLine(QStringLiteral("Command: PWD"), SessionLog::Command);
        const QByteArray saved = log.toRtf();
        log.clear();
        QVERIFY(log.isEmpty());
        log.logLine(QStringLiteral("something else"), SessionLog::Event);
        log.loadRtf(saved);
        QCOMPARE(reset.size(), 2);
        QCOMPARE(log.toRtf(), saved);
        log.loadRtf("plain\r\ntext");
        QCOMPARE(log.plainText(u"\n"), QStringLiteral("plain\ntext"));
    }
};

QTEST_GUILESS_MAIN(TestSessionLog)
#include "TestSessionLog.moc"
