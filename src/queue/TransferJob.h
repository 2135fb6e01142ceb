#pragma once

#include "FtpTypes.h"
#include "QueueEntry.h"

#include <QMetaType>
#include <QString>
#include <atomic>
#include <memory>

// One file for one transfer connection: the queue row as it was when the file was taken.
struct TransferJob
{
    QString local;
    QString remote;
    QueueEntry::Direction direction = QueueEntry::Direction::Down;
    qint64 size = 0;
    FtpTransferType type = FtpTransferType::Binary;
    qint32 blockSize = 0;
    // What the window steers this file with (TransferRun::Held, Stop, or a block size): its own,
    // so that a file waiting behind another on the same connection keeps its own state.
    std::shared_ptr<std::atomic<qint32>> control = std::make_shared<std::atomic<qint32>>(blockSize);
    // The user chose to continue the target that exists, of this many bytes: 0 for a new file.
    qint64 resumeFrom = 0;

    // Whether a transient failure of this attempt will be tried again: what it leaves is kept.
    bool retried = false;
    // Nothing is sent: the temporary file earlier attempts left on the server is deleted.
    bool discard = false;
    // Set by the attempt as it ends: whether another attempt may succeed where this one failed.
    std::shared_ptr<std::atomic<bool>> transient = std::make_shared<std::atomic<bool>>(false);

    // Sets the control unless a stop was asked for: a stop stays until the file has ended.
    void steer(qint32 value) const;
};

// How a file's transfer ended. Refused: the server would not take another connection (its
// limit); the file was not begun and waits for a connection that ends. Unstarted: the connection
// could not log in for another reason (the server went); the file waits for the user.
// Skipped: the target exists and the user (or the setting) chose to leave it; nothing was moved.
enum class TransferOutcome { Done, Stopped, Failed, OpenFailed, Refused, Unstarted, Skipped };

Q_DECLARE_METATYPE(TransferJob)
Q_DECLARE_METATYPE(TransferOutcome)
