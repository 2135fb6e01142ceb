#include "ServerNames.h"

namespace {

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029;
}

} // namespace

bool ServerNames::isServerName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (const QChar c : name)
        if (c == QLatin1Char('/') || isControl(c))
            return false;
    return true;
}

bool ServerNames::isLocalFileName(const QString &name)
{
    return isServerName(name) && !name.contains(QLatin1Char('\\'));
}

std::optional<QString> ServerNames::localPathForServerName(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || !isLocalFileName(name))
        return std::nullopt;
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString ServerNames::refusalText(const QString &remotePath)
{
    return QStringLiteral("Skipped ") + remotePath + QStringLiteral(": not a possible local file name.");
}

QString ServerNames::uploadRefusalText(const QString &localPath)
{
    return QStringLiteral("Skipped ") + localPath + QStringLiteral(": not a possible name on the server.");
}
