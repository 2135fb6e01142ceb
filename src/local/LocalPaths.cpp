#include "LocalPaths.h"

#include <QDir>
#include <QStorageInfo>

namespace LocalPaths {

namespace {
const QChar Slash = QLatin1Char('/');
}

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

} // namespace LocalPaths
