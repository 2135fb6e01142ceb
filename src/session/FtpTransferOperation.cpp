#include "FtpTransferOperation.h"

FtpTransferOperation::FtpTransferOperation(FtpContext &context, const QByteArray &path, Direction direction,
                                           FtpTransferType type, QObject *parent)
    : FtpDataOperation(context, type, parent), m_path(path), m_direction(direction)
{
}

QByteArray FtpTransferOperation::transferCommand() const
{
    return (m_direction == Direction::Read ? "RETR " : "STOR ") + m_path;
}

void FtpTransferOperation::onTransferReply(const FtpReply &reply)
{
    if (reply.isPreliminary()) {
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

void FtpTransferOperation::closeFile(bool dataComplete)
{
    if (isFinished() || m_closing)
        return;
    m_closing = true;
    m_dataComplete = dataComplete;
    clearInfo();
    if (!dataComplete && dataSocket())
        dataSocket()->abort();
    if (m_final.code)
        return decide();
    armTimer();
}

void FtpTransferOperation::decide()
{
    keep(m_final);
    if (!m_final.isPositive())
        return fail();
    if (!m_dataComplete)
        return fail(QStringLiteral("The transfer ended before all of the data was moved."));
    succeed();
}
