#pragma once

#include <QFile>
#include <QString>
#include <vector>

// Where a download goes while it arrives: a file beside the target ("name.part"), written in
// large pieces, which takes the target's place only when the transfer has ended well. A file the
// user already had is never replaced by less than a complete download. A part left by an earlier
// attempt is continued: the bytes that arrive again from where it is checked against what it holds.
class DownloadTarget
{
public:
    // Cut: the transfer failed, but what arrived stays in the part file for the next attempt.
    enum class End { Complete, Stopped, Cut, Failed };

    explicit DownloadTarget(const QString &path);
    ~DownloadTarget(); // a target never finished is discarded
    DownloadTarget(const DownloadTarget &) = delete;
    DownloadTarget &operator=(const DownloadTarget &) = delete;

    // The size of the part an earlier attempt left; 0 when there is none.
    qint64 partSize() const;
    // The user chose to continue the file at the target: when no part is there, it becomes the part
    // until the download completes. Whatever else happens it goes back to its name, grown at most
    // by bytes that follow it; a start over gives it back first, so it is replaced as any other.
    void adoptTarget();
    // Creates the missing folders on the way and the part file; false when either cannot be made.
    // from > 0 continues the part left: the bytes arriving from there up to its end must match
    // it (else mismatched()); the rest follows them. from = 0 starts the part anew.
    bool open(qint64 from = 0);
    bool mismatched() const { return m_mismatch; }
    bool writeFailed() const { return m_failed; } // the disk took not every byte
    // After a mismatch: empty again, for the file from its first byte.
    bool restart();
    // The deepest folder that existed before open() made the ones below it; empty when none was made.
    QString madeBelow() const { return m_madeBelow; }
    bool write(const char *data, qint64 size); // unchecked: for a part begun anew
    // Room for up to maxSize bytes to be read into directly, then kept(n) of them: no copy.
    char *room(qint64 maxSize);
    bool kept(qint64 size);
    // Complete: the part file replaces the target. Stopped: it becomes the target when there was
    // none, else it stays beside it. Failed: it is removed. False when the part could not be kept.
    bool finish(End how);
    // Where the received bytes are after finish(): the target, the part file, or nothing.
    QString resultPath() const { return m_result; }
    QString partPath() const { return m_part; }
    QString error() const; // why the last write failed

private:
    bool makeFolders();
    bool openPart(qint64 from);
    qint64 arrivedAgain(qint64 size);
    bool flush();
    bool makeRoom(qint64 size);
    bool replaceTarget();
    void discard();
    void giveBack();

    static constexpr qint64 kChunk = 1024 * 1024;
    static constexpr qint64 kFirstChunk = 64 * 1024;

    QString m_path;
    QString m_part;
    QString m_madeBelow;
    QString m_result;
    QFile m_file;
    std::vector<char> m_buffer;
    qint64 m_used = 0;
    QByteArray m_expected; // the part's last bytes, still to arrive again
    bool m_failed = false;
    bool m_mismatch = false;
    bool m_adopted = false; // the part is the user's file
};
