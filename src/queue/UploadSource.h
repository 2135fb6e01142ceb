#pragma once

#include <QFile>
#include <QString>
#include <vector>

// The local file of an upload, read from the disk in large pieces and handed out in blocks.
class UploadSource
{
public:
    explicit UploadSource(const QString &path);

    bool open();                           // false when the file cannot be read
    qint64 size() const { return m_size; } // the length when it was opened
    // What tells this file's content from another's: its path, length and modification time.
    QString identity() const;
    // Up to maxSize bytes; 0 at the end of the file; -1 when the disk fails.
    qint64 read(char *data, qint64 maxSize);
    // The same without a copy: the bytes stay valid until the next call.
    qint64 next(const char *&data, qint64 maxSize);
    // Back to the first byte (or to byte from), to send the file once more, or its rest.
    bool rewind(qint64 from = 0);

private:
    static constexpr qint64 kChunk = 1024 * 1024;
    static constexpr qint64 kMinChunk = 64 * 1024;

    QFile m_file;
    qint64 m_size = 0;
    std::vector<char> m_buffer;
    qint64 m_used = 0;
    qint64 m_filled = 0;
};
