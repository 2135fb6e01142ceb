#include "FtpTransferOperation.h"

#include <QRegularExpression>

FtpTransferOperation::FtpTransferOperation(FtpContext &context, const QByteArray &path, Direction direction,
                                           FtpTransferType type, QObject *parent)
    : FtpDataOperation(context, type, parent), m_path(path), m_direction(direction)
{
}

// A session that saw REST refused once does not ask again: a download starts from the first byte,
// an upload is appended to what the server holds.
void FtpTransferOperation::setOffset(qint64 offset)
{
    const bool refused = m_ctx.restRefused || offset <= 0;
    m_offset = refused && m_direction == Direction::Read ? 0 : qMax<qint64>(0, offset);
    m_restarting = !refused;
    m_append = refused && m_offset > 0;
}

// REST goes right before the transfer command, after the data connection is set up, as servers
// forget a restart point at PASV or PORT.
QByteArray FtpTransferOperation::transferCommand() const
{
    return m_restarting ? "REST " + QByteArray::number(m_offset) : command();
}

QByteArray FtpTransferOperation::command() const
{
    return (m_direction == Direction::Read ? "RETR " : m_append ? "APPE " : "STOR ") + m_path;
}

void FtpTransferOperation::onRestReply(const FtpReply &reply)
{
    m_restarting = false;
    if (reply.code != 350 && reply.code < 500)
        return fail(reply);
    keep(reply);
    if (reply.code != 350) {
        m_ctx.restRefused = true;
        setOffset(m_offset);
    }
    send(command());
}

void FtpTransferOperation::onTransferReply(const FtpReply &reply)
{
    if (m_restarting)
        return onRestReply(reply);
    if (reply.isPreliminary()) {
        if (const qint64 size = sizeIn(reply.text); size >= 0)
            m_announced = size;
        if (!m_open)
            keep(reply);
        m_accepted = true;
        tryOpen();
        if (!m_open && !isFinished())
            armTimer();
        return;
    }
    if (!m_open && !reply.isPositive())
        return fail(reply);
    m_final = reply;
    if (!m_open) {
        keep(reply);
        m_accepted = true;
        tryOpen();
        if (!m_open && !isFinished())
            armTimer();
    }
    if (m_closing)
        decide();
}

void FtpTransferOperation::onDataReadable()
{
    m_dataSeen = true;
    tryOpen();
}

void FtpTransferOperation::onDataClosed()
{
    m_dataSeen = true;
    tryOpen();
}

void FtpTransferOperation::tryOpen()
{
    if (m_open || isFinished() || !dataSocket())
        return;
    const bool reading = m_direction == Direction::Read;
    if (!(m_accepted || (reading && m_dataSeen)))
        return;
    if (!reading && !isDataConnected())
        return fail(QStringLiteral("The data connection closed before the upload started."));
    m_open = true;
    releaseDataSocket();
    stopTimer();
    emit opened();
}

// "150 Opening BINARY mode data connection for f.bin (1000000 bytes)."
qint64 FtpTransferOperation::sizeIn(const QByteArray &reply)
{
    static const QRegularExpression bytes(QStringLiteral("\\((\\d{1,18}) bytes?\\)"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = bytes.match(QString::fromLatin1(reply));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

QString FtpTransferOperation::shortfall(qint64 received, qint64 expected)
{
    return QStringLiteral("Only %1 of %2 bytes arrived: the transfer is incomplete.").arg(received).arg(expected);
}

void FtpTransferOperation::closeFile(bool dataComplete, qint64 received)
{
    if (isFinished() || m_closing)
        return;
    m_closing = true;
    m_dataComplete = dataComplete;
    m_received = received;
    clearInfo();
    if (!dataComplete && dataSocket())
        dataSocket()->abort();
    if (m_final.code)
        return decide();
    m_stall.isEmpty() ? armTimer() : armTimer(m_graceMs);
}

void FtpTransferOperation::dataStalled(const QString &why, int graceMs)
{
    m_stall = why;
    m_graceMs = graceMs;
    if (dataSocket())
        dataSocket()->abort();
}

void FtpTransferOperation::timedOut()
{
    if (m_closing && !m_stall.isEmpty())
        return fail(m_stall, true); // no final reply either: the connection is out of step
    FtpDataOperation::timedOut();
}

void FtpTransferOperation::decide()
{
    keep(m_final);
    if (!m_stall.isEmpty())
        return fail(m_stall);
    if (!m_final.isPositive())
        return fail();
    const qint64 expected = expectedSize() - m_offset;
    if (m_direction == Direction::Read && m_received >= 0 && expected > m_received)
        return fail(shortfall(m_received, expected));
    if (!m_dataComplete)
        return fail(m_incomplete.isEmpty() ? QStringLiteral("The transfer ended before all of the data was moved.")
                                           : m_incomplete);
    succeed();
}
