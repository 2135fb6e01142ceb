#include "FtpPattern.h"

FtpPattern::FtpPattern(const QString &pattern)
{
    m_all = pattern.isEmpty() || pattern == QLatin1String("*") || pattern == QLatin1String("*.*");
    if (!m_all)
        m_re.setPattern(QRegularExpression::wildcardToRegularExpression(pattern));
}

bool FtpPattern::matches(const QString &name) const
{
    return m_all || m_re.match(name).hasMatch();
}

void FtpPattern::split(const QString &pathPattern, QString &folder, QString &pattern)
{
    const qsizetype slash = pathPattern.lastIndexOf(QLatin1Char('/'));
    const QString last = pathPattern.mid(slash + 1);
    if (last.contains(QLatin1Char('*')) || last.contains(QLatin1Char('?'))) {
        folder = pathPattern.left(slash + 1);
        pattern = last;
    } else {
        folder = pathPattern;
        pattern = QString();
    }
}
