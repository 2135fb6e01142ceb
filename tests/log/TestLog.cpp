// The session log, its file and the log commands, headless: colours and line ends, the file that
// follows the window (appended, caught up, failing and repaired), log names, clearing, save and load.
#include "LogCommands.h"
#include "LogFileWriter.h"
#include "LogFiles.h"
#include "ScriptedPrompter.h"
#include "SessionLog.h"
#include "TestSupport.h"
#include "support/FileSizeLimit.h"
#include "support/ReadOnlyPath.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using TestSupport::contentOf;

class TestLog : public QObject
{
    Q_OBJECT

    // A log in a fresh logs folder, written to m_target by its writer.
    QTemporaryDir m_dir;
    QString m_logs; // ends with "/"
    LogTarget m_target;
    SessionLog *m_log = nullptr;
    LogFileWriter *m_writer = nullptr;

    QByteArray expected(LogFormat format) const { return LogFileWriter::fileContent(*m_log, format); }
    QByteArray onDisk() const { return contentOf(m_target.fileName); }
    static QByteArray rtfFile(const LogRuns &runs) { return RtfWriter::document(runs) + "\r\n"; }
    void line(const char *text) { m_log->logLine(QString::fromUtf8(text), SessionLog::Event); }
    // The logs this process holds open, as the system names them ("... (deleted)" once replaced).
    QStringList openLogs() const
    {
        QStringList open;
        const QString logs = QDir(m_logs).canonicalPath() + QLatin1Char('/');
        char target[4096];
        for (int fd = 0; fd < 1024; ++fd) {
            const ssize_t n = ::readlink(qPrintable(QStringLiteral("/proc/self/fd/%1").arg(fd)), target, sizeof target);
            if (const QString name = QString::fromUtf8(target, std::max<ssize_t>(n, 0)); name.startsWith(logs))
                open += name.mid(logs.size());
        }
        return open;
    }

private slots:
    void init()
    {
        m_logs = m_dir.path() + QStringLiteral("/logs/");
        QDir(m_logs).removeRecursively();
        QVERIFY(QDir().mkpath(m_logs));
        m_target = {m_logs + QStringLiteral("log0.rtf"), LogFormat::Rtf, true};
        m_log = new SessionLog(this);
        m_writer = new LogFileWriter(*m_log, [this] { return m_target; }, this);
    }

    void cleanup()
    {
        delete m_writer;
        delete m_log;
    }

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
        QTest::newRow("699") << true << 0 << "699 last red" << LogColours::red();
        QTest::newRow("700") << true << 0 << "700 beyond" << LogColours::darkBlue();
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
        SessionLog log;
        QVERIFY(isReply ? log.logServerReply(text) : log.logLine(text, kind));
        QCOMPARE(log.runs().size(), 1);
        QTEST(log.runs().constFirst().colour, "colour");
    }

    void linesEndOnceRepliesKeepTheirOwnEnds()
    {
        SessionLog log;
        QSignalSpy appended(&log, &SessionLog::runsAppended);
        QVERIFY(!log.logServerReply(QString())); // an empty reply adds nothing
        log.logLine(QStringLiteral("Command: LIST"), SessionLog::Command);
        log.logServerReply(QStringLiteral("150 Here it comes.\r\n226-Done\r226 Bye\r\n")); // a lone CR ends a line
        log.logServerReply(QStringLiteral("421 no line end"));
        log.logLine(QStringLiteral("Disconnected from server."), SessionLog::Event);
        QCOMPARE(log.plainText(), QStringLiteral("Command: LIST\r\n150 Here it comes.\r\n226-Done\r\n226 Bye\r\n"
                                                 "421 no line endDisconnected from server.\r\n"));
        QCOMPARE(appended.size(), 4);
        QCOMPARE(log.runs().at(appended.at(1).at(0).toInt()).text, QStringLiteral("150 Here it comes.\n226-Done\n226 Bye\n"));
    }

    void eachReplyOfAResponseTakesTheColourOfItsCode()
    {
        SessionLog log;
        // A welcome, the password question and the refusal, as one failed login leaves them.
        log.logServerReply(QStringLiteral("220-Welcome\r\n 550 inside a text\r\n220 ready\r\n331 Password?\r\n"
                                          "530 Login incorrect.\r\nLogin failed.\r\n"));
        QCOMPARE(log.runs(),
                 (LogRuns{{"220-Welcome\n 550 inside a text\n220 ready\n331 Password?\n", LogColours::darkGreen()},
                          {"530 Login incorrect.\nLogin failed.\n", LogColours::red()}}));
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

    void appendedLinesGiveTheBytesOfAFullWrite_data()
    {
        QTest::addColumn<LogFormat>("format");
        QTest::newRow("rtf") << LogFormat::Rtf;
        QTest::newRow("text") << LogFormat::Text;
    }
    void appendedLinesGiveTheBytesOfAFullWrite()
    {
        QFETCH(LogFormat, format);
        m_target.format = format;
        // Loaded content brings a colour of its own into the RTF colour table.
        m_log->setRuns({{QStringLiteral("from another editor\n"), QColor(128, 0, 128)}});
        m_log->logLine(QStringLiteral("Command: CWD /{a}\\b"), SessionLog::Command);
        QCOMPARE(onDisk(), expected(format));
        // A full write puts a new file in place; appends keep growing the one opened here.
        QFile first(m_target.fileName);
        QVERIFY(first.open(QIODevice::ReadOnly));
        for (const QString &reply : QStringList{"250 ok\r\n", "550 ümlaut € 😀\r\n", "999 \tno line end", "abc\r\n"}) {
            m_log->logServerReply(reply);
            QCOMPARE(onDisk(), expected(format));
            m_log->logLine(QStringLiteral("Transfer complete."), SessionLog::Event);
            QCOMPARE(onDisk(), expected(format));
        }
        QCOMPARE(first.readAll(), onDisk());
        // Lines added together reach the file together: a moment later, or with the next line.
        for (const bool nextLine : {false, true}) {
            const QByteArray before = onDisk();
            {
                const SessionLog::Batch batch(*m_log);
                m_log->logSaid(SessionLog::Said::Command, QStringLiteral("RETR /a"), QStringLiteral("[2] "));
                m_log->append(QStringLiteral("a colour of its own\n"), QColor(1, 2, nextLine ? 4 : 3));
                m_log->logSaid(SessionLog::Said::Reply, QStringLiteral("226 Done.\r\n"), QStringLiteral("[2] "));
            }
            QCOMPARE(onDisk(), before);
            if (nextLine)
                line("Transfer complete.");
            else
                QTRY_VERIFY(onDisk() != before);
            QCOMPARE(onDisk(), expected(format));
        }
        QVERIFY(!m_writer->isFailing());
    }

    void fileKeepsItsLinesUntilAnotherBecomesCurrent()
    {
        m_log->logLine(QStringLiteral("one"), SessionLog::Event);
        m_log->clear(); // "Clear window": the file keeps its lines, the next ones follow them
        QCOMPARE(onDisk(), rtfFile({{"one\n", LogColours::black()}}));
        m_log->logServerReply(QStringLiteral("550 new colour\r\n"));
        QCOMPARE(onDisk(), rtfFile({{"one\n", LogColours::black()}, {"550 new colour\n", LogColours::red()}}));
        m_log->loadRtf("loaded"); // neither does a loaded window replace them
        m_log->logLine(QStringLiteral("two"), SessionLog::Event);
        QVERIFY(onDisk().contains("one") && !onDisk().contains("loaded") && onDisk().contains("two"));

        m_target.format = LogFormat::Text; // same name, new format
        m_log->logLine(QStringLiteral("three"), SessionLog::Event);
        QCOMPARE(onDisk(), QByteArray("one\r\n550 new colour\r\ntwo\r\nthree\r\n\r\n"));

        QFile::resize(m_target.fileName, 3); // changed behind our back: written again, whole
        m_log->logLine(QStringLiteral("four"), SessionLog::Event);
        QCOMPARE(onDisk(), QByteArray("one\r\n550 new colour\r\ntwo\r\nthree\r\nfour\r\n\r\n"));

        m_target.fileName = m_logs + "continued.txt"; // "Continue previous log"
        QVERIFY(TestSupport::writeFile(m_target.fileName, QByteArray(10000, 'z')));
        m_log->logLine(QStringLiteral("five"), SessionLog::Event);
        QCOMPARE(onDisk(), expected(LogFormat::Text));

        // Lines shown while keeping the log is off are written once it is on again.
        const QByteArray before = onDisk();
        m_target.keepLog = false;
        m_log->logLine(QStringLiteral("while off"), SessionLog::Command);
        m_log->logServerReply(QStringLiteral("226 also off\r\n"));
        QCOMPARE(onDisk(), before);
        m_target.keepLog = true;
        m_log->logLine(QStringLiteral("back on"), SessionLog::Event);
        QCOMPARE(onDisk(), expected(LogFormat::Text));

        // A log continued while off starts with the window as it was, also when it is cleared.
        m_target = {m_logs + "continued2.txt", LogFormat::Text, false};
        QVERIFY(TestSupport::writeFile(m_target.fileName));
        line("off again");
        const QByteArray window = expected(LogFormat::Text).chopped(2);
        m_log->clear();
        m_target.keepLog = true;
        line("after clear");
        QCOMPARE(onDisk(), window + "after clear\r\n\r\n");
    }

    // Appends keep the current file open (once) between lines; a file written whole, another
    // file or keeping the log off lets it go, and every file holds the bytes of a full write.
    void fileStaysOpenOnlyWhileCurrent()
    {
        const QString first = m_target.fileName;
        line("one"), line("two"); // written whole, then appended to
        QCOMPARE(openLogs(), QStringList{"log0.rtf"});
        m_target.format = LogFormat::Text; // same name, written whole again, then appended to
        line("three");
        QCOMPARE(openLogs(), QStringList{});
        line("four");
        QCOMPARE(openLogs(), QStringList{"log0.rtf"});
        QCOMPARE(onDisk(), expected(LogFormat::Text));
        const QByteArray firstBytes = onDisk();

        m_target.fileName = m_logs + "log0.txt";
        line("five"), line("six");
        QCOMPARE(openLogs(), QStringList{"log0.txt"});
        m_target.keepLog = false;
        line("seven");
        QCOMPARE(openLogs(), QStringList{});
        m_target.keepLog = true;
        line("eight");
        QCOMPARE(onDisk(), expected(LogFormat::Text));
        QCOMPARE(contentOf(first), firstBytes);

        const QByteArray secondBytes = onDisk();
        m_target = {first, LogFormat::Rtf, true}; // back to the first: it starts with the window
        line("nine"), line("ten");
        QCOMPARE(onDisk(), expected(LogFormat::Rtf));
        QCOMPARE(contentOf(m_logs + "log0.txt"), secondBytes);
        QCOMPARE(openLogs(), QStringList{"log0.rtf"});
    }

    // With no file written, a line costs the same however long the log is: the writer keeps no
    // copy of the window that the next line would then copy whole again.
    void linesWithoutAFileDoNotCopyTheLog_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("keepLog");
        QTest::newRow("no log file") << QString() << true;
        QTest::newRow("keeping the log off") << "log0.rtf" << false;
    }
    void linesWithoutAFileDoNotCopyTheLog()
    {
        QFETCH(QString, fileName);
        QFETCH(bool, keepLog);
        m_target = {fileName.isEmpty() ? fileName : m_logs + fileName, LogFormat::Rtf, keepLog};
        int moves = 0; // growing the list moves it now and then; copying it, at every line
        for (int i = 0; i < 2000; ++i) {
            const LogRun *before = m_log->runs().constData();
            line("Command: NOOP");
            moves += m_log->runs().constData() != before;
        }
        QVERIFY2(moves < 100, qPrintable(QString::number(moves)));
        m_target = {m_logs + "log1.rtf", LogFormat::Rtf, true};
        line("on");
        QCOMPARE(onDisk(), expected(LogFormat::Rtf));
    }

    // Reported once, not for every line; the next write that works brings the file up to date,
    // also after a full disk took half a line.
    void failureIsReportedOnceAndRepairedByTheNextWrite()
    {
        QSignalSpy failed(m_writer, &LogFileWriter::writeFailed);
        m_target.fileName = m_logs + "gone/log0.rtf";
        m_log->logLine(QStringLiteral("Command: PWD"), SessionLog::Command);
        m_log->logServerReply(QStringLiteral("257 \"/\"\r\n"));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(),
                 QStringLiteral("Could not write the log file %1.").arg(m_target.fileName));
        QVERIFY(m_writer->isFailing());
        QCOMPARE(m_log->runs().size(), 2); // nothing shown is lost

        QVERIFY(QDir().mkpath(m_logs + "gone"));
        m_log->logLine(QStringLiteral("Transfer complete."), SessionLog::Event);
        QCOMPARE(onDisk(), expected(LogFormat::Rtf));
        QVERIFY(!m_writer->isFailing());

        {
            FileSizeLimit full(rlim_t(onDisk().size() + 10));
            QVERIFY(full.ok());
            m_log->logLine(QStringLiteral("Command: RETR something long enough to need room"), SessionLog::Command);
        }
        QCOMPARE(failed.size(), 2); // failing again later is reported again
        m_log->logLine(QStringLiteral("Ready."), SessionLog::Event);
        QCOMPARE(onDisk(), expected(LogFormat::Rtf));

        QVERIFY(QDir(m_logs + "gone").removeRecursively());
        QVERIFY(QDir().mkpath(m_target.fileName)); // a folder where the file should be
        m_log->logLine(QStringLiteral("again"), SessionLog::Event);
        QCOMPARE(failed.size(), 3);
    }

    // Each format counts its own numbers; a dangling link's name is not given to a new log.
    void newLogTakesTheFirstFreeNumberOfItsFormat()
    {
        for (const char *name : {"log0.txt", "log1.txt", "log3.txt", "log0.rtf", "log1.rtf"})
            QVERIFY(TestSupport::writeFile(m_logs + name));
        QCOMPARE(LogFiles::newLogFileName(m_logs, LogFormat::Text), m_logs + "log2.txt");
        QCOMPARE(LogFiles::newLogFileName(m_logs, LogFormat::Rtf), m_logs + "log2.rtf");
        QVERIFY(QFile::link(m_logs + "gone", m_logs + "log2.txt"));
        QCOMPARE(LogFiles::newLogFileName(m_logs, LogFormat::Text), m_logs + "log4.txt");
        QCOMPARE(contentOf(m_logs + "log0.rtf"), QByteArray("data")); // earlier logs are left alone
    }

    // After "Clear all logs" exactly one file is left once a line is logged: the new first log.
    void clearAllLogsAsksThenDeletesEveryFile()
    {
        for (const char *name : {"log1.rtf", "log0.txt", ".hidden", "keep/inside.txt"})
            QVERIFY(TestSupport::writeFile(m_logs + name));
        m_log->logLine(QStringLiteral("before"), SessionLog::Event);
        ScriptedPrompter prompter;
        LogCommands commands(*m_log, prompter);
        prompter.answers = {Prompter::Answer::Cancel};
        QVERIFY(!commands.clearAllLogs(m_logs, LogFormat::Rtf));
        QCOMPARE(QDir(m_logs).entryList(QDir::Files | QDir::Hidden).size(), 4);
        QVERIFY(!m_log->isEmpty());

        prompter.answers = {Prompter::Answer::Ok};
        m_target.fileName = *commands.clearAllLogs(m_logs, LogFormat::Rtf);
        QCOMPARE(m_target.fileName, m_logs + "log0.rtf");
        QVERIFY(QDir(m_logs).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(QFile::exists(m_logs + "keep/inside.txt"));
        QVERIFY(m_log->isEmpty());
        QCOMPARE(prompter.messageTexts(), QStringList(2, "Are you sure you want to clear all logs?"));
        QCOMPARE(prompter.shown.constLast().buttons, Prompter::Buttons::OkCancel);
        m_log->logLine(QStringLiteral("after"), SessionLog::Event);
        QCOMPARE(QDir(m_logs).entryList(QDir::Files | QDir::Hidden), QStringList("log0.rtf"));
        QCOMPARE(onDisk(), rtfFile({{"after\n", LogColours::black()}}));

        // A file that will not go does not keep the others.
        for (const char *name : {"log0.txt", "log1.txt", "log2.txt"})
            QVERIFY(TestSupport::writeFile(m_logs + name));
        READ_ONLY_OR_SKIP(stays, m_logs + QStringLiteral("log0.txt"));
        if (::geteuid() != 0)
            QSKIP("a file is kept from going only by its folder's rights without root");
        QVERIFY(!LogFiles::clearAll(m_logs));
        QCOMPARE(QDir(m_logs).entryList(QDir::Files | QDir::System), QStringList{"log0.txt"});
    }

    void rtfExtensionIsAddedUnlessExactlyRtf_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        // clang-format off
        QTest::newRow("rtf") << "/a/log.rtf" << "/a/log.rtf";
        QTest::newRow("only the extension") << "/a/.rtf" << "/a/.rtf";
        QTest::newRow("capitals") << "/a/log.RTF" << "/a/log.RTF.rtf";
        QTest::newRow("no dot") << "/a/log" << "/a/log.rtf";
        QTest::newRow("other") << "/a/log.txt" << "/a/log.txt.rtf";
        QTest::newRow("dot in folder") << "/a.rtf/log" << "/a.rtf/log.rtf";
        // clang-format on
    }
    void rtfExtensionIsAddedUnlessExactlyRtf()
    {
        QFETCH(QString, chosen);
        QTEST(LogFiles::withRtfExtension(chosen), "written");
    }

    // Continue needs an existing file; Save as gives the name ".rtf" and Load brings the runs back.
    void fileCommands()
    {
        ScriptedPrompter prompter;
        LogCommands commands(*m_log, prompter);
        QVERIFY(TestSupport::writeFile(m_logs + "log4.txt"));
        prompter.fileNames = {QString(), m_logs + "log9.txt", m_logs + "log4.txt"};
        QVERIFY(!commands.continuePreviousLog(LogFormat::Text, m_logs));
        QVERIFY(prompter.shown.isEmpty());
        QVERIFY(!commands.continuePreviousLog(LogFormat::Text, m_logs));
        QCOMPARE(prompter.messageTexts(), QStringList("This file does not exist!"));
        QCOMPARE(commands.continuePreviousLog(LogFormat::Text, m_logs), std::optional(m_logs + "log4.txt"));
        QCOMPARE(prompter.prompts, QStringList(3, "Text files (*.txt)"));

        m_log->logLine(QStringLiteral("Command: RETR é.txt"), SessionLog::Command);
        m_log->logServerReply(QStringLiteral("550 {no}\r\n"));
        prompter.fileNames = {m_logs + "Saved.RTF"};
        QVERIFY(commands.saveWindowAs());
        QCOMPARE(contentOf(m_logs + "Saved.RTF.rtf"), m_log->toRtf() + "\r\n");
        QVERIFY(!QFile::exists(m_logs + "Saved.RTF"));
        QCOMPARE(prompter.prompts.mid(3), QStringList("Rich Text Format files (*.rtf)"));
        SessionLog other;
        LogCommands otherCommands(other, prompter);
        prompter.fileNames = {m_logs + "missing", m_logs + "Saved.RTF"};
        QVERIFY(!otherCommands.loadWindow());
        QCOMPARE(prompter.messageTexts().last(), QString("File not found."));
        QVERIFY(otherCommands.loadWindow());
        QCOMPARE(other.runs(), m_log->runs());
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "TestLog.moc"
