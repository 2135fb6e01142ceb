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
            *error = QStringLiteral("The server address \"%1\" is not a valid ftp://, ftpes:// or ftps:// address.").arg(p.server);
        return std::nullopt;
    }
    c.server = url->serverField(); // the scheme stays: it says how the connection is protected
    if (url->portGiven || url->security == FtpSecurity::Implicit)
        c.port = url->port;
    if (url->userGiven || p.username.isEmpty()) {
        c.username = url->user;
        c.password = url->password;
    }
    c.startFolder = url->path;
    return c;
}
