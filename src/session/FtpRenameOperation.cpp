#include "FtpRenameOperation.h"

FtpRenameOperation::FtpRenameOperation(FtpContext &context, const QByteArray &from, const QByteArray &to,
                                       QObject *parent)
    : FtpOperation(context, parent), m_from(from), m_to(to)
{
}

void FtpRenameOperation::start()
{
    send("RNFR " + m_from);
}

void FtpRenameOperation::onReply(const FtpReply &reply)
{
    keep(reply);
    if (reply.isPreliminary())
        return armTimer();
    if (m_state == State::From) {
        if (reply.code != 350)
            return fail();
        m_state = State::To;
        return send("RNTO " + m_to);
    }
    reply.isPositive() ? succeed() : fail();
}
