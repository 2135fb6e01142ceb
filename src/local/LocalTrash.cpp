#include "LocalTrash.h"

#include "LocalPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

bool LocalTrash::volumeHasTrash(const QString &path) const
{
#ifdef Q_OS_UNIX
    const QStorageInfo volume(LocalPaths::parentFolder(path));
    if (!volume.isValid())
        return false;
    if (volume == QStorageInfo(QDir::home()))
        return true;
    // The trash folders of a volume other than the home one, as the desktop's trash rules name them.
    const QString top = LocalPaths::asFolder(volume.rootPath());
    const QString uid = QString::number(::getuid());
    const QFileInfo shared(top + QStringLiteral(".Trash"));
    if (shared.isDir() && !shared.isSymLink() &&
        (shared.isWritable() || QFileInfo(top + QStringLiteral(".Trash/") + uid).isDir()))
        return true;
    if (QFileInfo(top + QStringLiteral(".Trash-") + uid).isDir())
        return true;
    return !volume.isReadOnly() && QFileInfo(top).isWritable();
#else
    Q_UNUSED(path);
    return true;
#endif
}

bool LocalTrash::moveToTrash(const QString &path)
{
    // The home trash is made inside the data folder, which a fresh account may not have yet.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return QFile::moveToTrash(path);
}
