#pragma once

#include "FtpDataOperation.h"

// RETR or STOR of one file. Once the server has accepted the transfer the operation is "open":
// an FtpFile then reads or writes the data connection itself, and the operation only notes the
// final reply. Closing waits for that reply; success needs a 2xx and all of the data: a download
// that brought fewer bytes than announced (by the 150 reply, or by the caller from SIZE or a
// listing) has failed, whatever the final reply says.
class FtpTransferOperation : public FtpDataOperation
{
    Q_OBJECT
public:
    enum class Direction { Read, Write };

    FtpTransferOperation(FtpContext &context, const QByteArray &path, Direction direction, FtpTransferType type,
                         QObject *parent = nullptr);

    bool isOpen() const { return m_open; }
    // Before begin(): the transfer starts at this byte (REST). A server that refuses REST sends a
    // download from its first byte and has an upload appended (APPE): offset() then says which.
    void setOffset(qint64 offset);
    qint64 offset() const { return m_offset; }
    // What the caller knows of the size (SIZE, a listing); -1 when nothing. The 150 reply's count wins.
    void setExpectedSize(qint64 size) { m_expected = size; }
    qint64 expectedSize() const { return m_announced >= 0 ? m_announced : m_expected; }
    qint64 announcedSize() const { return m_announced; } // by the 150 reply; -1 when it said nothing
    static QString shortfall(qint64 received, qint64 expected);
    // received: the bytes that came over the wire (a download), -1 for an upload.
    void closeFile(bool dataComplete, qint64 received = -1);
    // What was wrong with the data, for the failure of an incomplete one (a TLS truncation).
    void setIncomplete(const QString &why) { m_incomplete = why; }
    // The data stopped moving: the data connection is dropped, and the final reply is waited for
    // only graceMs more before the control connection is given up as out of step.
    void dataStalled(const QString &why, int graceMs);

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
    void timedOut() override;
    QByteArray command() const;
    void onRestReply(const FtpReply &reply);
    void tryOpen();
    void decide();
    static qint64 sizeIn(const QByteArray &reply);

    QByteArray m_path;
    Direction m_direction;
    bool m_accepted = false; // a 1xx, or a final 2xx that came first
    bool m_dataSeen = false; // data or its end arrived before any reply (servers without 1xx)
    bool m_open = false;
    qint64 m_offset = 0;
    bool m_restarting = false; // REST sent, its reply awaited
    bool m_append = false;
    bool m_closing = false;
    bool m_dataComplete = false;
    qint64 m_received = -1;
    qint64 m_expected = -1;
    qint64 m_announced = -1;
    QString m_stall; // why the data stopped; empty while it moves
    QString m_incomplete;
    int m_graceMs = 0;
    FtpReply m_final;
};
