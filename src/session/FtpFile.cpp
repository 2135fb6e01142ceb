#include "FtpFile.h"

#include "FtpSession.h"
#include "FtpTransferOperation.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

namespace {

constexpr int kSliceMs = 20;                    // longest stretch without letting events run
constexpr qint64 kFlushAt = 256 * 1024;         // send what has gathered, without blocking
constexpr qint64 kHighWater = 1024 * 1024;      // then block until the buffer is below this
constexpr qint64 kAsciiChunk = 64 * 1024;

} // namespace

FtpFile::FtpFile(FtpSession *session, FtpTransferOperation *operation, Mode mode, FtpTransferType type,
                 int timeoutMs)
    : m_session(session), m_operation(operation), m_socket(operation->dataSocket()), m_mode(mode), m_type(type),
      m_timeoutMs(timeoutMs)
{
}

FtpFile::~FtpFile()
{
    if (m_open)
        close();
}

bool FtpFile::usable() const
{
    return m_open && !m_failed && m_session && m_operation && !m_operation->isFinished() && m_socket;
}

qint64 FtpFile::read(char *buffer, qint64 maxSize)
{
    if (!usable() || m_mode != Read)
        return -1;
    if (maxSize <= 0)
        return 0;
    return m_type == FtpTransferType::Ascii ? readAscii(buffer, maxSize) : readRaw(buffer, maxSize);
}

qint64 FtpFile::readRaw(char *buffer, qint64 maxSize)
{
    for (;;) {
        const qint64 n = m_socket->read(buffer, maxSize);
        if (n > 0)
            return n;
        if (m_end)
            return 0;
        switch (waitForData()) {
        case Wait::Ready:
            continue;
        case Wait::End:
            return 0;
        case Wait::Failed:
        case Wait::Destroyed:
            return -1;
        }
    }
}

// CR LF becomes LF in place; a CR at the end of a chunk waits for the next byte.
qint64 FtpFile::readAscii(char *buffer, qint64 maxSize)
{
    for (;;) {
        if (m_pendingCr && maxSize == 1)
            return readHeldCr(buffer);
        qint64 length = 0;
        if (m_pendingCr) {
            buffer[0] = '\r';
            length = 1;
            m_pendingCr = false;
        }
        const qint64 n = readRaw(buffer + length, maxSize - length);
        if (n < 0)
            return -1;
        length += n;
        if (length == 0)
            return 0;
        qint64 out = 0;
        for (qint64 i = 0; i < length; ++i) {
            const char c = buffer[i];
            if (c == '\r' && i + 1 < length && buffer[i + 1] == '\n')
                continue;
            if (c == '\r' && i + 1 == length && !m_end) {
                m_pendingCr = true;
                continue;
            }
            buffer[out++] = c;
        }
        if (out > 0)
            return out;
    }
}

// A one-byte read after a held CR: the CR LF pair gives LF, anything else the CR alone.
qint64 FtpFile::readHeldCr(char *buffer)
{
    m_pendingCr = false;
    if (m_socket->bytesAvailable() == 0 && !m_end) {
        const Wait wait = waitForData();
        if (wait == Wait::Failed || wait == Wait::Destroyed)
            return -1;
    }
    char next = 0;
    if (m_socket->peek(&next, 1) == 1 && next == '\n')
        m_socket->read(&next, 1);
    buffer[0] = next == '\n' ? '\n' : '\r';
    return 1;
}

FtpFile::Wait FtpFile::waitForData()
{
    QDeadlineTimer deadline(m_timeoutMs);
    for (;;) {
        if (m_socket->bytesAvailable() > 0)
            return Wait::Ready;
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_end = true;
            return Wait::End;
        }
        if (m_socket->waitForReadyRead(kSliceMs))
            continue;
        if (m_socket->bytesAvailable() > 0 || m_socket->state() != QAbstractSocket::ConnectedState)
            continue;
        if (!pump())
            return Wait::Destroyed;
        if (!usable())
            return Wait::Failed;
        if (deadline.hasExpired()) {
            m_failed = true;
            return Wait::Failed;
        }
    }
}

qint64 FtpFile::write(const char *data, qint64 size)
{
    if (!usable() || m_mode != Write || size < 0)
        return -1;
    if (m_type == FtpTransferType::Binary) {
        m_socket->write(data, size);
    } else {
        for (qint64 done = 0; done < size;) {
            const qint64 part = qMin(kAsciiChunk, size - done);
            m_scratch.resize(0);
            for (qint64 i = 0; i < part; ++i) {
                const char c = data[done + i];
                if (c == '\n' && !m_lastWasCr)
                    m_scratch.append('\r');
                m_scratch.append(c);
                m_lastWasCr = c == '\r';
            }
            m_socket->write(m_scratch);
            done += part;
        }
    }
    // Hand data to the system every kFlushAt bytes, not on every block.
    if (m_socket->bytesToWrite() >= m_nextFlush) {
        m_socket->flush();
        if (m_socket->bytesToWrite() > kHighWater && drain(kHighWater / 2) != Wait::Ready)
            return -1;
        m_nextFlush = m_socket->bytesToWrite() + kFlushAt;
    }
    return size;
}

// Blocks until at most limit bytes wait in the socket's buffer.
FtpFile::Wait FtpFile::drain(qint64 limit)
{
    QDeadlineTimer deadline(m_timeoutMs);
    while (m_socket->bytesToWrite() > limit) {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_failed = true;
            return Wait::Failed;
        }
        if (m_socket->waitForBytesWritten(kSliceMs)) {
            deadline.setRemainingTime(m_timeoutMs);
            continue;
        }
        if (!pump())
            return Wait::Destroyed;
        if (!usable() || deadline.hasExpired()) {
            m_failed = true;
            return Wait::Failed;
        }
    }
    return Wait::Ready;
}

FtpFile::Wait FtpFile::waitDisconnected()
{
    QDeadlineTimer deadline(m_timeoutMs);
    while (m_socket && m_socket->state() != QAbstractSocket::UnconnectedState) {
        if (m_socket->waitForDisconnected(kSliceMs))
            break;
        if (!pump())
            return Wait::Destroyed;
        if (!m_socket || deadline.hasExpired())
            return Wait::Failed;
    }
    return Wait::Ready;
}

bool FtpFile::pump()
{
    QPointer<FtpFile> self(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !self.isNull();
}

// Whether everything the server sent was read, also when the caller stopped at the exact size.
bool FtpFile::reachedEnd()
{
    if (m_end || !m_socket)
        return m_end;
    if (m_socket->bytesAvailable() == 0 && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->waitForReadyRead(0);
    return !m_pendingCr && m_socket->bytesAvailable() == 0 && m_socket->state() != QAbstractSocket::ConnectedState;
}

bool FtpFile::close()
{
    if (!m_open)
        return false;
    bool complete = false;
    if (usable()) {
        if (m_mode == Write) {
            const Wait drained = drain(0);
            if (drained == Wait::Destroyed)
                return false;
            if (drained == Wait::Ready && m_socket) {
                m_socket->disconnectFromHost();
                const Wait closed = waitDisconnected();
                if (closed == Wait::Destroyed)
                    return false;
                complete = closed == Wait::Ready;
            }
        } else {
            complete = reachedEnd();
        }
    }
    m_open = false;
    return m_session && m_operation ? m_session->finishFile(m_operation, complete) : false;
}
