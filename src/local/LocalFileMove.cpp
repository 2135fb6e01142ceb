#include "LocalFileMove.h"

#include "LocalPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <unistd.h>

namespace {

// Copies beside the target under a name made for it (none of the user's files can have it), checks
// the copy, then gives it its name without replacing anything; nothing is left on failure.
bool copyChecked(const QString &from, const QString &to)
{
    QFile source(from);
    QTemporaryFile partial(LocalPaths::parentFolder(to) + QStringLiteral(".vestrigal-move-XXXXXX"));
    if (!source.open(QIODevice::ReadOnly) || !partial.open())
        return false;
    QByteArray block;
    while (!(block = source.read(1 << 20)).isEmpty())
        if (partial.write(block) != block.size())
            return false;
    if (source.error() != QFileDevice::NoError || !partial.flush() || partial.size() != source.size())
        return false;
    partial.setPermissions(source.permissions());
    // A hard link never replaces a file; the temporary name goes when `partial` does.
    const QByteArray made = QFile::encodeName(partial.fileName());
    const QByteArray target = QFile::encodeName(to);
    if (::link(made.constData(), target.constData()) == 0)
        return true;
    if (errno == EEXIST || QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return false;
    // A file system without hard links: a rename, the target checked just before.
    partial.setAutoRemove(false);
    partial.close();
    if (QFile::rename(partial.fileName(), to))
        return true;
    QFile::remove(partial.fileName());
    return false;
}

} // namespace

LocalFileMove::Result LocalFileMove::moveInto(const QString &file, const QString &targetFolder)
{
    const QFileInfo source(file);
    const QString target = LocalPaths::asFolder(targetFolder) + source.fileName();
    if (!source.isFile() || !QFileInfo(targetFolder).isDir())
        return Result::Failed;
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        return Result::Taken;
    if (source.absoluteFilePath() == QFileInfo(target).absoluteFilePath())
        return Result::Failed;
    // A hard link cannot replace anything and shares the data: then only the old name goes.
    const QByteArray from = QFile::encodeName(source.absoluteFilePath());
    const QByteArray to = QFile::encodeName(target);
    if (::link(from.constData(), to.constData()) == 0) {
        if (::unlink(from.constData()) == 0)
            return Result::Moved;
        ::unlink(to.constData());
        return Result::Failed;
    }
    if (errno == EEXIST)
        return Result::Taken;
    if (!copyChecked(file, target))
        return Result::Failed;
    if (!QFile::remove(file)) {
        QFile::remove(target); // the original stays where it was; no second copy is left behind
        return Result::Failed;
    }
    return Result::Moved;
}
