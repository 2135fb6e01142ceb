#pragma once

#include "FtpOperation.h"

// Connects and logs in: greeting (120 then 220), USER, PASS (331), then FEAT and OPTS UTF8 ON
// to learn what the server offers. The last reply holds the greeting and the login replies.
class FtpLoginOperation : public FtpOperation
{
    Q_OBJECT
public:
    using FtpOperation::FtpOperation;
    void handleLost(const QString &why) override;

protected:
    void start() override;
    void onReply(const FtpReply &reply) override;

private:
    enum class State { Connecting, Greeting, User, Password, Features, Utf8 };

    void onConnected();
    void onGreeting(const FtpReply &reply);
    void onUser(const FtpReply &reply);
    void onPassword(const FtpReply &reply);
    void onFeatures(const FtpReply &reply);
    QString user() const;

    State m_state = State::Connecting;
};
