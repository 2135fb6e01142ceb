#include "RtfWriter.h"

#include "Cp1252.h"

namespace {

QList<QRgb> ownColours()
{
    return {LogColours::black().rgb(), LogColours::darkBlue().rgb(), LogColours::darkGreen().rgb(),
            LogColours::red().rgb()};
}

void appendUnicode(QByteArray &out, char16_t unit)
{
    out += "\\u";
    out += QByteArray::number(static_cast<qint16>(unit));
    // A fallback for readers that do not know \u: the code page's character, else "?".
    if (const uchar byte = Cp1252::fromUnicode(unit)) {
        out += "\\'";
        out += QByteArray::number(byte, 16);
    } else {
        out += '?';
    }
}

} // namespace

RtfWriter::RtfWriter(const QList<QRgb> &extraColours) : m_table(ownColours())
{
    m_table += extraColours;
}

QList<QRgb> RtfWriter::extraColours(const LogRuns &runs)
{
    const QList<QRgb> own = ownColours();
    QList<QRgb> extra;
    for (const LogRun &run : runs) {
        const QRgb rgb = run.colour.rgb();
        if (!own.contains(rgb) && !extra.contains(rgb))
            extra.append(rgb);
    }
    return extra;
}

QByteArray RtfWriter::document(const LogRuns &runs)
{
    RtfWriter writer(extraColours(runs));
    return writer.write(runs);
}

bool RtfWriter::hasColour(const QColor &colour) const
{
    return colourIndex(colour.rgb()) > 0;
}

QByteArray RtfWriter::header() const
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
                     "{\\colortbl ;";
    for (QRgb rgb : m_table)
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb)) + "\\blue" +
               QByteArray::number(qBlue(rgb)) + ';';
    out += "}\r\n\\pard\\plain\\f0\\fs20\r\n";
    return out;
}

QByteArray RtfWriter::run(const QString &text, const QColor &colour)
{
    QByteArray out;
    if (text.isEmpty())
        return out;
    const int index = qMax(colourIndex(colour.rgb()), 1); // an unknown colour is written black
    if (index != m_current) {
        out += "\\cf" + QByteArray::number(index) + ' ';
        m_current = index;
    }
    appendEscaped(out, text);
    return out;
}

QByteArray RtfWriter::write(const LogRuns &runs)
{
    QByteArray out = header();
    for (const LogRun &r : runs)
        out += run(r.text, r.colour);
    out += footer();
    return out;
}

int RtfWriter::colourIndex(QRgb rgb) const
{
    const qsizetype i = m_table.indexOf(rgb);
    return i < 0 ? -1 : int(i) + 1; // entry 0 of the table is the default colour
}

void RtfWriter::appendEscaped(QByteArray &out, const QString &text)
{
    out.reserve(out.size() + text.size() + 16);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\n')
            out += "\\par\r\n";
        else if (c == u'\t')
            out += "\\tab ";
        else if (c == u'\\' || c == u'{' || c == u'}')
            out += QByteArray(1, '\\') + char(c);
        else if (c < 0x20)
            out += "\\'" + QByteArray::number(c, 16).rightJustified(2, '0');
        else if (c < 0x80)
            out += char(c);
        else
            appendUnicode(out, c);
    }
}
