#pragma once

#include <QString>

// 64 lower-case hexadecimal digits from a text: two digits of its length, then the codes of its
// characters (Windows-1252) repeated to fill. Not a hash and not a secret: the same text always
// gives the same digits, and a text of up to 31 characters can be read back from them.
QString EncodeHex64(const QString &text);
