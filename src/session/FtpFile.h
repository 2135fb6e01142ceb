#pragma once

#include "FtpTypes.h"
#include "RemoteSession.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <vector>

class FtpSession;
class FtpTransferOperation;
class QTcpSocket;

// A remote file open for reading (RETR) or writing (STOR), moved in blocks of any size.
// Reads are served from the data socket's own buffer (up to 1 MiB) and writes gather in a buffer of
// 256 KiB that leaves in one system call, so a small block costs a copy and no system call; a block
// of that size or more leaves without the copy. ASCII mode turns the wire's
// CR LF into LF and back. While it is open the session refuses every other call.
class FtpFile : public RemoteFile
{
    Q_OBJECT
public:
    ~FtpFile() override; // closes, ignoring the result

    qint64 read(char *buffer, qint64 maxSize) override;   // bytes read; 0 at the end; -1 on failure
    qint64 write(const char *data, qint64 size) override; // size, or -1 on failure
    // True only when the server's final reply is 2xx and all of the data arrived or left: a
    // download shorter than the size announced (150 reply, or expectedSize) has failed.
    bool close() override;
    // Ends the transfer without sending or reading the rest (a stopped transfer); the server's
    // final reply is still read, so the connection stays usable.
    void abort() override;
    // What the caller knows of a download's size (SIZE, a listing); -1 for nothing.
    void setExpectedSize(qint64 size) override;
    qint64 bytesOnWire() const override { return m_wire; }
    // The byte of the file the transfer began at: the offset asked for, or 0 when the server
    // would not resume a download.
    qint64 offset() const override { return m_offset; }
    // The size the server announced in its 150 reply; -1 when it said none.
    qint64 announcedSize() const override;

    bool isOpen() const override { return m_open; }
    Mode mode() const override { return m_mode; }
    FtpTransferType type() const override { return m_type; }

private:
    friend class FtpSession;
    FtpFile(FtpSession *session, FtpTransferOperation *operation, Mode mode, FtpTransferType type, int timeoutMs);

    enum class Wait { Ready, End, Failed, Destroyed };
    static constexpr qint64 kOutChunk = 256 * 1024;

    bool usable() const;
    qint64 readRaw(char *buffer, qint64 maxSize);
    qint64 readAscii(char *buffer, qint64 maxSize);
    qint64 readHeldCr(char *buffer);
    Wait waitForData();
    qint64 gatherBinary(const char *data, qint64 size);
    qint64 gatherAscii(const char *data, qint64 size);
    bool sendGathered();
    bool sendDirect(const char *data, qint64 size);
    Wait drain(qint64 limit);
    Wait waitDelivered();
    Wait afterIdleSlice(const QDeadlineTimer &deadline);
    Wait waitDisconnected();
    bool pump(); // lets events run; false when this file was destroyed meanwhile
    bool reachedEnd();
    Wait stalled(const char *what);
    int graceMs() const;
    bool finish(bool complete);

    QPointer<FtpSession> m_session;
    QPointer<FtpTransferOperation> m_operation;
    QPointer<QTcpSocket> m_socket;
    Mode m_mode;
    FtpTransferType m_type;
    int m_timeoutMs;
    qint64 m_offset;
    bool m_open = true;
    bool m_end = false;
    bool m_failed = false;
    QString m_stall;          // why the data stopped moving, when it did
    qint64 m_wire = 0;        // bytes read from the data connection, before any ASCII conversion
    bool m_pendingCr = false; // ASCII read: a CR that may start a CR LF
    bool m_lastWasCr = false; // ASCII write
    std::vector<char> m_out;  // writes gather here and leave in large chunks
    qint64 m_outSize = 0;
};
