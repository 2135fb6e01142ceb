#include "FtpFile.h"

#include "FtpDataSocket.h"
#include "FtpSession.h"
#include "FtpTransferOperation.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSslSocket>
#include <QTcpSocket>

#include <cstring>

#ifdef __linux__
#include <linux/sockios.h>
#include <sys/ioctl.h>
#endif

namespace {

constexpr int kSliceMs = 20; // longest stretch without letting events run

} // namespace

FtpFile::FtpFile(FtpSession *session, FtpTransferOperation *operation, Mode mode, FtpTransferType type, int timeoutMs)
    : m_session(session), m_operation(operation), m_socket(operation->dataSocket()), m_mode(mode), m_type(type),
      m_timeoutMs(timeoutMs), m_offset(operation->offset())
{
    if (mode == Write)
        m_out.resize(size_t(kOutChunk));
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
        if (n > 0) {
            m_wire += n;
            return n;
        }
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
    if (m_socket->peek(&next, 1) == 1 && next == '\n' && m_socket->read(&next, 1) == 1)
        ++m_wire;
    buffer[0] = next == '\n' ? '\n' : '\r';
    return 1;
}

// Part of the time limit is kept for the server's final reply, so that a transfer whose data
// stops ends, final reply and all, within the limit.
int FtpFile::graceMs() const
{
    return qBound(1, m_timeoutMs / 5, 2000);
}

FtpFile::Wait FtpFile::stalled(const char *what)
{
    m_failed = true;
    m_stall = QStringLiteral("The data connection stopped: %1 for %2 s.")
                  .arg(QLatin1String(what))
                  .arg((m_timeoutMs - graceMs()) / 1000.0);
    return Wait::Failed;
}

FtpFile::Wait FtpFile::waitForData()
{
    QDeadlineTimer deadline(m_timeoutMs - graceMs());
    for (;;) {
        if (m_socket->bytesAvailable() > 0)
            return Wait::Ready;
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_end = true;
            return Wait::End;
        }
        if (FtpDataSocket::tlsEnded(m_socket)) {
            m_end = true;
            m_socket->disconnectFromHost(); // our close_notify: the server waits for it
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
        if (deadline.hasExpired())
            return stalled("no data arrived");
    }
}

qint64 FtpFile::write(const char *data, qint64 size)
{
    if (!usable() || m_mode != Write || size < 0)
        return -1;
    for (qint64 done = 0; done < size;) {
        if (m_outSize >= kOutChunk - 1 && !sendGathered())
            return -1;
        // A large binary block goes as it is: gathering it would only copy it once more.
        if (m_type == FtpTransferType::Binary && m_outSize == 0 && size - done >= kOutChunk)
            return sendDirect(data + done, size - done) ? size : -1;
        done += m_type == FtpTransferType::Binary ? gatherBinary(data + done, size - done)
                                                  : gatherAscii(data + done, size - done);
    }
    return size;
}

bool FtpFile::sendDirect(const char *data, qint64 size)
{
    if (drain(0) != Wait::Ready)
        return false;
    if (m_socket->write(data, size) != size) {
        m_failed = true;
        return false;
    }
    return true;
}

qint64 FtpFile::gatherBinary(const char *data, qint64 size)
{
    const qint64 n = qMin(size, kOutChunk - m_outSize);
    std::memcpy(m_out.data() + m_outSize, data, size_t(n));
    m_outSize += n;
    return n;
}

// LF becomes CR LF; a CR LF already there stays as it is.
qint64 FtpFile::gatherAscii(const char *data, qint64 size)
{
    qint64 used = 0;
    char *out = m_out.data();
    while (used < size && m_outSize < kOutChunk - 1) {
        const char c = data[used++];
        if (c == '\n' && !m_lastWasCr)
            out[m_outSize++] = '\r';
        out[m_outSize++] = c;
        m_lastWasCr = c == '\r';
    }
    return used;
}

// One large write per chunk; what the system does not take at once is waited for before the next.
bool FtpFile::sendGathered()
{
    if (drain(0) != Wait::Ready)
        return false;
    if (m_outSize > 0 && m_socket->write(m_out.data(), m_outSize) != m_outSize) {
        m_failed = true;
        return false;
    }
    m_outSize = 0;
    return true;
}

// Blocks until at most limit bytes wait in the socket's buffer.
FtpFile::Wait FtpFile::drain(qint64 limit)
{
    QDeadlineTimer deadline(m_timeoutMs - graceMs());
    while (m_socket->bytesToWrite() > limit) {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_failed = true;
            return Wait::Failed;
        }
        if (m_socket->waitForBytesWritten(kSliceMs)) {
            deadline.setRemainingTime(m_timeoutMs - graceMs());
            continue;
        }
        if (const Wait next = afterIdleSlice(deadline); next != Wait::Ready)
            return next;
    }
    return Wait::Ready;
}

// After a wait that moved nothing: events run, then whether waiting may go on.
FtpFile::Wait FtpFile::afterIdleSlice(const QDeadlineTimer &deadline)
{
    if (!pump())
        return Wait::Destroyed;
    if (!usable()) {
        m_failed = true;
        return Wait::Failed;
    }
    if (deadline.hasExpired())
        return stalled("the server took no data");
    return Wait::Ready;
}

// Until the server's system has taken every byte. Closing a socket that then receives anything
// (a TLS server's session tickets come when its handshake is done, which may be late) answers with a
// reset, and a reset throws away what had not yet been delivered: the server would store a cut file.
FtpFile::Wait FtpFile::waitDelivered()
{
#ifdef __linux__
    // Only a TLS server sends anything on an upload's connection.
    if (!qobject_cast<QSslSocket *>(m_socket.data()))
        return Wait::Ready;
    QDeadlineTimer deadline(m_timeoutMs - graceMs());
    for (int slice = 1;; slice = qMin(slice * 2, kSliceMs)) {
        int unsent = 0;
        if (!m_socket || ::ioctl(int(m_socket->socketDescriptor()), SIOCOUTQ, &unsent) != 0 || unsent <= 0)
            return Wait::Ready;
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_failed = true;
            return Wait::Failed;
        }
        m_socket->waitForReadyRead(slice); // reads what the server sends meanwhile (TLS records)
        if (const Wait next = afterIdleSlice(deadline); next != Wait::Ready)
            return next;
    }
#else
    return Wait::Ready;
#endif
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
    const bool ended = m_socket->state() != QAbstractSocket::ConnectedState || FtpDataSocket::tlsEnded(m_socket);
    return !m_pendingCr && m_socket->bytesAvailable() == 0 && ended;
}

bool FtpFile::close()
{
    if (!m_open)
        return false;
    bool complete = false;
    if (usable()) {
        if (m_mode == Write) {
            const Wait drained = sendGathered() ? drain(0) : Wait::Failed;
            if (drained == Wait::Destroyed)
                return false;
            if (drained == Wait::Ready && m_socket) {
                const Wait delivered = waitDelivered();
                if (delivered == Wait::Destroyed)
                    return false;
                if (delivered != Wait::Ready)
                    return finish(false);
                m_socket->disconnectFromHost();
                const Wait closed = waitDisconnected();
                if (closed == Wait::Destroyed)
                    return false;
                complete = closed == Wait::Ready;
            }
        } else {
            complete = reachedEnd();
            // Without a size to hold the data to, close_notify is the only sign that all of it came.
            if (complete && FtpDataSocket::cutShort(m_socket)) {
                complete = false;
                m_operation->setIncomplete(FtpDataSocket::cutShortText());
            }
        }
    }
    return finish(complete);
}

void FtpFile::abort()
{
    if (m_open)
        finish(false);
}

qint64 FtpFile::announcedSize() const
{
    return m_operation ? m_operation->announcedSize() : -1;
}

void FtpFile::setExpectedSize(qint64 size)
{
    if (m_operation)
        m_operation->setExpectedSize(size);
}

bool FtpFile::finish(bool complete)
{
    m_open = false;
    if (!m_session || !m_operation)
        return false;
    if (!m_stall.isEmpty())
        m_operation->dataStalled(m_stall, graceMs());
    return m_session->finishFile(m_operation, complete, m_mode == Read ? m_wire : -1);
}
