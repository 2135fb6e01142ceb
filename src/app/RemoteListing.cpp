#include "RemoteListing.h"

#include "FileIconCache.h"
#include "ListText.h"
#include "RemotePaths.h"
#include "ListRoles.h"
#include "variousFunctions.h"

#include <QDir>
#include <QFile>
#include <QStandardItem>

namespace {

QStandardItem *sized(qint64 bytes)
{
    auto *item = new QStandardItem(ListText::sizeText(bytes));
    item->setData(bytes, ListRoles::Sort);
    return item;
}

QStandardItem *dated(const QDateTime &time)
{
    auto *item = new QStandardItem(ListText::dateText(time));
    item->setData(time, ListRoles::Sort);
    return item;
}

} // namespace

QList<QStandardItem *> RemoteListing::parentRow(const QString &folder, FileIconCache &icons)
{
    auto *name = new QStandardItem(icons.folderIcon(), QStringLiteral(".."));
    name->setData(RemotePaths::parentKey(folder), ListRoles::Key);
    name->setData(true, ListRoles::ParentRow);
    return {name, sized(FolderSize), new QStandardItem(QStringLiteral("Parent directory")), dated({}),
            new QStandardItem(QString::number(FolderSize))};
}

QList<QStandardItem *> RemoteListing::entryRow(const QString &folder, const FtpEntry &entry, FileIconCache &icons)
{
    const qint64 bytes = rowBytes(entry);
    auto *name = new QStandardItem(entry.isFolder ? icons.folderIcon() : icons.fileIcon(entry.name), entry.name);
    name->setData(folder + entry.name, ListRoles::Key);
    const QString type = entry.isFolder ? QStringLiteral("Directory")
                                        : variousFunctions::GetFileTypeDescription(entry.name);
    return {name, sized(bytes), new QStandardItem(type), dated(entry.lastWrite),
            new QStandardItem(QString::number(bytes))};
}

PlaceholderFiles::PlaceholderFiles(const QString &tempFolder) : m_folder(tempFolder) {}

void PlaceholderFiles::rescan()
{
    const QStringList names = QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    m_present = QSet<QString>(names.begin(), names.end());
}

bool PlaceholderFiles::ensure(const QString &name)
{
    if (!RemotePaths::isSafeLocalName(name))
        return false;
    if (m_present.contains(name))
        return true;
    QFile file(m_folder + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !file.exists())
        return false;
    m_present.insert(name);
    return true;
}
