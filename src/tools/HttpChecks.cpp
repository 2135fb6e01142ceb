#include "HttpChecks.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    return false;
}

bool hasAnyOf(const QString &text, const char *characters)
{
    for (const char *c = characters; *c; ++c)
        if (text.contains(QLatin1Char(*c)))
            return true;
    return false;
}

} // namespace

bool HttpChecks::validLocalName(const QString &path)
{
    if (path.isEmpty() || !QDir::isAbsolutePath(path) || path.endsWith(QLatin1Char('/')))
        return false;
    if (hasControlCharacter(path) || hasAnyOf(path, "*?\"<>|\\"))
        return false;
    return !QFileInfo(path).isDir();
}

QUrl HttpChecks::parseRemote(const QString &text)
{
    const QString lower = text.toLower();
    qsizetype hostStart = 0;
    if (lower.startsWith(QLatin1String("http://")))
        hostStart = 7;
    else if (lower.startsWith(QLatin1String("https://")))
        hostStart = 8;
    else
        return {};
    // The host (with its port) must be followed by a "/".
    const qsizetype slash = text.indexOf(QLatin1Char('/'), hostStart);
    if (slash <= hostStart || hasControlCharacter(text) || hasAnyOf(text, "*\\\"?<>|"))
        return {};
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty())
        return {};
    return url;
}
