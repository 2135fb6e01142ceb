#include "LocalOperations.h"

#include "LocalFileMove.h"
#include "LocalPaths.h"
#include "LocalTrash.h"
#include "Prompter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

using LocalPaths::asFolder;
using LocalPaths::withoutSlash;

namespace {

constexpr QDir::Filters Everything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool isRealFolder(const QFileInfo &info)
{
    return info.isDir() && !info.isSymLink();
}

bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QStringList entriesOf(const QString &folder)
{
    QStringList paths;
    QDirIterator it(folder, Everything);
    while (it.hasNext())
        paths << it.next();
    return paths;
}

// Removing a folder's entries needs write and search rights on the folder itself.
void openUp(const QString &folder)
{
    const auto needed = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    const auto permissions = QFile::permissions(folder);
    if ((permissions & needed) != needed)
        QFile::setPermissions(folder, permissions | needed);
}

// A link into the tree being copied points into the copy; any other keeps its target.
bool copyLink(const QFileInfo &link, const QString &from, const QString &to, const QString &target)
{
    QString pointsTo = link.symLinkTarget();
    if (pointsTo == from || pointsTo.startsWith(asFolder(from)))
        pointsTo = QDir(LocalPaths::parentFolder(target)).relativeFilePath(to + pointsTo.mid(from.size()));
    return QFile::link(pointsTo, target);
}

bool copyFile(const QString &from, const QString &to)
{
    if (!QFile::copy(from, to))
        return false;
    QFile copy(to);
    if (copy.open(QIODevice::ReadOnly))
        copy.setFileTime(QFileInfo(from).lastModified(), QFileDevice::FileModificationTime);
    return true;
}

// Immutable or append-only: not even the owner (or root) can take entries out.
bool isLocked(const QByteArray &path)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool locked = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL));
    ::close(fd);
    return locked;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Whether entries can be removed from the folder: it is writable, or ours to open up (see openUp).
bool entriesCanGo(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::access(path.constData(), W_OK | X_OK) == 0)
        return true;
    struct stat st = {};
    return ::stat(path.constData(), &st) == 0 && st.st_uid == ::geteuid() && !isLocked(path);
}

// Whether the folder and every folder inside it could be deleted after a copy: checked before the
// copy is made, so that a move that cannot finish changes nothing.
bool treeCanGo(const QString &folder)
{
    // The parent is not opened up by the removal: it must take the change as it is.
    const QByteArray parent = QFile::encodeName(LocalPaths::parentFolder(folder));
    if (::access(parent.constData(), W_OK | X_OK) != 0 || !entriesCanGo(folder))
        return false;
    QDirIterator it(folder, QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (!entriesCanGo(it.next()))
            return false;
    }
    return true;
}

// The relative paths of everything below a folder, links not followed.
QStringList treeOf(const QString &folder)
{
    QStringList paths;
    QDirIterator it(folder, Everything, QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next().mid(folder.size());
    paths.sort();
    return paths;
}

bool copyTree(const QString &from, const QString &to, const QString &top, const QString &topCopy)
{
    if (!QDir().mkdir(to))
        return false;
    for (const QString &entry : entriesOf(from)) {
        const QFileInfo info(entry);
        const QString target = to + QLatin1Char('/') + info.fileName();
        bool copied = false;
        if (info.isSymLink())
            copied = copyLink(info, top, topCopy, target);
        else if (info.isDir())
            copied = copyTree(entry, target, top, topCopy);
        else if (info.isFile())
            copied = copyFile(entry, target);
        if (!copied) // pipes, sockets and devices are not copied: the move is refused
            return false;
    }
    // Last, so that a read-only original does not keep its copy from being filled.
    QFile::setPermissions(to, QFile::permissions(from));
    return true;
}

} // namespace

namespace LocalOperations {

bool RemoveLocalFolder(const QString &folder)
{
    const QString bare = withoutSlash(folder);
    const QFileInfo info(bare);
    if (info.isSymLink())
        return QFile::remove(bare);
    if (!info.isDir())
        return false;
    const QString path = asFolder(bare);
    openUp(path);
    for (const QString &entry : entriesOf(path)) {
        const QFileInfo child(entry);
        if (isRealFolder(child) && LocalPaths::isVolumeRoot(entry))
            return false; // another volume mounted in here is not ours to empty
        if (!(isRealFolder(child) ? RemoveLocalFolder(entry) : QFile::remove(entry)))
            return false;
    }
    return LocalPaths::isVolumeRoot(path) || QDir().rmdir(path);
}

bool deleteEntry(const QString &path, LocalTrash &trash)
{
    const QString bare = withoutSlash(path);
    const QFileInfo info(bare);
    if (!taken(bare) || (isRealFolder(info) && LocalPaths::isVolumeRoot(bare)))
        return false;
    if (trash.volumeHasTrash(bare))
        return trash.moveToTrash(bare);
    return isRealFolder(info) ? RemoveLocalFolder(bare) : QFile::remove(bare);
}

bool deleteEntries(const QStringList &paths, LocalTrash &trash)
{
    bool folder = false;
    for (const QString &path : paths) {
        folder = folder || isRealFolder(QFileInfo(withoutSlash(path)));
        deleteEntry(path, trash);
    }
    return folder;
}

QString renameEntry(const QString &path, const QString &folder, const QString &newName)
{
    if (!LocalPaths::isPlainName(newName))
        return QString();
    const QString from = withoutSlash(path);
    const QString to = asFolder(folder) + newName;
    if (to == from)
        return to;
    if (taken(to) || !QDir().rename(from, to))
        return QString();
    return to;
}

bool createFolder(const QString &folder, const QString &name)
{
    return LocalPaths::isPlainName(name) && QDir().mkdir(asFolder(folder) + name);
}

bool placerDossier(const QString &source, const QString &destination)
{
    const QString from = withoutSlash(source);
    const QString to =
        destination.endsWith(QLatin1Char('/')) ? destination + LocalPaths::fileName(from) : withoutSlash(destination);
    const QFileInfo info(from);
    if (!info.isDir() || taken(to) || asFolder(to).startsWith(asFolder(from)))
        return false;
    if (QDir().rename(from, to))
        return true;
    // Only a move to another volume is done the second way; a link moves as a link or not at all.
    if (info.isSymLink() || QStorageInfo(from) == QStorageInfo(LocalPaths::parentFolder(to)))
        return false;
    return moveByCopy(from, to);
}

bool moveByCopy(const QString &source, const QString &destination)
{
    const QString from = withoutSlash(source);
    const QString to = withoutSlash(destination);
    if (!isRealFolder(QFileInfo(from)) || taken(to) || !QFileInfo(LocalPaths::parentFolder(to)).isDir() ||
        !treeCanGo(from))
        return false;
    if (!copyTree(from, to, from, to)) {
        if (taken(to))
            RemoveLocalFolder(to);
        return false;
    }
    if (RemoveLocalFolder(from))
        return true;
    // Never the files in both places: the copy goes again while the original is whole; once part
    // of the original has gone, the copy is the only whole one and stays.
    if (treeOf(from) == treeOf(to))
        RemoveLocalFolder(to);
    return false;
}

Moved moveInto(const QList<QPair<QString, bool>> &entries, const QString &folder)
{
    Moved moved;
    for (const auto &[path, isFolder] : entries) {
        const QString name = LocalPaths::fileName(path);
        const QString target = folder + name;
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) {
            moved.kept << name;
            continue;
        }
        if (isFolder)
            moved.folderMoved = placerDossier(path, folder) || moved.folderMoved;
        else
            LocalFileMove::moveInto(path, folder);
    }
    return moved;
}

bool renameEntries(const QList<QPair<QString, QString>> &entries, const QString &folder, Prompter &prompter)
{
    bool folderRenamed = false;
    for (const auto &[path, name] : entries) {
        const QString answer = prompter.input(QStringLiteral("Please enter the new name for ") + name +
                                              QStringLiteral(". Do not use the characters / \\ * ':"));
        if (answer.isEmpty())
            continue;
        const QFileInfo info(path);
        const bool wasFolder = info.isDir() && !info.isSymLink();
        if (renameEntry(path, folder, answer).isEmpty())
            break;
        folderRenamed = folderRenamed || wasFolder;
    }
    return folderRenamed;
}

} // namespace LocalOperations
