#pragma once

#include <QString>

// Base conversions of the calculator. Each takes a text and returns a text: a leading "-" is taken
// off first and put back in front of the result (never in front of "0"), leading "0" characters
// are dropped, and "0" is the result when no digit is left. Letters are lower case.
//
// Values are exact over the signed 64-bit range. A value beyond it gives a null text and *ok false;
// the hexadecimal <-> binary routines work digit by digit and have no limit.
namespace numberFunctions {

// Decimal input: the digits up to the first character that is not one (so fractions are dropped).
QString DecimalToBinary(const QString &text, bool *ok = nullptr);
QString DecimalToHex(const QString &text, bool *ok = nullptr);
// Binary input: "1" counts as one, every other character as zero.
QString BinaryToDecimal(const QString &text, bool *ok = nullptr);
QString BinaryToHex(const QString &text, bool *ok = nullptr);
// Hexadecimal input: 0-9 and a-f (either case); any other character counts as zero.
QString HexToDecimal(const QString &text, bool *ok = nullptr);
QString HexToBinary(const QString &text, bool *ok = nullptr);

} // namespace numberFunctions
