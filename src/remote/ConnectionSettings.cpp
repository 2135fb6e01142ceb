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

} // namespace

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
    if (!portNumber)
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
    return ConnectionSettings{host.trimmed(),  quint16(*portNumber), user,  password, proxy.trimmed(),
                              int(*timeLimit), int(*keepAlive),      active};
}

std::optional<ConnectionUrl> ConnectionUrl::parse(const QString &text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("ftp"), Qt::CaseInsensitive) != 0 || url.host().isEmpty())
        return std::nullopt;
    ConnectionUrl c;
    c.host = url.host();
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
