#pragma once

#include "FtpTypes.h"
#include "QueueEntry.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <memory>
#include <optional>

class DownloadTarget;
class FtpFile;
class FtpSession;
class FtpUploadTarget;
class QueueModel;
class TransferHost;
class UploadSource;

// Works off the queue: takes the first row, moves that file in blocks of the buffer size over the
// host's connection, shows the percentage in the row, removes the row when the transfer has ended
// and goes on while the queue runs and holds entries. One loop, however long the queue.
//
// Between blocks it lets events run every few milliseconds; the queue controls that run then
// steer it only through the block size: Held (0) holds the transfer with its files open, Stop (1)
// ends it through the usual finishing steps. After every pump it re-reads what it works on: the
// row, the queue and the connection may be gone.
class TransferEngine : public QObject
{
    Q_OBJECT
public:
    static constexpr qint32 Held = 0;
    static constexpr qint32 Stop = 1;
    static constexpr int PumpIntervalMs = 5;

    TransferEngine(QueueModel &queue, TransferHost &host, QObject *parent = nullptr);
    ~TransferEngine() override;

    // Returns when the queue is empty or paused, or when there is no connection to work on.
    // Does nothing when it is already working (an event that runs meanwhile may ask again).
    void ProcessTransfer();

    bool isActive() const { return m_active; }
    bool transferUnderWay() const { return m_underWay; }
    bool isCurrentRow(int row) const { return m_underWay && m_row.isValid() && m_row.row() == row; }
    qint32 blockSize() const { return m_blockSize; }
    qint64 bytesDone() const { return m_bytesDone; }
    // The percentage of the transfer under way; -1 when none is known.
    int percent() const { return m_shownPercent; }

    void hold() { m_blockSize = Held; }
    void stop() { m_blockSize = Stop; }
    // Back to moving blocks of this size; a stop already asked for stays.
    void resume(qint32 blockSize);

signals:
    void progressed(int percent, qint64 bytesDone); // each time the row's percentage changes

private:
    enum class Outcome { Done, Stopped, Failed, OpenFailed, Gone };
    enum class Gate { Go, Stop, Lost, Destroyed }; // what may happen before the next block
    struct Job
    {
        QString local;
        QString remote;
        QueueEntry::Direction direction = QueueEntry::Direction::Down;
        qint64 size = 0;
        FtpTransferType type = FtpTransferType::Binary;
        qint32 blockSize = 0;
    };
    struct Moved
    {
        Gate gate = Gate::Go; // what ended the blocks; Go when the file did
        bool failed = false;
        qint64 bytes = 0;
    };

    bool take(Job &job);
    void afterEntry(Outcome outcome, const Job &job);
    Outcome download(const Job &job);
    Moved receive(FtpFile &file, DownloadTarget &target, qint64 size);
    bool wholeAsListed(const Job &job, qint64 wire);
    Outcome keepDownload(DownloadTarget &target, Outcome outcome, const QString &path);
    Outcome upload(const Job &job);
    Outcome sendAll(UploadSource &source, std::unique_ptr<FtpFile> &file);
    Moved send(UploadSource &source, FtpFile &file);
    static Outcome decide(const Moved &moved, bool closedWell);
    std::unique_ptr<FtpFile> openForUpload(const Job &job, FtpUploadTarget &target);
    Outcome placeUpload(UploadSource &source, FtpUploadTarget &target, std::unique_ptr<FtpFile> &file);
    bool replaceInPlace(const QString &question);
    void makeRemoteFolders(const QString &remotePath);
    bool closeRemote(std::unique_ptr<FtpFile> &file);
    Outcome openFailure(const QString &path);
    void logReply();
    void report(Outcome outcome);

    // Blocks (TransferEngine_blocks.cpp).
    void startBlocks(qint32 blockSize);
    Gate nextBlock();                            // holds while paused
    bool blockMoved(qint64 bytes, qint64 total); // false when the engine is gone
    bool connectionUsable() const;
    bool pump(); // false when the engine was destroyed meanwhile

    QueueModel &m_queue;
    TransferHost &m_host;
    QPointer<FtpSession> m_session;
    QPersistentModelIndex m_row;
    bool m_active = false;
    bool m_underWay = false;
    qint32 m_blockSize = 0;
    qint64 m_bytesDone = 0;
    int m_shownPercent = -1;
    qint64 m_sinceClock = 0;
    QElapsedTimer m_sincePump;
    std::optional<bool> m_replaceInPlace; // the user's answer, for this run of the queue
};
