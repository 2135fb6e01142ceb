#include "FtpListText.h"

#include "FtpListDates.h"

#include <cmath>

namespace FtpListText {

qint64 sizeWithUnit(const QByteArray &word)
{
    qsizetype digits = 0;
    while (digits < word.size() && ((word[digits] >= '0' && word[digits] <= '9') || word[digits] == '.'))
        ++digits;
    const QByteArray number = word.left(digits);
    QByteArray unit = word.mid(digits).toUpper();
    if (unit.endsWith('B'))
        unit.chop(1);
    if (number.isEmpty() || number.startsWith('.') || number.endsWith('.') || number.count('.') > 1 ||
        number.size() > 18 || unit.size() > 1)
        return -1;
    if (unit.isEmpty() && FtpListDates::isNumber(number))
        return number.toLongLong();
    static const QByteArray units = "KMGT";
    const qsizetype power = unit.isEmpty() ? -1 : units.indexOf(unit[0]);
    if (power < 0 || number.size() > 12)
        return -1;
    return qint64(std::llround(number.toDouble() * std::pow(1024.0, double(power + 1))));
}

} // namespace FtpListText
