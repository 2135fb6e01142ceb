#include "numberFunctions.h"

#include <optional>

namespace {

struct Signed
{
    bool negative = false;
    QString digits; // without the sign and without leading zeros
};

Signed split(const QString &text)
{
    Signed s;
    QStringView rest(text);
    if (rest.startsWith(QLatin1Char('-'))) {
        s.negative = true;
        rest = rest.mid(1);
    }
    qsizetype i = 0;
    while (i < rest.size() && rest[i] == QLatin1Char('0'))
        ++i;
    s.digits = rest.mid(i).toString();
    return s;
}

// The largest magnitude the signed 64-bit range holds on that side of zero.
quint64 limitFor(bool negative)
{
    return negative ? quint64(1) << 63 : (quint64(1) << 63) - 1;
}

// Reads digits of `base` into a magnitude; nullopt when it exceeds the limit.
template <class DigitValue>
std::optional<quint64> readMagnitude(const QString &digits, quint64 base, quint64 limit, DigitValue value)
{
    quint64 v = 0;
    for (const QChar c : digits) {
        const int d = value(c);
        if (d < 0)
            break;
        if (v > limit / base || v * base > limit - quint64(d))
            return std::nullopt;
        v = v * base + quint64(d);
    }
    return v;
}

int decimalDigit(QChar c)
{
    return c.isDigit() && c.unicode() < 128 ? c.unicode() - '0' : -1;
}

int binaryDigit(QChar c)
{
    return c == QLatin1Char('1') ? 1 : 0;
}

int hexDigit(QChar c)
{
    const char16_t u = c.toLower().unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return 0;
}

QString withSign(bool negative, const QString &digits)
{
    if (digits.isEmpty() || digits == QLatin1String("0"))
        return QStringLiteral("0");
    return negative ? QLatin1Char('-') + digits : digits;
}

QString report(bool *ok, bool value, const QString &result)
{
    if (ok)
        *ok = value;
    return value ? result : QString();
}

template <class DigitValue>
QString convert(const QString &text, quint64 fromBase, int toBase, DigitValue value, bool *ok)
{
    const Signed s = split(text);
    const std::optional<quint64> v = readMagnitude(s.digits, fromBase, limitFor(s.negative), value);
    if (!v)
        return report(ok, false, {});
    return report(ok, true, withSign(s.negative, QString::number(*v, toBase)));
}

QString dropLeadingZeros(const QString &digits)
{
    qsizetype i = 0;
    while (i < digits.size() && digits[i] == QLatin1Char('0'))
        ++i;
    return digits.mid(i);
}

} // namespace

QString numberFunctions::DecimalToBinary(const QString &text, bool *ok)
{
    return convert(text, 10, 2, decimalDigit, ok);
}

QString numberFunctions::DecimalToHex(const QString &text, bool *ok)
{
    return convert(text, 10, 16, decimalDigit, ok);
}

QString numberFunctions::BinaryToDecimal(const QString &text, bool *ok)
{
    return convert(text, 2, 10, binaryDigit, ok);
}

QString numberFunctions::HexToDecimal(const QString &text, bool *ok)
{
    return convert(text, 16, 10, hexDigit, ok);
}

QString numberFunctions::HexToBinary(const QString &text, bool *ok)
{
    const Signed s = split(text);
    QString bits;
    bits.reserve(s.digits.size() * 4);
    for (const QChar c : s.digits)
        bits += QString::number(hexDigit(c), 2).rightJustified(4, QLatin1Char('0'));
    return report(ok, true, withSign(s.negative, dropLeadingZeros(bits)));
}

QString numberFunctions::BinaryToHex(const QString &text, bool *ok)
{
    const Signed s = split(text);
    QString bits = s.digits;
    bits = bits.rightJustified(((bits.size() + 3) / 4) * 4, QLatin1Char('0'));
    QString hex;
    hex.reserve(bits.size() / 4);
    for (qsizetype i = 0; i < bits.size(); i += 4) {
        int v = 0;
        for (qsizetype j = i; j < i + 4; ++j)
            v = v * 2 + binaryDigit(bits[j]);
        hex += QString::number(v, 16);
    }
    return report(ok, true, withSign(s.negative, dropLeadingZeros(hex)));
}
