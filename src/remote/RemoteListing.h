#pragma once

#include "FtpTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QThreadPool>

class FileIconCache;
class QStandardItem;

// The rows of the remote file list, built from a listing without any widget.
namespace RemoteListing {

// A folder row, and the ".." row, show this in the hidden "tsize" column (for display: the row's
// kind is its ListRoles::Kind).
inline constexpr qint64 FolderSize = 4096;

// Name, size, type, date, tsize; the key on the first item.
QList<QStandardItem *> parentRow(const QString &folder, FileIconCache &icons);
QList<QStandardItem *> entryRow(const QString &folder, const FtpEntry &entry, FileIconCache &icons);
// The byte count a row adds to the totals.
inline qint64 rowBytes(const FtpEntry &entry)
{
    return entry.isFolder ? FolderSize : entry.size;
}

// The log line for a listing with lines that were no entry the parser knows.
QString unreadableNote(int lines);

} // namespace RemoteListing

// The empty files in the temp folder that stand for remote files (the temporary files browser
// lists them). Names that could not be a file name here get none. Creating thousands of files
// can take seconds on a busy disk, so they are made by a worker thread while the list shows.
class PlaceholderFiles
{
public:
    explicit PlaceholderFiles(const QString &tempFolder);
    ~PlaceholderFiles();

    // Makes the files of a listing that are missing; returns at once.
    void ensure(const QStringList &names);
    // Waits until every file asked for so far exists (or could not be made).
    void waitForDone();

private:
    QString m_folder;
    QThreadPool m_worker;
};
