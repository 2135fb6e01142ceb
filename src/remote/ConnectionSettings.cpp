#include "ConnectionSettings.h"

#include <QUrl>
#include <limits>

namespace {

// A whole number from min to max, or nothing.
std::optional<qint64> wholeNumber(const QString &text, qint64 min, qint64 max)
{
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

// "host", "host:port", "[v6]", "[v6]:port", "v6" (more than one colon, no brackets), with
// anything from the first "/" on dropped (a pasted "host/folder/").
bool splitHostPort(QString text, QString &host, std::optional<qint64> &port)
{
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        text.truncate(slash);
    port.reset();
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (rest.isEmpty())
            return true;
        if (!rest.startsWith(QLatin1Char(':')))
            return false;
        port = wholeNumber(rest.mid(1), 1, 65535);
        return port.has_value();
    }
    if (text.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = text.indexOf(QLatin1Char(':'));
        host = text.left(colon);
        port = wholeNumber(text.mid(colon + 1), 1, 65535);
        return port.has_value();
    }
    host = text;
    return true;
}

// The user's login name on this computer; empty when the environment does not say.
QString localLoginName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
}

} // namespace

std::optional<ConnectionSchemes::Scheme> ConnectionSchemes::of(const QString &text)
{
    const qsizetype mark = text.indexOf(QLatin1String("://"));
    if (mark < 0)
        return Scheme{};
    const QString name = text.left(mark).toLower();
    Scheme scheme{RemoteProtocol::Ftp, FtpSecurity::Auto, mark + 3};
    if (name == QLatin1String("ftpes"))
        scheme.security = FtpSecurity::Explicit;
    else if (name == QLatin1String("ftps"))
        scheme.security = FtpSecurity::Implicit;
    else if (name == QLatin1String("sftp"))
        scheme.protocol = RemoteProtocol::Sftp;
    else if (name != QLatin1String("ftp"))
        return std::nullopt;
    return scheme;
}

QString ConnectionSchemes::prefixFor(RemoteProtocol protocol, FtpSecurity security)
{
    if (protocol == RemoteProtocol::Sftp)
        return QStringLiteral("sftp://");
    switch (security) {
    case FtpSecurity::Explicit:
        return QStringLiteral("ftpes://");
    case FtpSecurity::Implicit:
        return QStringLiteral("ftps://");
    default:
        return QString();
    }
}

quint16 ConnectionSchemes::defaultPort(RemoteProtocol protocol, FtpSecurity security)
{
    if (protocol == RemoteProtocol::Sftp)
        return 22;
    return security == FtpSecurity::Implicit ? 990 : 21;
}

std::optional<ConnectionSettings> ConnectionSettings::fromFields(const QString &host, const QString &port,
                                                                 const QString &user, const QString &password,
                                                                 const QString &proxy, const QString &timeout,
                                                                 const QString &keep, bool active, QString *error)
{
    const qint64 maxInterval = std::numeric_limits<int>::max();
    const auto portNumber = wholeNumber(port, 1, 65535);
    const auto timeLimit = wholeNumber(timeout, 0, maxInterval);
    const auto keepAlive = wholeNumber(keep, 0, maxInterval);
    QString problem;
    QString hostName = host.trimmed();
    const auto scheme = ConnectionSchemes::of(hostName);
    std::optional<qint64> hostPort;
    if (!scheme)
        problem = QStringLiteral("\"%1\" is not an address this program can connect to: use ftp://, ftpes://, "
                                 "ftps:// or sftp://, or just the server's name.")
                      .arg(hostName.left(hostName.indexOf(QLatin1String("://")) + 3));
    else if (!splitHostPort(hostName.mid(scheme->length), hostName, hostPort))
        problem = QStringLiteral("The port in the server address must be a whole number from 1 to 65535.");
    else if (!portNumber)
        problem = QStringLiteral("The port must be a whole number from 1 to 65535.");
    else if (!timeLimit)
        problem =
            QStringLiteral("The time limit must be a whole number of milliseconds from 0 to %1.").arg(maxInterval);
    else if (!keepAlive)
        problem = QStringLiteral("The keep-alive interval must be a whole number of milliseconds from 0 to %1.")
                      .arg(maxInterval);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return std::nullopt;
    }
    qint64 chosenPort = hostPort ? *hostPort : *portNumber;
    if (!hostPort && chosenPort == 21) // the field's default, not a choice: ftps:// and sftp:// have ports of their own
        chosenPort = ConnectionSchemes::defaultPort(scheme->protocol, scheme->security);
    return ConnectionSettings{hostName,        quint16(chosenPort), user,   password,         proxy.trimmed(),
                              int(*timeLimit), int(*keepAlive),     active, scheme->security, scheme->protocol};
}

std::optional<ConnectionUrl> ConnectionUrl::parse(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    const auto scheme = ConnectionSchemes::of(text.trimmed());
    if (!url.isValid() || url.host().isEmpty() || !text.contains(QLatin1String("://")) || !scheme)
        return std::nullopt;
    ConnectionUrl c;
    c.security = scheme->security;
    c.protocol = scheme->protocol;
    c.host = url.host();
    c.port = QString::number(ConnectionSchemes::defaultPort(c.protocol, c.security));
    c.portGiven = url.port() > 0;
    if (c.portGiven)
        c.port = QString::number(url.port());
    c.user = url.userName(QUrl::FullyDecoded);
    c.userGiven = !c.user.isEmpty();
    c.password = url.password(QUrl::FullyDecoded);
    if (c.user.isEmpty() && c.protocol == RemoteProtocol::Sftp) {
        c.user = localLoginName(); // as ssh does; SSH servers have no anonymous login
    } else if (c.user.isEmpty()) {
        c.user = QStringLiteral("anonymous");
        c.password = QStringLiteral("anonymous@");
    }
    c.path = url.path(QUrl::FullyDecoded);
    if (!c.path.startsWith(QLatin1Char('/')))
        c.path.prepend(QLatin1Char('/'));
    return c;
}
