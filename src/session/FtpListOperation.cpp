#include "FtpListOperation.h"

#include "FtpDataSocket.h"

FtpListOperation::FtpListOperation(FtpContext &context, const QByteArray &folder, bool mlsd, QObject *parent)
    : FtpDataOperation(context, FtpTransferType::Ascii, parent), m_folder(folder), m_mlsd(mlsd)
{
}

QByteArray FtpListOperation::transferCommand() const
{
    const QByteArray verb = m_mlsd ? "MLSD" : "LIST";
    return m_folder.isEmpty() ? verb : verb + ' ' + m_folder;
}

void FtpListOperation::onTransferReply(const FtpReply &reply)
{
    keep(reply);
    if (reply.isPreliminary())
        return armTimer();
    if (!reply.isPositive())
        return fail();
    m_finalOk = true;
    // Active mode: a server may answer 226 for an empty folder without ever connecting.
    if (!dataSocket())
        m_dataDone = true;
    finishWhenComplete();
}

void FtpListOperation::onDataReadable()
{
    m_listing += dataSocket()->readAll();
    if (m_listing.size() > kMaxListing)
        fail(QStringLiteral("The listing is larger than %1 MiB.").arg(kMaxListing >> 20));
}

void FtpListOperation::onDataClosed()
{
    if (m_dataDone)
        return;
    m_listing += dataSocket()->readAll();
    m_dataDone = true;
    m_cut = FtpDataSocket::cutShort(dataSocket());
    finishWhenComplete();
}

// A cut listing fails only once its final reply is in, so that the connection stays in step.
void FtpListOperation::finishWhenComplete()
{
    if (m_finalOk && m_dataDone && m_cut)
        fail(FtpDataSocket::cutShortText());
    else if (m_finalOk && m_dataDone)
        succeed();
    else
        armTimer();
}
