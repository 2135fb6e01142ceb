#include "LocalFolderWalk.h"

#include "ServerNames.h"

#include <QDir>

namespace {

struct Level
{
    QFileInfoList entries;
    int next = 0;
    QString remoteFolder;
};

QFileInfoList entriesOf(const QString &folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                      QDir::Name);
}

} // namespace

// Depth first with a stack of its own, in name order: the entries of each folder are read once.
bool LocalFolderWalk::walk(const QString &localFolder, const QString &remoteFolder, const FileFound &found,
                           const Pump &pump, const Skipped &skipped)
{
    QList<Level> stack{{entriesOf(localFolder), 0, remoteFolder}};
    while (!stack.isEmpty()) {
        Level &level = stack.last();
        if (level.next == level.entries.size()) {
            stack.removeLast();
            continue;
        }
        const QFileInfo entry = level.entries.at(level.next++);
        const QString remote = level.remoteFolder + entry.fileName();
        if (!ServerNames::isServerName(entry.fileName())) {
            if (skipped)
                skipped(entry.absoluteFilePath());
        } else if (entry.isDir()) {
            if (!entry.isSymLink() && stack.size() < MaxDepth)
                stack.append({entriesOf(entry.absoluteFilePath()), 0, remote + QLatin1Char('/')});
        } else {
            found(entry.absoluteFilePath(), remote, entry);
        }
        if (!pump())
            return false;
    }
    return true;
}
