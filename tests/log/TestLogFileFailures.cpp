// The log file when writing it fails (a full disk, a file that will not go) or when someone else
// changed it: the failure is reported once, the next write that works brings the file up to date,
// and the reply colours sit on the right side of their bounds.
#include "LogFileWriter.h"
#include "LogFiles.h"
#include "SessionLog.h"
#include "support/FileSizeLimit.h"
#include "support/ReadOnlyPath.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLogFileFailures : public QObject
{
    Q_OBJECT

private slots:
    void fullDiskIsReportedOnceAndCaughtUp_data()
    {
        QTest::addColumn<int>("formatNumber");
        QTest::newRow("text") << int(LogFormat::Text);
        QTest::newRow("rtf") << int(LogFormat::Rtf);
    }
    void fullDiskIsReportedOnceAndCaughtUp()
    {
        QFETCH(int, formatNumber);
        const auto format = LogFormat(formatNumber);
        QTemporaryDir dir;
        LogTarget target{dir.filePath(QStringLiteral("log0.") + LogFiles::extension(format)), format, true};
        SessionLog log;
        LogFileWriter writer(log, [&] { return target; });
        QSignalSpy failed(&writer, &LogFileWriter::writeFailed);
        log.logLine(QStringLiteral("Connected."), SessionLog::Event);
        const qint64 before = QFileInfo(target.fileName).size();
        QVERIFY(before > 0);
        {
            FileSizeLimit full(rlim_t(before + 40));
            QVERIFY(full.ok());
            for (int i = 0; i < 5; ++i)
                log.logLine(QStringLiteral("Command: LIST line %1 with some length").arg(i), SessionLog::Command);
        }
        QCOMPARE(failed.count(), 1); // once, not for every line
        QCOMPARE(failed.first().first().toString(), LogFileWriter::failureText(target.fileName));
        QVERIFY(writer.isFailing());
        log.logServerReply(QStringLiteral("226 Done.\r\n"));
        QVERIFY(!writer.isFailing());
        QCOMPARE(contentOf(target.fileName), LogFileWriter::fileContent(log, format));

        // Failing again later is reported again.
        {
            FileSizeLimit full(rlim_t(QFileInfo(target.fileName).size()));
            QVERIFY(full.ok());
            log.logLine(QStringLiteral("Command: RETR something long enough to need room"), SessionLog::Command);
        }
        QCOMPARE(failed.count(), 2);
        log.logLine(QStringLiteral("Ready."), SessionLog::Event);
        QCOMPARE(contentOf(target.fileName), LogFileWriter::fileContent(log, format));
    }

    // A file changed by someone else, and lines logged while the log was not kept, are written
    // whole by the next line; appending goes on from there.
    void theFileCatchesUp()
    {
        QTemporaryDir dir;
        LogTarget target{dir.filePath(QStringLiteral("log0.txt")), LogFormat::Text, true};
        SessionLog log;
        LogFileWriter writer(log, [&] { return target; });
        log.logLine(QStringLiteral("one"), SessionLog::Event);
        log.logLine(QStringLiteral("two"), SessionLog::Event);
        // A line is appended, not the whole file written again (a new file would have a new inode).
        const auto inode = [&] {
            struct stat st = {};
            return ::stat(QFile::encodeName(target.fileName).constData(), &st) == 0 ? st.st_ino : ino_t(0);
        };
        const ino_t first = inode();
        log.logLine(QStringLiteral("appended"), SessionLog::Event);
        log.logLine(QStringLiteral("appended too"), SessionLog::Event);
        QCOMPARE(inode(), first);
        QCOMPARE(contentOf(target.fileName), LogFileWriter::fileContent(log, LogFormat::Text));
        QFile shortened(target.fileName);
        QVERIFY(shortened.resize(3));
        log.logLine(QStringLiteral("three"), SessionLog::Event);
        QCOMPARE(contentOf(target.fileName), LogFileWriter::fileContent(log, LogFormat::Text));

        target.keepLog = false;
        log.logLine(QStringLiteral("not kept"), SessionLog::Event);
        target.keepLog = true;
        log.logLine(QStringLiteral("kept again"), SessionLog::Event);
        log.logLine(QStringLiteral("and more"), SessionLog::Event);
        QCOMPARE(contentOf(target.fileName), LogFileWriter::fileContent(log, LogFormat::Text));

        // A new file name starts with the whole log, not with the last line.
        target.fileName = dir.filePath(QStringLiteral("log1.txt"));
        log.logLine(QStringLiteral("after the switch"), SessionLog::Event);
        QCOMPARE(contentOf(target.fileName), LogFileWriter::fileContent(log, LogFormat::Text));
    }

    // Clearing the logs removes every file it can, also after one that will not go; a dangling
    // link's name is not given to a new log.
    void clearingAndNamingAroundFilesThatStay()
    {
        QTemporaryDir dir;
        const QString logs = dir.path() + QLatin1Char('/');
        for (const char *name : {"log0.txt", "log1.txt", "log2.txt"}) {
            QFile file(logs + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(logs + QStringLiteral("gone"), logs + QStringLiteral("log3.txt")));
        QCOMPARE(LogFiles::newLogFileName(logs, LogFormat::Text), logs + QStringLiteral("log4.txt"));
        {
            READ_ONLY_OR_SKIP(stays, logs + QStringLiteral("log0.txt"));
            if (::geteuid() != 0)
                QSKIP("a file is kept from going only by its folder's rights without root");
            QVERIFY(!LogFiles::clearAll(logs));
            QCOMPARE(QDir(logs).entryList(QDir::Files | QDir::System), QStringList{"log0.txt"});
        }
    }

    void rtfExtensionBoundary()
    {
        QCOMPARE(LogFiles::withRtfExtension(QStringLiteral("/l/.rtf")), QStringLiteral("/l/.rtf"));
        QCOMPARE(LogFiles::withRtfExtension(QStringLiteral("/l/a.rtf")), QStringLiteral("/l/a.rtf"));
        QCOMPARE(LogFiles::withRtfExtension(QStringLiteral("/l/a.txt")), QStringLiteral("/l/a.txt.rtf"));
        QCOMPARE(LogFiles::withRtfExtension(QStringLiteral("/l.rtf/a")), QStringLiteral("/l.rtf/a.rtf"));
    }

    void replyColoursAtTheirBounds()
    {
        QCOMPARE(SessionLog::replyColour(u"399 Last good."), LogColours::darkGreen());
        QCOMPARE(SessionLog::replyColour(u"400 First bad."), LogColours::red());
        QCOMPARE(SessionLog::replyColour(u"699 Last bad."), LogColours::red());
        QCOMPARE(SessionLog::replyColour(u"700 Beyond."), LogColours::darkBlue());
        QCOMPARE(SessionLog::replyColour(u"abc"), LogColours::darkBlue());
    }

    void loneCarriageReturnsBecomeLineBreaks()
    {
        SessionLog log;
        log.logServerReply(QStringLiteral("200-a\r\n200-b\r200 c\r\n"));
        QCOMPARE(log.plainText(u"\n"), QStringLiteral("200-a\n200-b\n200 c\n"));
    }
};

QTEST_MAIN(TestLogFileFailures)
#include "TestLogFileFailures.moc"
