#pragma once

#include <QFile>
#include <QString>
#include <vector>

// Where a download goes while it arrives: a file beside the target ("name.part"), written in
// large pieces, which takes the target's place only when the transfer has ended well. A file the
// user already had is never replaced by less than a complete download.
class DownloadTarget
{
public:
    enum class End { Complete, Stopped, Failed };

    explicit DownloadTarget(const QString &path);
    ~DownloadTarget(); // a target never finished is discarded
    DownloadTarget(const DownloadTarget &) = delete;
    DownloadTarget &operator=(const DownloadTarget &) = delete;

    // Creates the missing folders on the way and the part file; false when either cannot be made.
    bool open();
    // The deepest folder that existed before open() made the ones below it; empty when none was made.
    QString madeBelow() const { return m_madeBelow; }
    bool write(const char *data, qint64 size);
    // Room for up to maxSize bytes to be read into directly, then kept(n) of them: no copy.
    char *room(qint64 maxSize);
    bool kept(qint64 size);
    // Complete: the part file replaces the target. Stopped: it becomes the target when there was
    // none, else it stays beside it. Failed: it is removed. False when the part could not be kept.
    bool finish(End how);
    // Where the received bytes are after finish(): the target, the part file, or nothing.
    QString resultPath() const { return m_result; }
    QString partPath() const { return m_part; }

private:
    bool makeFolders();
    bool openPart();
    bool flush();
    bool makeRoom(qint64 size);
    bool replaceTarget();
    void discard();

    static constexpr qint64 kChunk = 1024 * 1024;
    static constexpr qint64 kFirstChunk = 64 * 1024;

    QString m_path;
    QString m_part;
    QString m_madeBelow;
    QString m_result;
    QFile m_file;
    std::vector<char> m_buffer;
    qint64 m_used = 0;
    bool m_failed = false;
};
