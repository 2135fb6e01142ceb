#pragma once

#include "LogRun.h"

#include <QByteArray>
#include <QString>

// The log files on disk: their names, the dialogs' filters, clearing the log folder.
// Folder paths end with "/".
namespace LogFiles {

// "rtf" or "txt".
QString extension(LogFormat format);
// The first log path & "log" & n & "." & extension, n = 0, 1, 2, ..., that names nothing on disk.
QString newLogFileName(const QString &logPath, LogFormat format);
// Deletes every file in the folder, hidden ones included; subfolders stay. True when all went.
bool clearAll(const QString &logPath);
// The name with ".rtf" appended unless the text after its last dot is exactly "rtf".
QString withRtfExtension(const QString &fileName);

// Filters for the file dialogs.
QString filter(LogFormat format);
inline QString rtfFilter()
{
    return filter(LogFormat::Rtf);
}

// Replaces the file's content with the bytes; the old content stays if the write fails.
bool writeFile(const QString &fileName, const QByteArray &bytes);

} // namespace LogFiles
