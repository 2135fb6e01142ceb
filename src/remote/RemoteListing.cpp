#include "RemoteListing.h"

#include "FileIconCache.h"
#include "ListRoles.h"
#include "ListText.h"
#include "RemotePaths.h"
#include "ServerNames.h"
#include "variousFunctions.h"

#include <QDir>
#include <QFile>
#include <QSet>
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

// Only a name is ever edited in place, and never that of the ".." row.
QList<QStandardItem *> readOnly(QList<QStandardItem *> row, bool nameEditable)
{
    for (int c = 0; c < row.size(); ++c)
        row[c]->setEditable(c == 0 && nameEditable);
    return row;
}

} // namespace

QString RemoteListing::unreadableNote(int lines)
{
    return lines == 1 ? QStringLiteral("1 line of the listing could not be read.")
                      : QStringLiteral("%1 lines of the listing could not be read.").arg(lines);
}

QList<QStandardItem *> RemoteListing::parentRow(const QString &folder, FileIconCache &icons)
{
    auto *name = new QStandardItem(icons.folderIcon(), QStringLiteral(".."));
    name->setData(RemotePaths::parentKey(folder), ListRoles::Key);
    name->setData(true, ListRoles::ParentRow);
    name->setData(int(ListRoles::RowKind::Parent), ListRoles::Kind);
    return readOnly({name, sized(FolderSize), new QStandardItem(QStringLiteral("Parent directory")), dated({}),
                     new QStandardItem(QString::number(FolderSize))},
                    false);
}

QList<QStandardItem *> RemoteListing::entryRow(const QString &folder, const FtpEntry &entry, FileIconCache &icons)
{
    const qint64 bytes = rowBytes(entry);
    const QIcon icon = entry.isFolder ? icons.folderIcon() : entry.isLink ? icons.linkIcon() : icons.fileIcon(entry.name);
    auto *name = new QStandardItem(icon, entry.name);
    name->setData(folder + entry.name, ListRoles::Key);
    name->setData(int(entry.isFolder ? ListRoles::RowKind::Folder
                      : entry.isLink ? ListRoles::RowKind::Link
                                     : ListRoles::RowKind::File),
                  ListRoles::Kind);
    const QString type = entry.isFolder ? QStringLiteral("Directory")
                         : entry.isLink ? QStringLiteral("Symbolic link")
                                        : variousFunctions::GetFileTypeDescription(entry.name);
    return readOnly({name, sized(bytes), new QStandardItem(type), dated(entry.lastWrite),
                     new QStandardItem(QString::number(bytes))},
                    true);
}

PlaceholderFiles::PlaceholderFiles(const QString &tempFolder) : m_folder(tempFolder)
{
    m_worker.setMaxThreadCount(1);
}

PlaceholderFiles::~PlaceholderFiles()
{
    m_worker.waitForDone();
}

void PlaceholderFiles::ensure(const QStringList &names)
{
    QStringList safe;
    safe.reserve(names.size());
    for (const QString &name : names)
        if (ServerNames::localPathForServerName(m_folder, name))
            safe.append(name);
    if (safe.isEmpty())
        return;
    m_worker.start([folder = m_folder, safe] {
        const QStringList present = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        const QSet<QString> existing(present.begin(), present.end());
        for (const QString &name : safe) {
            if (existing.contains(name))
                continue;
            QFile file(folder + name);
            file.open(QIODevice::WriteOnly | QIODevice::NewOnly); // an existing file stays as it is
        }
    });
}

void PlaceholderFiles::waitForDone()
{
    m_worker.waitForDone();
}
