#pragma once

#include "LogRun.h"
#include "Prompter.h"

#include <optional>

class SessionLog;

// The Logs menu and the log window's popup, without the window: dialogs and messages go
// through the Prompter, and the caller keeps the current log file these commands return.
class LogCommands
{
public:
    LogCommands(SessionLog &log, Prompter &prompter);

    // "Start new log": empties the window and returns the new current log file (not yet created).
    QString startNewLog(const QString &logPath, LogFormat format);
    // "Continue previous log": the chosen file, or nothing when cancelled or when it does not exist.
    std::optional<QString> continuePreviousLog(LogFormat format, const QString &logPath);
    // "Clear all logs": after the user's OK, deletes the files and starts a new log, whose file it returns.
    std::optional<QString> clearAllLogs(const QString &logPath, LogFormat format);

    // "Copy window to clipboard"; needs a QGuiApplication.
    void copyWindowToClipboard() const;
    // "Clear window", "Clear FTP window": the log file is written again by the next line.
    void clearWindow();
    // "Save window as...": true when a file was written.
    bool saveWindowAs(const QString &folder = {});
    // "Load window": true when a file was loaded into the window.
    bool loadWindow(const QString &folder = {});

private:
    SessionLog &m_log;
    Prompter &m_prompter;
};
