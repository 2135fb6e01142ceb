#include "LogCommands.h"
#include "LogFileWriter.h"
#include "SessionLog.h"
#include "ScriptedPrompter.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLogFileWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_logs;
    LogTarget m_target;
    SessionLog *m_log = nullptr;
    LogFileWriter *m_writer = nullptr;

    QByteArray expected(LogFormat format) const { return LogFileWriter::fileContent(*m_log, format); }
    QByteArray onDisk() const { return contentOf(m_target.fileName); }

private slots:
    void init()
    {
        m_logs = m_dir.path() + QStringLiteral("/logs/");
        QDir(m_logs).removeRecursively();
        QVERIFY(QDir().mkpath(m_logs));
        m_target = {m_logs + QStringLiteral("log0.rtf"), LogFormat::Rtf, true};
        m_log = new SessionLog(this);
        m_writer = new LogFileWriter(
            *m_log, [this] { return m_target; }, this);
    }

    void cleanup()
    {
        delete m_writer;
        delete m_log;
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
        const QStringList replies = {"250 ok\r\n", "550 ümlaut € 😀\r\n", "999 \tno line end", "abc\r\n"};
        for (const QString &reply : replies) {
            m_log->logServerReply(reply);
            QCOMPARE(onDisk(), expected(format));
            m_log->logLine(QStringLiteral("Transfer complete."), SessionLog::Event);
            QCOMPARE(onDisk(), expected(format));
        }
        QCOMPARE(first.readAll(), onDisk());
        QVERIFY(!m_writer->isFailing());
    }

    void fileKeepsItsLinesUntilAnotherBecomesCurrent()
    {
        m_log->logLine(QStringLiteral("one"), SessionLog::Event);
        m_log->clear(); // "Clear window": the file keeps its lines, the next ones follow them
        QCOMPARE(onDisk(), QByteArray(RtfWriter::document({{"one\n", LogColours::black()}}) + "\r\n"));
        m_log->logServerReply(QStringLiteral("550 new colour\r\n"));
        QCOMPARE(onDisk(), QByteArray(RtfWriter::document({{"one\n", LogColours::black()},
                                                           {"550 new colour\n", LogColours::red()}}) +
                                      "\r\n"));
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
        QFile old(m_target.fileName);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(10000, 'z'));
        old.close();
        m_log->logLine(QStringLiteral("five"), SessionLog::Event);
        QCOMPARE(onDisk(), expected(LogFormat::Text));
    }

    void keepLogOffThenOnWritesEverythingShown()
    {
        m_log->logLine(QStringLiteral("kept"), SessionLog::Event);
        const QByteArray before = onDisk();
        m_target.keepLog = false;
        m_log->logLine(QStringLiteral("while off"), SessionLog::Command);
        m_log->logServerReply(QStringLiteral("226 also off\r\n"));
        QCOMPARE(onDisk(), before);
        m_target.keepLog = true;
        m_log->logLine(QStringLiteral("back on"), SessionLog::Event);
        QCOMPARE(onDisk(), expected(LogFormat::Rtf));
        QVERIFY(onDisk().contains("while off") && onDisk().contains("226 also off"));
    }

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

        QVERIFY(QDir(m_logs + "gone").removeRecursively());
        QVERIFY(QDir().mkpath(m_target.fileName)); // a folder where the file should be
        m_log->logLine(QStringLiteral("again"), SessionLog::Event);
        QCOMPARE(failed.size(), 2);
    }

    void clearAllLogsLeavesExactlyOneFileAfterALine()
    {
        for (const char *name : {"log0.rtf", "log1.rtf", "log0.txt", ".hidden"}) {
            QFile file(m_logs + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        m_log->logLine(QStringLiteral("before"), SessionLog::Event);
        ScriptedPrompter prompter;
        prompter.answers = {Prompter::Answer::Ok};
        m_target.fileName = *LogCommands(*m_log, prompter).clearAllLogs(m_logs, LogFormat::Rtf);
        m_log->logLine(QStringLiteral("after"), SessionLog::Event);
        QCOMPARE(QDir(m_logs).entryList(QDir::Files | QDir::Hidden), QStringList("log0.rtf"));
        QCOMPARE(onDisk(), QByteArray(RtfWriter::document({{"after\n", LogColours::black()}}) + "\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestLogFileWriter)
#include "TestLogFileWriter.moc"
