// The session log in the window: RichTextBox1 mirrors the SessionLog, the log file follows it,
// and the Logs menu and the log popup run LogCommands.
#include "formmain.h"

#include "AppState.h"
#include "LogCommands.h"
#include "LogFileWriter.h"
#include "SessionLog.h"

#include <QAction>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

void formmain::createLog()
{
    m_log = new SessionLog(this);
    m_logWriter = new LogFileWriter(
        *m_log,
        [this] {
            return LogTarget{m_state.currentLogFile, logFormatFromSetting(m_state.settings.logFormat),
                             m_state.settings.keepLog};
        },
        this);
    m_logCommands = std::make_unique<LogCommands>(*m_log, *m_prompter);
    connect(m_log, &SessionLog::runsAppended, this, &formmain::showLogRuns);
    connect(m_log, &SessionLog::reset, this, &formmain::showWholeLog);
    connect(m_logWriter, &LogFileWriter::writeFailed, this, [this](const QString &text) { SetStatusLine(text); });

    onConnect(QStringLiteral("menu_newlog"), &formmain::menu_newlog_Click);
    onConnect(QStringLiteral("menu_contlog"), &formmain::menu_contlog_Click);
    onConnect(QStringLiteral("menu_clearlog"), &formmain::menu_clearlog_Click);
    connect(action(QStringLiteral("menu_rtf")), &QAction::triggered, this, [this] { setLogFormat(1); });
    connect(action(QStringLiteral("menu_txt")), &QAction::triggered, this, [this] { setLogFormat(0); });
    connect(action(QStringLiteral("menu4_copy")), &QAction::triggered, this,
            [this] { m_logCommands->copyWindowToClipboard(); });
    for (const char *name : {"menu4_clear", "menu_cmdclear"})
        connect(action(QString::fromLatin1(name)), &QAction::triggered, this, [this] { m_logCommands->clearWindow(); });
    connect(action(QStringLiteral("menu4_save")), &QAction::triggered, this,
            [this] { m_logCommands->saveWindowAs(m_state.settings.logPath); });
    connect(action(QStringLiteral("menu4_load")), &QAction::triggered, this,
            [this] { m_logCommands->loadWindow(m_state.settings.logPath); });
}

SessionLog &formmain::sessionLog()
{
    return *m_log;
}

bool formmain::LogLine(const QString &text, int kind)
{
    return m_log->logLine(text, kind);
}

bool formmain::LogServerReply(const QString &reply)
{
    return m_log->logServerReply(reply);
}

namespace {

// Runs from first on, in one edit: a batch of lines lays the document out once.
void insertRuns(QTextEdit *box, const LogRuns &runs, qsizetype first)
{
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    QTextCharFormat format;
    for (qsizetype i = first; i < runs.size(); ++i) {
        format.setForeground(runs[i].colour);
        cursor.insertText(runs[i].text, format);
    }
    cursor.endEditBlock();
}

// Always show the newest line.
void scrollToEnd(QTextEdit *box)
{
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
}

} // namespace

void formmain::showLogRuns(qsizetype first)
{
    insertRuns(RichTextBox1, m_log->runs(), first);
    scrollToEnd(RichTextBox1);
}

void formmain::showWholeLog()
{
    RichTextBox1->clear();
    insertRuns(RichTextBox1, m_log->runs(), 0);
    scrollToEnd(RichTextBox1);
}

void formmain::menu_newlog_Click()
{
    m_state.currentLogFile =
        m_logCommands->startNewLog(m_state.settings.logPath, logFormatFromSetting(m_state.settings.logFormat));
}

void formmain::menu_contlog_Click()
{
    if (auto chosen = m_logCommands->continuePreviousLog(logFormatFromSetting(m_state.settings.logFormat),
                                                         m_state.settings.logPath))
        m_state.currentLogFile = *chosen;
}

void formmain::menu_clearlog_Click()
{
    if (auto fresh =
            m_logCommands->clearAllLogs(m_state.settings.logPath, logFormatFromSetting(m_state.settings.logFormat)))
        m_state.currentLogFile = *fresh;
}

void formmain::setLogFormat(qint16 format)
{
    m_state.settings.logFormat = format;
    action(QStringLiteral("menu_rtf"))->setChecked(format == 1);
    action(QStringLiteral("menu_txt"))->setChecked(format != 1);
}
