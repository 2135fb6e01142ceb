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

} // namespace

bool ConnectionSchemes::securityOf(const QString &text, FtpSecurity &security, qsizetype &schemeLength)
{
    security = FtpSecurity::Auto;
    schemeLength = 0;
    const qsizetype mark = text.indexOf(QLatin1String("://"));
    if (mark < 0)
        return true;
    const QString scheme = text.left(mark).toLower();
    if (scheme == QLatin1String("ftp"))
        security = FtpSecurity::Auto;
    else if (scheme == QLatin1String("ftpes"))
        security = FtpSecurity::Explicit;
    else if (scheme == QLatin1String("ftps"))
        security = FtpSecurity::Implicit;
    else
        return false;
    schemeLength = mark + 3;
    return true;
}

QString ConnectionSchemes::prefixFor(FtpSecurity security)
{
    switch (security) {
    case FtpSecurity::Explicit:
        return QStringLiteral("ftpes://");
    case FtpSecurity::Implicit:
        return QStringLiteral("ftps://");
    default:
        return QString();
    }
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
    FtpSecurity security = FtpSecurity::Auto;
    qsizetype schemeLength = 0;
    QString hostName = host.trimmed();
    std::optional<qint64> hostPort;
    if (!ConnectionSchemes::securityOf(hostName, security, schemeLength))
        problem = QStringLiteral("\"%1\" is not an address this program can connect to: use ftp://, ftpes:// or "
                                 "ftps://, or just the server's name.")
                      .arg(hostName.left(hostName.indexOf(QLatin1String("://")) + 3));
    else if (!splitHostPort(hostName.mid(schemeLength), hostName, hostPort))
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
    if (!hostPort && security == FtpSecurity::Implicit && chosenPort == 21)
        chosenPort = 990; // implicit TLS has its own port; 21 there is the field's default, not a choice
    return ConnectionSettings{hostName,        quint16(chosenPort),    user,   password, proxy.trimmed(),
                              int(*timeLimit), int(*keepAlive), active, security};
}

std::optional<ConnectionUrl> ConnectionUrl::parse(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    FtpSecurity security = FtpSecurity::Auto;
    qsizetype schemeLength = 0;
    if (!url.isValid() || url.host().isEmpty() || !text.contains(QLatin1String("://")) ||
        !ConnectionSchemes::securityOf(text.trimmed(), security, schemeLength))
        return std::nullopt;
    ConnectionUrl c;
    c.security = security;
    c.host = url.host();
    if (security == FtpSecurity::Implicit)
        c.port = QStringLiteral("990");
    c.portGiven = url.port() > 0;
    if (c.portGiven)
        c.port = QString::number(url.port());
    c.user = url.userName(QUrl::FullyDecoded);
    c.userGiven = !c.user.isEmpty();
    c.password = url.password(QUrl::FullyDecoded);
    if (c.user.isEmpty()) {
        c.user = QStringLiteral("anonymous");
        c.password = QStringLiteral("anonymous@");
    }
    c.path = url.path(QUrl::FullyDecoded);
    if (!c.path.startsWith(QLatin1Char('/')))
        c.path.prepend(QLatin1Char('/'));
    return c;
}
