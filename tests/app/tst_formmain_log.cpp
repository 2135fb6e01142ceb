// The session log as the main window shows it and keeps it on disk.
#include "AppState.h"
#include "LogFileWriter.h"
#include "ScriptedPrompter.h"
#include "SessionLog.h"
#include "formmain.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

class TestFormMainLog : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        QTemporaryDir home;
        AppState state{AppFolders::under(home.path())};
        ScriptedPrompter *prompter = new ScriptedPrompter;
        std::unique_ptr<formmain> window;

        explicit Fixture(const QStringList &existingLogs = {})
        {
            state.folders.createMissing();
            for (const QString &name : existingLogs)
                touch(state.folders.logs + name);
            window = std::make_unique<formmain>(state, std::unique_ptr<Prompter>(prompter));
        }
        static void touch(const QString &path)
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QStringList logFiles() const { return QDir(state.folders.logs).entryList(QDir::Files | QDir::Hidden); }
        QColor colourAt(int block) const
        {
            QTextBlock b = window->RichTextBox1->document()->findBlockByNumber(block);
            return b.begin().fragment().charFormat().foreground().color();
        }
    };

private slots:
    void startsANewLogAfterTheExistingOnes()
    {
        Fixture f({"log0.rtf", "log1.rtf", "log0.txt"});
        QCOMPARE(f.state.currentLogFile, f.state.folders.logs + "log2.rtf");
        // Only the next new log takes the text format's extension.
        f.window->action("menu_txt")->trigger();
        QCOMPARE(f.state.settings.logFormat, qint16(0));
        QVERIFY(f.window->action("menu_txt")->isChecked());
        QVERIFY(!f.window->action("menu_rtf")->isChecked());
        QCOMPARE(f.state.currentLogFile, f.state.folders.logs + "log2.rtf");
        f.window->action("menu_newlog")->trigger();
        QCOMPARE(f.state.currentLogFile, f.state.folders.logs + "log1.txt");
    }

    void linesShowInColourAndReachTheFile()
    {
        Fixture f;
        f.window->LogLine("Command: PWD", 1);
        QVERIFY(f.window->LogServerReply("257 \"/\" is the current directory.\r\n"));
        QVERIFY(f.window->LogServerReply("550 No such file.\r\n"));
        QVERIFY(!f.window->LogServerReply(QString()));
        f.window->LogLine("Connected to remote host.", 0);
        QCOMPARE(f.window->RichTextBox1->toPlainText(),
                 QString("Command: PWD\n257 \"/\" is the current directory.\n550 No such file.\nConnected to remote "
                         "host.\n"));
        QCOMPARE(f.colourAt(0), QColor(0, 0, 64));
        QCOMPARE(f.colourAt(1), QColor(0, 64, 0));
        QCOMPARE(f.colourAt(2), QColor(255, 0, 0));
        QCOMPARE(f.colourAt(3), QColor(0, 0, 0));
        QFile file(f.state.currentLogFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), LogFileWriter::fileContent(f.window->sessionLog(), LogFormat::Rtf));
    }

    void clearAllLogsLeavesOneFileAfterALine()
    {
        Fixture f({"log0.rtf", ".hidden", "log7.txt"});
        f.window->LogLine("first", 0);
        f.prompter->answers = {Prompter::Answer::Cancel};
        f.window->action("menu_clearlog")->trigger();
        QCOMPARE(f.logFiles().size(), 4);
        f.prompter->answers = {Prompter::Answer::Ok};
        f.window->action("menu_clearlog")->trigger();
        QVERIFY(f.window->RichTextBox1->toPlainText().isEmpty());
        f.window->LogLine("after", 0);
        QCOMPARE(f.logFiles(), QStringList({"log0.rtf"}));
        QCOMPARE(f.prompter->messageTexts(), QStringList(2, "Are you sure you want to clear all logs?"));
    }

    void clearWindowAndLoadReplaceWhatIsShown()
    {
        Fixture f;
        f.window->LogLine("one", 1);
        f.window->LogLine("two", 0);
        const QString saved = f.home.filePath("saved.RTF");
        f.prompter->fileNames = {saved};
        f.window->action("menu4_save")->trigger();
        QVERIFY(QFile::exists(saved + ".rtf"));
        f.window->action("menu4_clear")->trigger();
        QVERIFY(f.window->RichTextBox1->toPlainText().isEmpty());
        f.prompter->fileNames = {saved + ".rtf"};
        f.window->action("menu4_load")->trigger();
        QCOMPARE(f.window->RichTextBox1->toPlainText(), QString("one\ntwo\n"));
        QCOMPARE(f.colourAt(0), QColor(0, 0, 64));
        f.prompter->fileNames = {f.home.filePath("missing.rtf")};
        f.window->action("menu4_load")->trigger();
        QCOMPARE(f.prompter->messageTexts().last(), QString("File not found."));
    }

    void anUnwritableLogIsToldInTheStatusLine()
    {
        Fixture f;
        f.state.currentLogFile = f.home.filePath("gone/log0.rtf");
        f.window->LogLine("lost?", 0);
        QVERIFY(!f.window->statusPanel("")->text().isEmpty());
        QVERIFY(f.window->statusPanel("")->text() != "Not logged in.");
        QVERIFY(f.window->RichTextBox1->toPlainText().contains("lost?"));
        QVERIFY(QDir().mkpath(f.home.filePath("gone")));
        f.window->LogLine("back", 0);
        QFile file(f.state.currentLogFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(content.contains("lost?"));
        QVERIFY(content.contains("back"));
    }
};

QTEST_MAIN(TestFormMainLog)
#include "tst_formmain_log.moc"
