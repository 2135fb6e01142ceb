#include "LocalPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <unistd.h>

namespace LocalPaths {

namespace {
const QChar Slash = QLatin1Char('/');

// What the file system holding the folder allows, or the usual figures when it does not say.
void limitsAt(QString folder, long &nameMax, long &pathMax)
{
    // A folder walk asks for each of its files, and transfers for each file in turn: the limits of
    // the last folder asked about are kept (per thread), as a folder's file system stays its own.
    thread_local QString lastFolder;
    thread_local long lastName = 0, lastPath = 0;
    if (!lastFolder.isNull() && folder == lastFolder) {
        nameMax = lastName;
        pathMax = lastPath;
        return;
    }
    lastFolder = folder;
    while (!QFileInfo(folder).isDir() && folder != Slash)
        folder = parentFolder(withoutSlash(folder));
    const QByteArray encoded = QFile::encodeName(folder);
    nameMax = pathconf(encoded.constData(), _PC_NAME_MAX);
    pathMax = pathconf(encoded.constData(), _PC_PATH_MAX);
    if (nameMax <= 0)
        nameMax = 255;
    if (pathMax <= 0)
        pathMax = 4096;
    lastName = nameMax;
    lastPath = pathMax;
}
} // namespace

QString asFolder(QString path)
{
    if (!path.endsWith(Slash))
        path += Slash;
    return path;
}

QString withoutSlash(const QString &path)
{
    QString result = path;
    while (result.size() > 1 && result.endsWith(Slash))
        result.chop(1);
    return result;
}

QString fileName(const QString &path)
{
    const QString bare = withoutSlash(path);
    return bare.mid(bare.lastIndexOf(Slash) + 1);
}

QString parentFolder(const QString &path)
{
    const QString bare = withoutSlash(path);
    const qsizetype slash = bare.lastIndexOf(Slash);
    return slash <= 0 ? QString(Slash) : bare.left(slash + 1);
}

QString parentKey(const QString &folder)
{
    return withoutSlash(parentFolder(folder));
}

bool isVolumeRoot(const QString &folder)
{
    const QStorageInfo volume(folder);
    return volume.isValid() && asFolder(volume.rootPath()) == asFolder(folder);
}

QString typedFolder(const QString &text)
{
    if (!QDir::isAbsolutePath(text) || text.contains(QChar(0)))
        return QString();
    return asFolder(QDir::cleanPath(text));
}

QStringList levels(const QString &folder)
{
    QStringList result;
    const QString path = asFolder(folder);
    for (qsizetype i = path.indexOf(Slash); i >= 0; i = path.indexOf(Slash, i + 1))
        result << path.left(i + 1);
    return result;
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(Slash) &&
           !name.contains(QChar(0));
}

QString lengthProblem(const QString &path)
{
    long nameMax = 0, pathMax = 0;
    limitsAt(parentFolder(path), nameMax, pathMax);
    for (const QString &name : path.split(Slash, Qt::SkipEmptyParts)) {
        const qsizetype bytes = QFile::encodeName(name).size();
        if (bytes > nameMax)
            return QStringLiteral("The name %1 is too long for the local file system (%2 bytes, at most %3).")
                .arg(name)
                .arg(bytes)
                .arg(nameMax);
    }
    const qsizetype bytes = QFile::encodeName(path).size();
    if (bytes >= pathMax)
        return QStringLiteral("The path %1 is too long for the local file system (%2 bytes, at most %3).")
            .arg(path)
            .arg(bytes)
            .arg(pathMax - 1);
    return {};
}

} // namespace LocalPaths
