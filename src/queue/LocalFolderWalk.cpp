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

bool readable(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

QFileInfoList entriesOf(const QString &folder)
{
    return QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                      QDir::Name);
}

} // namespace

// Depth first with a stack of its own, in name order: the entries of each folder are read once.
bool LocalFolderWalk::walk(const QString &localFolder, const QString &remoteFolder, const FileFound &found,
                           const Pump &pump, const Problem &problem,
                           const Skipped &skipped)
{
    bool whole = true;
    auto enter = [&](QList<Level> &stack, const QString &folder, const QString &remote) {
        if (readable(folder)) {
            stack.append({entriesOf(folder), 0, remote});
            return;
        }
        whole = false;
        if (problem)
            problem(QStringLiteral("Could not read the folder %1.").arg(folder));
    };
    QList<Level> stack;
    enter(stack, localFolder, remoteFolder);
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
            if (!entry.isSymLink())
                enter(stack, entry.absoluteFilePath(), remote + QLatin1Char('/')); // `level` is not used after this
        } else {
            found(entry.absoluteFilePath(), remote, entry);
        }
        if (!pump())
            return false;
    }
    return whole;
}
