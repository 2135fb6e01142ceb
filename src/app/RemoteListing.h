#pragma once

#include "FtpTypes.h"

#include <QList>
#include <QSet>
#include <QString>

class FileIconCache;
class QStandardItem;

// The rows of the remote file list, built from a listing without any widget.
namespace RemoteListing {

// A folder row, and the ".." row, carry this in the hidden "tsize" column: it marks a folder.
inline constexpr qint64 FolderSize = 4096;

// Name, size, type, date, tsize; the key on the first item.
QList<QStandardItem *> parentRow(const QString &folder, FileIconCache &icons);
QList<QStandardItem *> entryRow(const QString &folder, const FtpEntry &entry, FileIconCache &icons);
// The byte count a row adds to the totals.
inline qint64 rowBytes(const FtpEntry &entry)
{
    return entry.isFolder ? FolderSize : entry.size;
}

} // namespace RemoteListing

// The empty files in the temp folder that stand for remote files (the temporary files browser
// lists them). Names that could not be a file name here get none.
class PlaceholderFiles
{
public:
    explicit PlaceholderFiles(const QString &tempFolder);
    // Reads which files the folder holds; done once per listing.
    void rescan();
    // Creates the empty file unless it exists; false when the name is not safe or creation failed.
    bool ensure(const QString &name);

private:
    QString m_folder;
    QSet<QString> m_present;
};
