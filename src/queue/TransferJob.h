#pragma once

#include "FtpTypes.h"
#include "QueueEntry.h"

#include <QMetaType>
#include <QString>

// One file for one transfer connection: the queue row as it was when the file was taken.
struct TransferJob
{
    QString local;
    QString remote;
    QueueEntry::Direction direction = QueueEntry::Direction::Down;
    qint64 size = 0;
    FtpTransferType type = FtpTransferType::Binary;
    qint32 blockSize = 0;
};

// How a file's transfer ended. Refused: the server would not take another connection (its
// limit); the file was not begun and waits for a connection that ends. Unstarted: the connection
// could not log in for another reason (the server went); the file waits for the user.
enum class TransferOutcome { Done, Stopped, Failed, OpenFailed, Refused, Unstarted };

Q_DECLARE_METATYPE(TransferJob)
Q_DECLARE_METATYPE(TransferOutcome)
