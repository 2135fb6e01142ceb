#include "LogCommands.h"

#include "LogFileWriter.h"
#include "LogFiles.h"
#include "SessionLog.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

LogCommands::LogCommands(SessionLog &log, Prompter &prompter) : m_log(log), m_prompter(prompter) {}

QString LogCommands::startNewLog(const QString &logPath, LogFormat format)
{
    const QString fileName = LogFiles::newLogFileName(logPath, format);
    m_log.clear();
    return fileName;
}

std::optional<QString> LogCommands::continuePreviousLog(LogFormat format, const QString &logPath)
{
    const QString fileName = m_prompter.openFileName(LogFiles::filter(format), logPath);
    if (fileName.isEmpty())
        return std::nullopt;
    if (!QFileInfo(fileName).isFile()) {
        m_prompter.message(QStringLiteral("This file does not exist!"), Prompter::Icon::Warning);
        return std::nullopt;
    }
    return fileName;
}

std::optional<QString> LogCommands::clearAllLogs(const QString &logPath, LogFormat format)
{
    const Prompter::Answer answer = m_prompter.message(QStringLiteral("Are you sure you want to clear all logs?"),
                                                       Prompter::Icon::Warning, Prompter::Buttons::OkCancel);
    if (answer != Prompter::Answer::Ok)
        return std::nullopt;
    LogFiles::clearAll(logPath); // a file that would not go only moves the new log's number on
    return startNewLog(logPath, format);
}

void LogCommands::copyWindowToClipboard() const
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(m_log.plainText(u"\n"));
}

void LogCommands::clearWindow()
{
    m_log.clear();
}

bool LogCommands::saveWindowAs(const QString &folder)
{
    const QString chosen = m_prompter.saveFileName(LogFiles::rtfFilter(), folder);
    if (chosen.isEmpty())
        return false;
    return LogFiles::writeFile(LogFiles::withRtfExtension(chosen), LogFileWriter::fileContent(m_log, LogFormat::Rtf));
}

bool LogCommands::loadWindow(const QString &folder)
{
    const QString chosen = m_prompter.openFileName(LogFiles::rtfFilter(), folder);
    if (chosen.isEmpty())
        return false;
    QFile file(LogFiles::withRtfExtension(chosen));
    if (!file.exists()) {
        m_prompter.message(QStringLiteral("File not found."), Prompter::Icon::Warning);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_log.loadRtf(file.readAll());
    return true;
}
