#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The program's temp folder as the temporary files browser sees it: placeholder files of remote
// listings and the copies the editor and the viewer keep.
namespace TempFolder {

struct Row
{
    QString path; // full path: the row's key
    QString name;
    bool folder = false;
    qint64 size = 0;
    QString sizeText; // "0" for an empty file
    QString type;
    QDateTime created;   // invalid when unknown
    QString createdText; // "-" when unknown
};

// Every entry but "." and "..", hidden ones included, by name.
QList<Row> list(const QString &folder);

// When the file came to be: its birth time where the file system records one, else the time its
// metadata last changed; invalid when neither can be read.
QDateTime creationTime(const QString &path);

struct Removal
{
    int removed = 0;
    QStringList failed;  // files that could not be deleted
    QStringList folders; // never deleted here
    QStringList outside; // paths not directly in the temp folder: never touched
};

// Deletes the named files. Only files lying directly in `folder` are touched; folders never are.
Removal remove(const QString &folder, const QStringList &paths);
// Deletes every file of the folder, leaving its subfolders.
Removal clear(const QString &folder);

// The status line after a removal: empty when every file went.
QString statusText(const Removal &removal);

} // namespace TempFolder
