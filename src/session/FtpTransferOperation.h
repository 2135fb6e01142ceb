#pragma once

#include "FtpDataOperation.h"

// RETR or STOR of one file. Once the server has accepted the transfer the operation is "open":
// an FtpFile then reads or writes the data connection itself, and the operation only notes the
// final reply. Closing waits for that reply; success needs a 2xx and all of the data.
class FtpTransferOperation : public FtpDataOperation
{
    Q_OBJECT
public:
    enum class Direction { Read, Write };

    FtpTransferOperation(FtpContext &context, const QByteArray &path, Direction direction, FtpTransferType type,
                         QObject *parent = nullptr);

    bool isOpen() const { return m_open; }
    void closeFile(bool dataComplete);

signals:
    void opened();

protected:
    QByteArray transferCommand() const override;
    void onTransferReply(const FtpReply &reply) override;
    void onDataConnected() override { tryOpen(); }
    void onDataReadable() override;
    void onDataClosed() override;
    // Uploads gather large writes themselves; Qt's write buffer would only copy them once more.
    QIODevice::OpenMode dataOpenMode() const override
    {
        return m_direction == Direction::Write ? QIODevice::ReadWrite | QIODevice::Unbuffered : QIODevice::ReadWrite;
    }

private:
    void tryOpen();
    void decide();

    QByteArray m_path;
    Direction m_direction;
    bool m_accepted = false; // a 1xx, or a final 2xx that came first
    bool m_dataSeen = false; // data or its end arrived before any reply (servers without 1xx)
    bool m_open = false;
    bool m_closing = false;
    bool m_dataComplete = false;
    FtpReply m_final;
};
