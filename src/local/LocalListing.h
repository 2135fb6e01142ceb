#pragma once

#include <QDateTime>
#include <QIcon>
#include <QList>
#include <QString>

class FileIconCache;
class QStandardItem;

// One row of the local file list.
struct LocalRow
{
    QString key;  // the entry's full path (the parent folder for ".."), no trailing "/"
    QString name; // ".." for the parent row
    QIcon icon;
    QString sizeText;   // "4 096" for folders and ".."
    QString type;       // "Directory", "Parent directory" or the file's type
    QString dateText;   // "-" for folders, ".." and unreadable times
    QString lengthText; // the hidden column: plain digits
    qint64 length = 0;  // as the file system reports it
    qint64 size = 0;    // what the size column sorts by
    QDateTime modified; // what the date column sorts by; invalid when not shown
    bool folder = false;
    bool parentRow = false;
};

// A listing of one local folder: the ".." row (none at "/"), then every entry the filter
// lets through, hidden ones included, by name. Entries that cannot be examined still give a row.
// Types and icons come from per-extension caches, so a large folder costs about one stat per entry.
struct LocalListing
{
    QList<LocalRow> rows;
    qint64 count = 0; // rows but ".."
    qint64 bytes = 0; // lengths of those rows, folders included

    static LocalListing of(const QString &folder, const QString &filter, FileIconCache &icons);
    // "*.*" lets everything through; "*.ext" an entry whose extension is exactly ext (case counts).
    static bool passes(const QString &name, const QString &filter);
    // "Local: N files, M bytes"
    QString totalsLine() const;
    // The rows as list items: name, size, type, date and tsize go to the columns given (-1: none).
    QList<QList<QStandardItem *>> table(const QList<int> &columns, int columnCount) const;
};
