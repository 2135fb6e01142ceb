#include "Calculator.h"

#include "Prompter.h"
#include "numberFunctions.h"

#include <QRegularExpression>
#include <cmath>

namespace {

void exclaim(Prompter &prompter, const char *text)
{
    prompter.message(QString::fromLatin1(text), Prompter::Icon::Warning);
}

} // namespace

long double Calculator::readDecimal(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*(-?\\d*(?:[.,]\\d*)?(?:[eE][-+]?\\d+)?)"));
    QString found = number.match(text).captured(1);
    found.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    // Whole numbers exactly, beyond the 53 bits of a double.
    const qint64 whole = found.toLongLong(&ok);
    if (ok)
        return whole;
    const double v = found.toDouble(&ok);
    if (ok)
        return v;
    // Without digits after an exponent letter or only a sign: read what stands before it.
    static const QRegularExpression plain(QStringLiteral("^-?\\d*(?:\\.\\d*)?"));
    const QString head = plain.match(found).captured(0);
    const double w = head.toDouble(&ok);
    return ok ? w : 0.0L;
}

namespace {

constexpr long double kTwoTo63 = 9223372036854775808.0L;

// The 15 significant digits of `scientific` ("-1.23450000000000e-07") written out without an
// exponent, "." as the mark.
QString withoutExponent(const QString &scientific)
{
    const bool negative = scientific.startsWith(QLatin1Char('-'));
    const qsizetype at = scientific.indexOf(QLatin1Char('e'));
    const int exponent = scientific.mid(at + 1).toInt();
    QString digits = scientific.mid(negative ? 1 : 0, at - (negative ? 1 : 0)).remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    QString text;
    if (exponent < 0)
        text = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    else if (digits.size() <= exponent + 1)
        text = digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
    else
        text = digits.left(exponent + 1) + QLatin1Char('.') + digits.mid(exponent + 1);
    return negative ? QLatin1Char('-') + text : text;
}

} // namespace

QString Calculator::writeDecimal(long double value)
{
    if (value == 0)
        return QStringLiteral("0");
    // Whole numbers of the 64-bit range in full: every digit is exact, and a change of base reads
    // them whole.
    if (value == std::trunc(value) && value >= -kTwoTo63 && value < kTwoTo63)
        return QString::number(static_cast<qint64>(value));
    // The rest with 15 significant digits, written out from 10^-18 to 10^15 and with an exponent
    // beyond, which readDecimal reads back.
    const double v = static_cast<double>(value);
    const QString scientific = QString::number(v, 'e', 14);
    const qsizetype at = scientific.indexOf(QLatin1Char('e'));
    const int exponent = at < 0 ? 0 : scientific.mid(at + 1).toInt();
    QString text =
        at < 0 || exponent < -18 || exponent >= 15 ? QString::number(v, 'g', 15) : withoutExponent(scientific);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

void Calculator::tooLarge()
{
    exclaim(m_prompter, "The number is too large.");
}

bool Calculator::toDecimal(const QString &text, long double &value)
{
    bool ok = true;
    QString decimal = text;
    if (m_mode == Hexadecimal)
        decimal = numberFunctions::HexToDecimal(text, &ok);
    else if (m_mode == Binary)
        decimal = numberFunctions::BinaryToDecimal(text, &ok);
    if (!ok) {
        tooLarge();
        return false;
    }
    value = readDecimal(decimal);
    return true;
}

bool Calculator::fromDecimal(long double value, QString &text)
{
    return fromDecimal(value, m_mode, text);
}

bool Calculator::fromDecimal(long double value, Mode mode, QString &text)
{
    if (mode == Decimal) {
        text = writeDecimal(value);
        return true;
    }
    // Whole numbers only in these bases; the fraction is dropped.
    const long double whole = std::trunc(value);
    if (!std::isfinite(whole) || whole >= kTwoTo63 || whole < -kTwoTo63) {
        tooLarge();
        return false;
    }
    const QString decimal = QString::number(static_cast<qint64>(whole));
    text = mode == Hexadecimal ? numberFunctions::DecimalToHex(decimal) : numberFunctions::DecimalToBinary(decimal);
    return true;
}

bool Calculator::compute(Operation op, long double a, long double b, long double &result)
{
    switch (op) {
    case Plus:
        result = a + b;
        return true;
    case Minus:
        result = a - b;
        return true;
    case Times:
        result = a * b;
        return true;
    case Divide:
        if (b == 0) {
            exclaim(m_prompter, "Cannot divide by zero!");
            result = a;
            return false;
        }
        result = a / b;
        return true;
    case NoOperation:
        break;
    }
    exclaim(m_prompter, "The operation could not be resolved.");
    result = a;
    return false;
}

bool Calculator::keyEnabled(QChar key) const
{
    const char16_t k = key.toLower().unicode();
    if (k == '0' || k == '1')
        return true;
    if (k >= '2' && k <= '9')
        return m_mode != Binary;
    if (k >= 'a' && k <= 'f')
        return m_mode == Hexadecimal;
    return false;
}

void Calculator::digit(QChar key)
{
    if (!keyEnabled(key))
        return;
    m_entry += key.toLower();
    m_display = m_entry;
}

void Calculator::decimalSeparator()
{
    // Fractions exist only in decimal; in the other bases the separator would be read as a digit.
    if (!decimalSeparatorEnabled())
        return;
    m_entry += QLatin1Char(',');
    m_display = m_entry;
}

void Calculator::changeSign()
{
    if (m_entry.startsWith(QLatin1Char('-')))
        m_entry.remove(0, 1);
    else
        m_entry.prepend(QLatin1Char('-'));
    m_display = m_entry;
}

void Calculator::allClear()
{
    m_entry.clear();
    m_accumulator = QStringLiteral("0");
    m_display = QStringLiteral("0");
}

void Calculator::operation(Operation op)
{
    long double acc = 0, value = 0, result = 0;
    if (!toDecimal(m_accumulator, acc) || !toDecimal(m_entry, value))
        return;
    m_pending = op;
    if (acc == 0) {
        m_accumulator = m_entry.isEmpty() ? QStringLiteral("0") : m_entry;
    } else {
        QString text;
        // The key's own operation combines what is there; a failed one leaves the accumulator.
        if (compute(op, acc, value, result) && fromDecimal(result, text))
            m_accumulator = text;
    }
    m_display = m_accumulator;
    m_entry.clear();
}

void Calculator::equals()
{
    long double acc = 0, value = 0, result = 0;
    if (!toDecimal(m_accumulator, acc) || !toDecimal(m_entry, value))
        return;
    compute(m_pending, acc, value, result);
    QString text;
    if (!fromDecimal(result, text))
        return;
    // The result carries over as the entry of the next operation.
    m_display = text;
    m_entry = text;
    m_accumulator = QStringLiteral("0");
}

void Calculator::squareRoot()
{
    if (m_mode != Decimal) {
        exclaim(m_prompter, "Decimal system only!");
        return;
    }
    const long double value = readDecimal(m_display);
    if (value < 0) {
        exclaim(m_prompter, "A negative number has no square root.");
        return;
    }
    m_entry = writeDecimal(std::sqrt(value));
    m_display = m_entry;
}

void Calculator::memorySet()
{
    m_memory = m_entry.isEmpty() ? QStringLiteral("0") : m_entry;
}

void Calculator::memoryRecall()
{
    m_entry = m_memory;
    m_display = m_entry.isEmpty() ? QStringLiteral("0") : m_entry;
}

void Calculator::memoryClear()
{
    m_memory = QStringLiteral("0");
}

bool Calculator::setMode(Mode mode)
{
    if (mode == m_mode)
        return true;
    const QString from = m_entry.isEmpty() ? QStringLiteral("0") : m_entry;
    bool ok = true;
    QString converted;
    using namespace numberFunctions;
    if (m_mode == Decimal) // the whole number, its exponent too (a result may carry one)
        ok = fromDecimal(readDecimal(from), mode, converted);
    else if (mode == Decimal)
        converted = m_mode == Hexadecimal ? HexToDecimal(from, &ok) : BinaryToDecimal(from, &ok);
    else
        converted = mode == Hexadecimal ? BinaryToHex(from, &ok) : HexToBinary(from, &ok);
    if (!ok) {
        if (m_mode != Decimal) // fromDecimal has said so
            tooLarge();
        return false;
    }
    m_mode = mode;
    // An empty entry stays empty (it reads as 0), so the next digit does not follow a "0".
    if (!m_entry.isEmpty())
        m_entry = converted;
    m_display = converted;
    return true;
}
