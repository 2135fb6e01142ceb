#include "UploadSource.h"

#include <QFileInfo>

#include <cstring>

UploadSource::UploadSource(const QString &path) : m_file(path) {}

bool UploadSource::open()
{
    if (QFileInfo(m_file.fileName()).isDir() || !m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    m_size = m_file.size();
    // No larger than the file: clearing 1 MiB for each small file of a folder costs more than
    // reading it.
    m_buffer.resize(size_t(qBound(kMinChunk, m_size, kChunk)));
    return true;
}

qint64 UploadSource::read(char *data, qint64 maxSize)
{
    const char *from = nullptr;
    const qint64 n = next(from, maxSize);
    if (n > 0)
        std::memcpy(data, from, size_t(n));
    return n;
}

qint64 UploadSource::next(const char *&data, qint64 maxSize)
{
    if (m_used == m_filled) {
        m_filled = m_file.read(m_buffer.data(), qint64(m_buffer.size()));
        m_used = 0;
        if (m_filled <= 0)
            return m_filled < 0 ? -1 : 0;
    }
    const qint64 n = qMin(maxSize, m_filled - m_used);
    data = m_buffer.data() + m_used;
    m_used += n;
    return n;
}

bool UploadSource::rewind(qint64 from)
{
    m_used = m_filled = 0;
    return m_file.seek(from);
}

QString UploadSource::identity() const
{
    const QFileInfo file(m_file.fileName());
    return file.absoluteFilePath() + QLatin1Char('\n') + QString::number(m_size) + QLatin1Char('\n') +
           QString::number(file.lastModified().toMSecsSinceEpoch());
}
