#pragma once

#include <QChar>

// Windows-1252, the code page of RTF's \'hh escapes and of old plain-text logs.
namespace Cp1252 {

// 0x80-0x9F; the other bytes are Latin-1.
inline constexpr char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline QChar toUnicode(uchar byte)
{
    return byte >= 0x80 && byte < 0xA0 ? QChar(high[byte - 0x80]) : QChar(byte);
}

// The byte for a character from U+0080 on, or 0 when the code page has none.
inline uchar fromUnicode(char16_t c)
{
    if (c >= 0xA0 && c <= 0xFF)
        return uchar(c);
    for (int i = 0; i < 32; ++i) {
        if (high[i] == c && c > 0xFF)
            return uchar(0x80 + i);
    }
    return 0;
}

} // namespace Cp1252
