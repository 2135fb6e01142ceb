#include "variousFunctions.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

namespace {

// Enough for every type a desktop knows; a listing full of made-up extensions only restarts the memory.
constexpr qsizetype RememberedTypes = 4096;

QString describeExtension(const QString &extension)
{
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension, QMimeDatabase::MatchExtension);
    const QString comment = type.isValid() && !type.isDefault() ? type.comment() : QString();
    if (comment.isEmpty())
        return extension.toUpper() + QStringLiteral(" file");
    return comment;
}

} // namespace

namespace variousFunctions {

QString GetFileExtension(const QString &fileName)
{
    const QString name = CutAtNull(fileName);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < name.lastIndexOf(QLatin1Char('/')))
        return QString();
    return name.mid(dot + 1);
}

QString CutAtNull(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}

QString GetFileTypeDescription(const QString &fileName)
{
    const QString extension = GetFileExtension(fileName);
    if (extension.compare(QLatin1String("sys"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("System file");
    if (extension.isEmpty())
        return QStringLiteral("File");

    static QMutex mutex;
    static QHash<QString, QString> known;
    const QMutexLocker lock(&mutex);
    const auto found = known.constFind(extension);
    if (found != known.cend())
        return *found;
    if (known.size() >= RememberedTypes)
        known.clear();
    return *known.insert(extension, describeExtension(extension));
}

bool OpenWithAssociatedProgram(const QString &path, FileOpener &opener)
{
    const QFileInfo info(CutAtNull(path));
    if (path.isEmpty() || !info.exists())
        return false;
    const QString fullPath = info.absoluteFilePath();
    // A file marked executable that cannot run by itself (a document on a FAT disk) still opens.
    if (info.isFile() && info.isExecutable() && opener.startProgram(fullPath, info.absolutePath()))
        return true;
    return opener.openWithDesktop(fullPath);
}

bool OpenWithAssociatedProgram(const QString &path)
{
    DesktopFileOpener opener;
    return OpenWithAssociatedProgram(path, opener);
}

} // namespace variousFunctions
