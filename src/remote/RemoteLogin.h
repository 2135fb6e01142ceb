#pragma once

#include "ConnectionSettings.h"
#include "FtpTypes.h"
#include "KnownCertificates.h"

#include <QString>
#include <functional>

class RemoteSession;
class Prompter;
class SessionLog;

// Opening the browsing connection as the remote list needs it, and what is told of it: the
// login in the log, the reason of a failure, the security of the connection.
namespace RemoteLogin {

// The session's options for the settings as typed, trusting the certificate the user accepted
// before for this host and port (kept in `knownFile`). A certificate that cannot be verified is
// put to the user. `fingerprint` is the certificate's the connection goes on with, when known.
FtpOptions prepare(RemoteSession &session, const ConnectionSettings &settings, const QString &knownFile,
                   Prompter &prompter, SessionLog &log, QString &fingerprint);
// The login as it went: the TLS commands in the colour of commands, the replies in theirs, and a
// server without TLS in red.
void logLogin(const RemoteSession &session, SessionLog &log);
// What to tell the user about a failed connection: the server's last refusal ("530 Login
// incorrect."), else the last line there is (the socket's "Connection refused", a TLS problem).
QString failureReason(const QString &info);
// The message for a failed connection, with that reason.
QString failureMessage(const QString &info);
// "TLS 1.3, cipher" as the login described the encryption; empty without one.
QString tlsText(const RemoteSession &session);
// The padlock's tooltip: whether the login and the data are encrypted, how, and the certificate.
QString securityText(const RemoteSession &session, const QString &tls, const QString &fingerprint);

} // namespace RemoteLogin
