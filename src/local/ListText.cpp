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
    return time.toLocalTime().toString(QStringLiteral("d/M/yyyy H:mm:ss"));
}
