#include "LocalFileMove.h"

#include "LocalPaths.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace {

// Copies beside the target, checks the copy, then gives it its name; nothing is left on failure.
bool copyChecked(const QString &from, const QString &to)
{
    const QString partial = to + QStringLiteral(".part-move");
    QFile::remove(partial);
    if (!QFile::copy(from, partial))
        return QFile::remove(partial) && false;
    if (QFileInfo(partial).size() != QFileInfo(from).size() || QFileInfo::exists(to) || !QFile::rename(partial, to)) {
        QFile::remove(partial);
        return false;
    }
    return true;
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
