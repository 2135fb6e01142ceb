#include "LogCommands.h"
#include "LogFiles.h"
#include "SessionLog.h"
#include "ScriptedPrompter.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

void touch(const QString &path, const QByteArray &bytes = "x")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestLogFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_logs; // ends with "/"

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_logs = m_dir.path() + QStringLiteral("/logs/");
        QDir(m_logs).removeRecursively();
        QVERIFY(QDir().mkpath(m_logs));
    }

    void newLogTakesTheFirstFreeNumberOfItsFormat()
    {
        touch(m_logs + "log0.txt");
        touch(m_logs + "log1.txt");
        touch(m_logs + "log3.txt");
        QCOMPARE(LogFiles::newLogFileName(m_logs, LogFormat::Text), m_logs + "log2.txt");
        QCOMPARE(LogFiles::newLogFileName(m_logs, LogFormat::Rtf), m_logs + "log0.rtf");
        touch(m_logs + "log0.rtf");
        touch(m_logs + "log1.rtf");
        QCOMPARE(LogFiles::newLogFileName(m_logs, LogFormat::Rtf), m_logs + "log2.rtf");
        QCOMPARE(contentOf(m_logs + "log0.rtf"), QByteArray("x")); // earlier logs are left alone
    }

    void clearAllLogsAsksThenDeletesEveryFile()
    {
        touch(m_logs + "log0.rtf");
        touch(m_logs + ".hidden");
        touch(m_logs + "notes.doc");
        QVERIFY(QDir().mkpath(m_logs + "keep"));
        touch(m_logs + "keep/inside.txt");
        SessionLog log;
        log.logLine(QStringLiteral("shown"), SessionLog::Event);
        ScriptedPrompter prompter;
        LogCommands commands(log, prompter);

        prompter.answers = {Prompter::Answer::Cancel};
        QVERIFY(!commands.clearAllLogs(m_logs, LogFormat::Text));
        QCOMPARE(QDir(m_logs).entryList(QDir::Files | QDir::Hidden).size(), 3);
        QVERIFY(!log.isEmpty());

        prompter.answers = {Prompter::Answer::Ok};
        QCOMPARE(commands.clearAllLogs(m_logs, LogFormat::Text), std::optional(m_logs + "log0.txt"));
        QVERIFY(QDir(m_logs).entryList(QDir::Files | QDir::Hidden).isEmpty());
        QVERIFY(QFile::exists(m_logs + "keep/inside.txt"));
        QVERIFY(log.isEmpty());
        QCOMPARE(prompter.messageTexts(), QStringList(2, "Are you sure you want to clear all logs?"));
        QCOMPARE(prompter.shown.constLast().icon, Prompter::Icon::Warning);
        QCOMPARE(prompter.shown.constLast().buttons, Prompter::Buttons::OkCancel);
    }

    void rtfExtensionIsAddedUnlessExactlyRtf_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("rtf") << "/a/log.rtf"
                             << "/a/log.rtf";
        QTest::newRow("capitals") << "/a/log.RTF"
                                  << "/a/log.RTF.rtf";
        QTest::newRow("no dot") << "/a/log"
                                << "/a/log.rtf";
        QTest::newRow("other") << "/a/log.txt"
                               << "/a/log.txt.rtf";
        QTest::newRow("dot in folder") << "/a.rtf/log"
                                       << "/a.rtf/log.rtf";
    }

    void rtfExtensionIsAddedUnlessExactlyRtf()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QCOMPARE(LogFiles::withRtfExtension(chosen), written);
    }

    void continuePreviousLogNeedsAnExistingFile()
    {
        SessionLog log;
        ScriptedPrompter prompter;
        LogCommands commands(log, prompter);
        touch(m_logs + "log4.txt");
        prompter.fileNames = {QString(), m_logs + "log9.txt", m_logs + "log4.txt"};
        QVERIFY(!commands.continuePreviousLog(LogFormat::Text, m_logs));
        QVERIFY(prompter.shown.isEmpty());
        QVERIFY(!commands.continuePreviousLog(LogFormat::Text, m_logs));
        QCOMPARE(prompter.messageTexts(), QStringList("This file does not exist!"));
        QCOMPARE(commands.continuePreviousLog(LogFormat::Text, m_logs), std::optional(m_logs + "log4.txt"));
        QCOMPARE(prompter.prompts, QStringList(3, "Text files (*.txt)"));
    }

    void saveAndLoadWindow()
    {
        SessionLog log;
        log.logLine(QStringLiteral("Command: RETR é.txt"), SessionLog::Command);
        log.logServerReply(QStringLiteral("550 {no}\r\n"));
        ScriptedPrompter prompter;
        LogCommands commands(log, prompter);

        prompter.fileNames = {m_logs + "Saved.RTF"};
        QVERIFY(commands.saveWindowAs());
        QCOMPARE(contentOf(m_logs + "Saved.RTF.rtf"), log.toRtf() + "\r\n");
        QVERIFY(!QFile::exists(m_logs + "Saved.RTF"));
        QCOMPARE(prompter.prompts, QStringList("Rich Text Format files (*.rtf)"));

        SessionLog other;
        LogCommands otherCommands(other, prompter);
        prompter.fileNames = {m_logs + "missing", m_logs + "Saved.RTF"};
        QVERIFY(!otherCommands.loadWindow());
        QCOMPARE(prompter.messageTexts(), QStringList("File not found."));
        QVERIFY(otherCommands.loadWindow());
        QCOMPARE(other.runs(), log.runs());
    }
};

QTEST_GUILESS_MAIN(TestLogFiles)
#include "TestLogFiles.moc"
