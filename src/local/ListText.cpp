#include "ListText.h"

QString ListText::sizeText(qint64 bytes)
{
    QString digits = QString::number(bytes < 0 ? 0 : bytes);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(' '));
    return digits;
}

QString ListText::dateText(const QDateTime &time)
{
    if (!time.isValid())
        return QStringLiteral("-");
    // Built by hand: a listing formats one date per row and QDateTime::toString is slow.
    const QDateTime local = time.toLocalTime();
    const QDate d = local.date();
    const QTime t = local.time();
    return QString::asprintf("%d/%d/%d %d:%02d:%02d", d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second());
}
