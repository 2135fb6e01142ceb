#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtGlobal>

QString TestSupport::sourceDir()
{
    return qEnvironmentVariable("VESTRIGAL_SOURCE_DIR");
}

QByteArray TestSupport::contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool TestSupport::writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QStringList TestSupport::namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray TestSupport::pattern(qsizetype size)
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char((i * 7 + i / 4096) & 0xff);
    return out;
}

QString TestSupport::otherVolume()
{
    const QString shm = QStringLiteral("/dev/shm");
    if (!QFileInfo(shm).isWritable() || QStorageInfo(shm) == QStorageInfo(QDir::tempPath()))
        return QString();
    return shm;
}

QString TestSupport::TempTree::folder(const QString &relative) const
{
    const QString path = m_dir.path() + '/' + relative + '/';
    QDir().mkpath(path);
    return QDir::cleanPath(path) + '/';
}

QString TestSupport::TempTree::file(const QString &relative, const QByteArray &content) const
{
    const QString path = m_dir.path() + '/' + relative;
    return writeFile(path, content) ? path : QString();
}
