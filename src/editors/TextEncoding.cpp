#include "TextEncoding.h"

#include "Cp1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace TextEncoding {

namespace {

// The bytes Windows-1252 leaves undefined map to the C1 controls of the same number.
bool undefinedIn1252(char16_t c)
{
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

} // namespace

QString decode(const QByteArray &bytes, Encoding &encoding)
{
    // A byte order mark stays in the text, so that it is written back. Stateless: the file is
    // whole, so a sequence cut off at its end is an error, not something to wait for.
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) {
        encoding = Encoding::Utf8;
        return text;
    }
    encoding = Encoding::Windows1252;
    text.resize(bytes.size());
    QChar *out = text.data();
    for (const char b : bytes)
        *out++ = Cp1252::toUnicode(uchar(b));
    return text;
}

bool encode(const QString &text, Encoding encoding, QByteArray &out, QChar *bad)
{
    if (encoding == Encoding::Utf8) {
        QStringEncoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        out = utf8(text);
        return !utf8.hasError();
    }
    out.resize(text.size());
    char *p = out.data();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        uchar b = u < 0x80 || undefinedIn1252(u) ? uchar(u) : Cp1252::fromUnicode(u);
        if (b == 0 && u != 0) {
            if (bad)
                *bad = c;
            return false;
        }
        *p++ = char(b);
    }
    return true;
}

} // namespace TextEncoding
