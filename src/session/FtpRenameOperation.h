#pragma once

#include "FtpOperation.h"

// RNFR, which must answer 350, then RNTO.
class FtpRenameOperation : public FtpOperation
{
    Q_OBJECT
public:
    FtpRenameOperation(FtpContext &context, const QByteArray &from, const QByteArray &to, QObject *parent = nullptr);

protected:
    void start() override;
    void onReply(const FtpReply &reply) override;

private:
    enum class State { From, To };

    QByteArray m_from;
    QByteArray m_to;
    State m_state = State::From;
};
