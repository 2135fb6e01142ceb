#include "LocalListing.h"

#include "FileIconCache.h"
#include "ListText.h"
#include "ListRoles.h"
#include "LocalPaths.h"
#include "variousFunctions.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QStandardItem>

#include <algorithm>

namespace {

constexpr qint64 FolderSize = 4096; // what the size column shows for folders and ".."

LocalRow parentRow(const QString &folder, FileIconCache &icons)
{
    LocalRow row;
    row.key = LocalPaths::parentKey(folder);
    row.name = QStringLiteral("..");
    row.icon = icons.folderIcon();
    row.sizeText = ListText::sizeText(FolderSize);
    row.type = QStringLiteral("Parent directory");
    row.dateText = QStringLiteral("-");
    row.lengthText = QString::number(FolderSize);
    row.length = FolderSize;
    row.size = FolderSize;
    row.folder = true;
    row.parentRow = true;
    return row;
}

struct Entry
{
    QString name;
    QFileInfo info;
};

LocalRow entryRow(const Entry &entry, FileIconCache &icons)
{
    const QFileInfo &info = entry.info;
    LocalRow row;
    row.key = info.filePath();
    row.name = entry.name;
    row.folder = info.isDir();
    row.length = info.size();
    row.lengthText = QString::number(row.length);
    if (row.folder) {
        row.icon = icons.folderIcon();
        row.type = QStringLiteral("Directory");
        row.size = FolderSize;
        row.sizeText = ListText::sizeText(FolderSize);
        row.dateText = QStringLiteral("-");
        return row;
    }
    row.icon = icons.fileIcon(row.name);
    row.type = variousFunctions::GetFileTypeDescription(row.name);
    row.size = row.length;
    row.sizeText = ListText::sizeText(row.length);
    row.modified = info.lastModified();
    row.dateText = ListText::dateText(row.modified);
    return row;
}

} // namespace

LocalListing LocalListing::of(const QString &folder, const QString &filter, FileIconCache &icons)
{
    LocalListing listing;
    const QString path = LocalPaths::asFolder(folder);
    // Every folder but "/" has one, volume roots too: a separate /home must not trap the user.
    if (path != QLatin1String("/"))
        listing.rows.append(parentRow(path, icons));

    QList<Entry> entries;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        QString name = it.fileName();
        if (passes(name, filter))
            entries.append({std::move(name), it.fileInfo()});
    }
    // By name, as the user reads them; the file system's own order means nothing here.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        const int order = a.name.compare(b.name, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    listing.rows.reserve(listing.rows.size() + entries.size());
    for (const Entry &entry : entries) {
        listing.rows.append(entryRow(entry, icons));
        ++listing.count;
        listing.bytes += listing.rows.constLast().length;
    }
    return listing;
}

bool LocalListing::passes(const QString &name, const QString &filter)
{
    return filter == QLatin1String("*.*") || QStringLiteral("*.") + variousFunctions::GetFileExtension(name) == filter;
}

QString LocalListing::totalsLine() const
{
    return QStringLiteral("Local: %1 files, %2 bytes").arg(count).arg(bytes);
}

namespace {

QStandardItem *cell(const QString &text, const QVariant &sortValue = {})
{
    auto *item = new QStandardItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (sortValue.isValid())
        item->setData(sortValue, ListRoles::Sort);
    return item;
}

} // namespace

QList<QList<QStandardItem *>> LocalListing::table(const QList<int> &columns, int columnCount) const
{
    QList<QList<QStandardItem *>> table;
    table.reserve(rows.size());
    for (const LocalRow &row : rows) {
        auto *name = new QStandardItem(row.icon, row.name);
        name->setData(row.key, ListRoles::Key);
        name->setData(row.parentRow, ListRoles::ParentRow);
        name->setData(int(row.parentRow ? ListRoles::RowKind::Parent
                          : row.folder  ? ListRoles::RowKind::Folder
                                        : ListRoles::RowKind::File),
                      ListRoles::Kind);
        name->setEditable(!row.parentRow);
        QStandardItem *cells[] = {name, cell(row.sizeText, row.size), cell(row.type), cell(row.dateText, row.modified),
                                  cell(row.lengthText, row.length)};
        QList<QStandardItem *> items(columnCount, nullptr);
        for (int i = 0; i < 5; ++i) {
            if (columns.value(i, -1) >= 0 && columns.value(i, -1) < columnCount)
                items[columns[i]] = cells[i];
            else
                delete cells[i];
        }
        table.append(items);
    }
    return table;
}
