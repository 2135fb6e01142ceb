#pragma once

#include "FtpOperation.h"

// Connects and logs in: greeting (120 then 220), AUTH TLS and the handshake (or TLS from the
// start), USER, PASS (331), PBSZ 0 and PROT P under TLS, then FEAT and OPTS UTF8 ON to learn what
// the server offers. The last reply holds the greeting and the login replies.
class FtpLoginOperation : public FtpOperation
{
    Q_OBJECT
public:
    using FtpOperation::FtpOperation;
    void handleLost(const QString &why) override;
    // The login stopped at a certificate the user has not accepted (nothing secret was sent).
    bool stoppedAtCertificate() const { return m_stoppedAtCertificate; }

protected:
    void start() override;
    void onReply(const FtpReply &reply) override;

private:
    enum class State { Connecting, Greeting, Auth, Handshake, User, Password, Pbsz, Prot, Features, Utf8 };

    void onConnected();
    void onEncrypted();
    void onGreeting(const FtpReply &reply);
    void onAuth(const FtpReply &reply);
    void sendUser();
    void onUser(const FtpReply &reply);
    void onPassword(const FtpReply &reply);
    void loggedIn();
    void onProtection(const FtpReply &reply);
    void unprotectedData(const QString &why);
    void onFeatures(const FtpReply &reply);
    QString user() const;
    bool tlsRequired() const;

    State m_state = State::Connecting;
    bool m_stoppedAtCertificate = false;
};
