#include "FtpSecrets.h"

namespace {

const QString kMask = QStringLiteral("********");

bool isWordChar(const QString &text, qsizetype at)
{
    return at >= 0 && at < text.size() && text.at(at).isLetterOrNumber();
}

QString maskedWord(QString text, const QString &secret)
{
    for (qsizetype at = text.indexOf(secret); at >= 0; at = text.indexOf(secret, at)) {
        if (isWordChar(text, at - 1) || isWordChar(text, at + secret.size())) {
            at += secret.size();
            continue;
        }
        text.replace(at, secret.size(), kMask);
        at += kMask.size();
    }
    return text;
}

} // namespace

namespace FtpSecrets {

QString masked(QString text, const QStringList &secrets)
{
    for (const QString &secret : secrets) {
        if (secret.isEmpty())
            continue;
        text = secret.size() >= 3 ? text.replace(secret, kMask) : maskedWord(text, secret);
    }
    return text;
}

QString maskedCommand(const QString &line, const QStringList &secrets)
{
    if (line.startsWith(QLatin1String("PASS "), Qt::CaseInsensitive))
        return line.left(5) + kMask;
    return masked(line, secrets);
}

} // namespace FtpSecrets
