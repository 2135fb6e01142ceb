#include "TempFolder.h"

#include "ListText.h"
#include "variousFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QDateTime TempFolder::creationTime(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {};
    const QDateTime born = info.birthTime();
    return born.isValid() ? born : info.metadataChangeTime();
}

QList<TempFolder::Row> TempFolder::list(const QString &folder)
{
    QList<Row> rows;
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : entries) {
        Row row;
        row.path = info.absoluteFilePath();
        row.name = info.fileName();
        row.folder = info.isDir() && !info.isSymLink();
        row.size = row.folder ? 0 : info.size();
        row.sizeText = ListText::sizeText(row.size);
        row.type = row.folder ? QStringLiteral("Directory") : variousFunctions::GetFileTypeDescription(row.name);
        row.created = creationTime(row.path);
        row.createdText = ListText::dateText(row.created);
        rows.append(row);
    }
    return rows;
}

TempFolder::Removal TempFolder::remove(const QString &folder, const QStringList &paths)
{
    Removal result;
    const QString root = QDir(folder).absolutePath();
    for (const QString &path : paths) {
        const QFileInfo info(path);
        // Only what the browser lists: files directly in the temp folder, never a folder.
        if (info.absoluteDir().absolutePath() != root) {
            result.outside.append(path);
            continue;
        }
        if (info.isDir() && !info.isSymLink()) {
            result.folders.append(info.fileName());
            continue;
        }
        if (QFile::remove(info.absoluteFilePath()))
            ++result.removed;
        else
            result.failed.append(info.fileName());
    }
    return result;
}

TempFolder::Removal TempFolder::clear(const QString &folder)
{
    QStringList files;
    for (const Row &row : list(folder))
        if (!row.folder)
            files.append(row.path);
    return remove(folder, files);
}

QString TempFolder::statusText(const Removal &removal)
{
    if (removal.failed.isEmpty())
        return removal.folders.isEmpty()
                   ? QString()
                   : QStringLiteral("%1 is a folder; folders are not deleted here.").arg(removal.folders.first());
    if (removal.failed.size() == 1)
        return QStringLiteral("Could not delete %1.").arg(removal.failed.first());
    return QStringLiteral("Could not delete %1 and %2 more files.")
        .arg(removal.failed.first())
        .arg(removal.failed.size() - 1);
}
