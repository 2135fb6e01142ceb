#include "RtfReader.h"

#include "Cp1252.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

namespace {

constexpr int maxDepth = 256;
constexpr int maxWordLength = 32;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Destinations whose content is not text of the document.
bool isHiddenDestination(const QByteArray &word)
{
    static const QSet<QByteArray> words = {"fonttbl",
                                           "filetbl",
                                           "stylesheet",
                                           "info",
                                           "pict",
                                           "object",
                                           "header",
                                           "headerl",
                                           "headerr",
                                           "headerf",
                                           "footer",
                                           "footerl",
                                           "footerr",
                                           "footerf",
                                           "footnote",
                                           "listtable",
                                           "listoverridetable",
                                           "revtbl",
                                           "rsidtbl",
                                           "generator",
                                           "xmlnstbl",
                                           "pntext",
                                           "pntxta",
                                           "pntxtb",
                                           "listtext",
                                           "fldinst",
                                           "themedata",
                                           "colorschememapping",
                                           "latentstyles",
                                           "datastore",
                                           "bkmkstart",
                                           "bkmkend",
                                           "annotation",
                                           "atnid",
                                           "atnauthor",
                                           "xe",
                                           "tc",
                                           "txe",
                                           "private",
                                           "docvar",
                                           "nonshppict",
                                           "shppict",
                                           "userprops",
                                           "template"};
    return words.contains(word);
}

QString withNewlines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

LogRuns RtfReader::read(const QByteArray &data)
{
    if (!isRtf(data)) {
        const QString text = withNewlines(decodeText(data));
        return text.isEmpty() ? LogRuns() : LogRuns{{text, LogColours::black()}};
    }
    return RtfReader(data).parse();
}

bool RtfReader::isRtf(const QByteArray &data)
{
    QByteArrayView view(data);
    if (view.startsWith("\xEF\xBB\xBF"))
        view = view.sliced(3);
    return view.trimmed().startsWith("{\\rtf");
}

QString RtfReader::decodeText(const QByteArray &data)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(data);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(data.size());
    for (const char c : data)
        text += Cp1252::toUnicode(uchar(c));
    return text;
}

LogRuns RtfReader::parse()
{
    m_pos = m_data.indexOf('{');
    while (m_pos >= 0 && m_pos < m_data.size()) {
        const char c = m_data.at(m_pos);
        if (c == '{') {
            ++m_pos;
            openGroup();
        } else if (c == '}') {
            ++m_pos;
            closeGroup();
            if (m_groups.isEmpty())
                break; // the end of the document
        } else if (c == '\\') {
            readControl();
        } else {
            ++m_pos;
            if (c == '\t')
                character(QLatin1Char('\t'));
            else if (uchar(c) >= 0x20)
                character(Cp1252::toUnicode(uchar(c)));
        }
    }
    return m_runs;
}

void RtfReader::openGroup()
{
    m_fallbackLeft = 0;
    if (m_groups.size() >= maxDepth) {
        ++m_tooDeep;
        return;
    }
    Group inner = m_groups.isEmpty() ? Group() : group();
    inner.colourTable = false;
    m_groups.append(inner);
}

void RtfReader::closeGroup()
{
    m_fallbackLeft = 0;
    if (m_tooDeep > 0)
        --m_tooDeep;
    else if (!m_groups.isEmpty())
        m_groups.removeLast();
}

void RtfReader::readControl()
{
    ++m_pos; // the backslash
    if (m_pos >= m_data.size())
        return;
    if (isLetter(m_data.at(m_pos)))
        readControlWord();
    else
        controlSymbol(m_data.at(m_pos++));
}

void RtfReader::controlSymbol(char c)
{
    if (c == '\'')
        hexCharacter();
    else if (c == '\\' || c == '{' || c == '}')
        character(QLatin1Char(c));
    else if (c == '~')
        character(QChar(0x00A0));
    else if (c == '_')
        character(QChar(0x2011));
    else if (c == '\r' || c == '\n')
        character(QLatin1Char('\n'));
    else if (c == '*' && !m_groups.isEmpty())
        group().hidden = true; // no \* destination holds text we show
}

void RtfReader::readControlWord()
{
    QByteArray word;
    for (; m_pos < m_data.size() && isLetter(m_data.at(m_pos)); ++m_pos) {
        if (word.size() < maxWordLength)
            word += m_data.at(m_pos);
    }
    const bool negative = m_pos < m_data.size() && m_data.at(m_pos) == '-';
    if (negative)
        ++m_pos;
    bool hasParam = false;
    qint64 value = 0;
    for (; m_pos < m_data.size() && isDigit(m_data.at(m_pos)); ++m_pos) {
        hasParam = true;
        value = qMin<qint64>(value * 10 + (m_data.at(m_pos) - '0'), 1'000'000'000);
    }
    if (m_pos < m_data.size() && m_data.at(m_pos) == ' ')
        ++m_pos; // the delimiting space belongs to the control word
    controlWord(word, hasParam, int(negative ? -value : value));
}

void RtfReader::controlWord(const QByteArray &word, bool hasParam, int param)
{
    if (word == "bin") {
        skipBinary(param);
        return;
    }
    if (m_groups.isEmpty() || specialCharacter(word))
        return;
    Group &g = group();
    if (isHiddenDestination(word))
        g.hidden = true;
    else if (word == "colortbl")
        g.colourTable = true;
    else if (g.colourTable)
        colourTableWord(word, param);
    else if (word == "cf")
        g.colour = hasParam ? param : 0;
    else if (word == "plain")
        g.colour = -1;
    else if (word == "uc" && hasParam)
        g.unicodeSkip = qBound(0, param, 16);
    else if (word == "u" && hasParam) {
        character(QChar(char16_t(param < 0 ? param + 65536 : param)));
        m_fallbackLeft = g.unicodeSkip;
    }
}

bool RtfReader::specialCharacter(const QByteArray &word)
{
    static const QHash<QByteArray, char16_t> characters = {
        {"par", u'\n'},        {"line", u'\n'},      {"sect", u'\n'},    {"page", u'\n'},    {"row", u'\n'},
        {"tab", u'\t'},        {"cell", u'\t'},      {"emdash", 0x2014}, {"endash", 0x2013}, {"emspace", 0x2003},
        {"enspace", 0x2002},   {"qmspace", 0x2005},  {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},
        {"ldblquote", 0x201C}, {"rdblquote", 0x201D}};
    const auto it = characters.constFind(word);
    if (it == characters.cend())
        return false;
    character(QChar(*it));
    return true;
}

void RtfReader::colourTableWord(const QByteArray &word, int param)
{
    const int value = qBound(0, param, 255);
    if (word == "red")
        m_red = value;
    else if (word == "green")
        m_green = value;
    else if (word == "blue")
        m_blue = value;
}

void RtfReader::hexCharacter()
{
    const int high = m_pos < m_data.size() ? hexValue(m_data.at(m_pos)) : -1;
    const int low = m_pos + 1 < m_data.size() ? hexValue(m_data.at(m_pos + 1)) : -1;
    if (high < 0 || low < 0)
        return;
    m_pos += 2;
    character(Cp1252::toUnicode(uchar(high * 16 + low)));
}

void RtfReader::skipBinary(int count)
{
    m_pos += qBound(qsizetype(0), qsizetype(count), m_data.size() - m_pos);
}

void RtfReader::character(QChar c)
{
    if (m_groups.isEmpty())
        return;
    const Group &g = group();
    if (g.colourTable) {
        if (c == QLatin1Char(';'))
            endColourEntry();
        return;
    }
    if (g.hidden)
        return;
    if (m_fallbackLeft > 0) {
        --m_fallbackLeft;
        return;
    }
    const QColor colour = currentColour();
    if (!m_runs.isEmpty() && m_runs.constLast().colour.rgb() == colour.rgb())
        m_runs.last().text += c;
    else
        m_runs.append({QString(c), colour});
}

void RtfReader::endColourEntry()
{
    const bool isDefault = m_red < 0 && m_green < 0 && m_blue < 0;
    m_colours.append(isDefault ? QColor() : QColor(qMax(m_red, 0), qMax(m_green, 0), qMax(m_blue, 0)));
    m_red = m_green = m_blue = -1;
}

QColor RtfReader::currentColour() const
{
    const int index = m_groups.isEmpty() ? -1 : m_groups.constLast().colour;
    if (index < 0 || index >= m_colours.size() || !m_colours.at(index).isValid())
        return LogColours::black();
    return m_colours.at(index);
}
