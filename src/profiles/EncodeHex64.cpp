#include "EncodeHex64.h"

#include "Cp1252.h"

#include <QList>

namespace {

// A number above 255 gives "ff".
QString twoDigits(qsizetype n)
{
    static const char digits[] = "0123456789abcdef";
    if (n > 255)
        n = 255;
    const char pair[] = {digits[n >> 4], digits[n & 15]};
    return QString::fromLatin1(pair, 2);
}

// The character's byte in the code page; one the code page lacks becomes "?", as it would there.
int ansiCode(char32_t c)
{
    if (c < 0x80)
        return int(c);
    if (c <= 0xFFFF) {
        if (const uchar b = Cp1252::fromUnicode(char16_t(c)))
            return b;
    }
    return '?';
}

} // namespace

QString EncodeHex64(const QString &text)
{
    if (text.isEmpty())
        return QString(64, QLatin1Char('0'));
    const QList<uint> characters = text.toUcs4();
    QString body;
    for (const uint c : characters)
        body += twoDigits(ansiCode(char32_t(c)));
    while (body.size() < 62)
        body += body;
    return (twoDigits(characters.size()) + body).left(64);
}
