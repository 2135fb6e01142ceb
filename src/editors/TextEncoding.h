#pragma once

#include <QByteArray>
#include <QString>

// A text file is edited as UTF-8 when its bytes are valid UTF-8, otherwise as Windows-1252, and
// written back in the encoding it was read in, so that the bytes of untouched lines stay as
// they were. Windows-1252 here maps all 256 bytes (the five it leaves undefined to the control
// characters of the same number), so every file reads and writes back unchanged.
namespace TextEncoding {

enum class Encoding { Utf8, Windows1252 };

QString decode(const QByteArray &bytes, Encoding &encoding);
// False when the text holds a character the encoding cannot store; `bad` is then the first one.
bool encode(const QString &text, Encoding encoding, QByteArray &out, QChar *bad = nullptr);

} // namespace TextEncoding
