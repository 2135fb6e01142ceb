#include "ProfileConnection.h"

#include "ConnectionSettings.h"

std::optional<ProfileConnection> ProfileConnection::from(const Profile &p, QString *error)
{
    ProfileConnection c{p.server, p.port, p.username, p.password, p.proxy, p.timeout, p.keepAlive, p.active, {}};
    if (!p.server.contains(QStringLiteral("://")))
        return c;
    const auto url = ConnectionUrl::parse(p.server.trimmed());
    if (!url) {
        if (error)
            *error =
                QStringLiteral("The server address \"%1\" is not a valid ftp://, ftpes://, ftps:// or sftp:// address.")
                    .arg(p.server);
        return std::nullopt;
    }
    c.server = url->serverField(); // the scheme stays: it says the protocol and how the connection is protected
    // SFTP's own port replaces only the usual 21 of the port field, as in the main window.
    const bool usualPort = c.port.trimmed().isEmpty() || c.port.trimmed() == QLatin1String("21");
    if (url->portGiven || url->security == FtpSecurity::Implicit ||
        (url->protocol == RemoteProtocol::Sftp && usualPort))
        c.port = url->port;
    if (url->userGiven || p.username.isEmpty()) {
        c.username = url->user;
        c.password = url->password;
    }
    c.startFolder = url->path;
    return c;
}
