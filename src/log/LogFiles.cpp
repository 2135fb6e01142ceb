#include "LogFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace LogFiles {

QString extension(LogFormat format)
{
    return format == LogFormat::Rtf ? QStringLiteral("rtf") : QStringLiteral("txt");
}

QString newLogFileName(const QString &logPath, LogFormat format)
{
    const QString suffix = QLatin1Char('.') + extension(format);
    for (qint64 n = 0;; ++n) {
        const QString name = logPath + QLatin1String("log") + QString::number(n) + suffix;
        if (!QFileInfo(name).exists() && !QFileInfo(name).isSymLink()) // a dangling link is taken too
            return name;
    }
}

bool clearAll(const QString &logPath)
{
    QDir folder(logPath);
    if (!folder.exists())
        return false;
    bool all = true;
    const QDir::Filters filters = QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    for (const QString &name : folder.entryList(filters)) {
        const QFileInfo entry(folder.filePath(name));
        if (entry.isDir() && !entry.isSymLink())
            continue;
        all = QFile::remove(entry.filePath()) && all;
    }
    return all;
}

QString withRtfExtension(const QString &fileName)
{
    const QString name = fileName.mid(fileName.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && name.mid(dot + 1) == QLatin1String("rtf"))
        return fileName;
    return fileName + QLatin1String(".rtf");
}

QString filter(LogFormat format)
{
    return format == LogFormat::Rtf ? QStringLiteral("Rich Text Format files (*.rtf)")
                                    : QStringLiteral("Text files (*.txt)");
}

bool writeFile(const QString &fileName, const QByteArray &bytes)
{
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true); // a folder we may not create files in, but the file is writable
    // Unbuffered: a buffered QSaveFile commits a file cut short by a full disk as if it were whole.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size())
        return false; // the temporary file goes with the object
    return file.commit();
}

} // namespace LogFiles
