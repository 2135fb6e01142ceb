#include "FtpListOperation.h"

#include "FtpDataSocket.h"

FtpListOperation::FtpListOperation(FtpContext &context, const QByteArray &folder, bool mlsd,
                                   FtpListParser::Reader::Sink sink, QObject *parent)
    : FtpDataOperation(context, FtpTransferType::Ascii, parent), m_folder(folder), m_mlsd(mlsd),
      m_reader(mlsd, QDateTime::currentDateTime(), [this, sink = std::move(sink)](FtpListParser::Line &&line) {
          if (++m_entries <= kMaxEntries)
              sink(std::move(line));
      })
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
    take(dataSocket()->readAll());
}

void FtpListOperation::onDataClosed()
{
    if (m_dataDone)
        return;
    take(dataSocket()->readAll());
    m_dataDone = true;
    m_cut = FtpDataSocket::cutShort(dataSocket());
    finishWhenComplete();
}

void FtpListOperation::take(const QByteArray &chunk)
{
    // The sink writes into the caller's list: never once the caller has its answer.
    if (m_failed || isFinished() || chunk.isEmpty())
        return;
    m_received += chunk.size();
    if (m_received <= kMaxListing)
        m_reader.feed(chunk);
    withinBounds();
}

bool FtpListOperation::withinBounds()
{
    if (m_failed)
        return false;
    QString why;
    if (m_received > kMaxListing)
        why = QStringLiteral("The listing is larger than %1 MiB.").arg(kMaxListing >> 20);
    else if (m_entries > kMaxEntries)
        why = QStringLiteral("The listing holds more than %1 entries.").arg(kMaxEntries);
    if (why.isEmpty())
        return true;
    m_failed = true;
    fail(why);
    return false;
}

void FtpListOperation::finishWhenComplete()
{
    if (m_failed || isFinished())
        return;
    if (!m_finalOk || !m_dataDone)
        return armTimer();
    // A cut listing fails only once its final reply is in, so that the connection stays in step.
    if (m_cut)
        return fail(FtpDataSocket::cutShortText());
    m_reader.finish();
    if (withinBounds())
        succeed();
}
