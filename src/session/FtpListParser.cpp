#include "FtpListParser.h"

#include "FtpListDates.h"

#include <utility>

using namespace FtpListDates;

namespace FtpListParser {

namespace {

constexpr qint64 kLastSecond = 253402300799; // 9999-12-31 23:59:59 UTC

// "YYYYMMDDHHMMSS[.sss]" in UTC. Read digit by digit: a long listing holds one per entry and a
// general date parser costs tens of microseconds each.
QDateTime mlsdTime(const QByteArray &value)
{
    if (value.size() < 14)
        return {};
    int fields[6] = {};
    const int widths[6] = {4, 2, 2, 2, 2, 2};
    int at = 0;
    for (int f = 0; f < 6; ++f) {
        for (int i = 0; i < widths[f]; ++i, ++at) {
            const char c = value.at(at);
            if (c < '0' || c > '9')
                return {};
            fields[f] = fields[f] * 10 + (c - '0');
        }
    }
    const QDate date(fields[0], fields[1], fields[2]);
    const QTime time(fields[3], fields[4], fields[5]);
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC).toLocalTime();
}

// The facts end at the first blank, a space or (some servers) a TAB; the name follows it.
qsizetype factsEnd(const QByteArray &line)
{
    for (qsizetype i = 0; i < line.size(); ++i)
        if (line[i] == ' ' || line[i] == '\t')
            return i;
    return -1;
}

// The word up to the first blank, or the whole word.
QByteArray firstWord(const QByteArray &line)
{
    const qsizetype end = factsEnd(line);
    return end < 0 ? line : line.left(end);
}

// Whether the first word holds ";digits", without copying: most lines of a listing are not VMS.
bool startsWithVmsName(const QByteArray &line)
{
    qsizetype i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    qsizetype semicolon = -1;
    for (; i < line.size() && line[i] != ' ' && line[i] != '\t'; ++i) {
        if (line[i] == ';')
            semicolon = i;
    }
    return semicolon >= 0 && isVmsName(firstWord(line.trimmed()));
}

// Lines that servers write around the entries.
bool isFrame(const QByteArray &line)
{
    const QByteArray lower = line.trimmed().toLower();
    if (lower.startsWith("total ") && isNumber(lower.mid(6).trimmed()))
        return true;
    return lower.startsWith("directory ") || lower.startsWith("total of ") || lower.startsWith("grand total of ");
}

bool isMlsdSelf(const QByteArray &line)
{
    const QByteArray facts = firstWord(line).toLower();
    return facts.contains("type=cdir") || facts.contains("type=pdir");
}

} // namespace

QList<QByteArray> splitLines(const QByteArray &data)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        qsizetype stop = end;
        if (stop > start && data[stop - 1] == '\r')
            --stop;
        if (stop > start)
            lines.append(data.mid(start, stop - start));
        start = end + 1;
    }
    return lines;
}

std::optional<Line> parseMlsd(const QByteArray &line)
{
    const qsizetype blank = factsEnd(line);
    if (blank < 0 || blank + 1 >= line.size())
        return std::nullopt;
    Line entry;
    entry.name = line.mid(blank + 1);
    bool typed = false;
    for (const QByteArray &fact : line.left(blank).split(';')) {
        const qsizetype eq = fact.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = fact.left(eq).toLower();
        const QByteArray value = fact.mid(eq + 1);
        if (key == "type") {
            const QByteArray type = value.toLower();
            if (type == "cdir" || type == "pdir")
                return std::nullopt;
            entry.isFolder = type == "dir";
            // "OS.unix=symlink", "OS.unix=slink:/target".
            entry.isLink = type.startsWith("os.unix=symlink") || type.startsWith("os.unix=slink");
            typed = true;
        } else if (key == "size" || key == "sizd") {
            entry.size = qMax(0LL, value.toLongLong());
        } else if (key == "modify" && value.size() >= 14) {
            entry.lastWrite = mlsdTime(value);
        }
    }
    if (!typed)
        return std::nullopt;
    if (entry.isFolder)
        entry.size = 0;
    return entry;
}

// "+i8388621.48594,m825718503,r,s280,\tdjb.html": facts up to a tab, then the name.
std::optional<Line> parseEplf(const QByteArray &line)
{
    const qsizetype tab = line.indexOf('\t');
    if (!line.startsWith('+') || tab < 1 || tab + 1 >= line.size())
        return std::nullopt;
    Line entry;
    entry.name = line.mid(tab + 1);
    for (const QByteArray &fact : line.mid(1, tab - 1).split(',')) {
        if (fact == "/") {
            entry.isFolder = true;
        } else if (fact.startsWith('s') && isNumber(fact.mid(1))) {
            entry.size = fact.mid(1).toLongLong();
        } else if (fact.startsWith('m') && isNumber(fact.mid(1)) && fact.mid(1).toLongLong() <= kLastSecond) {
            entry.lastWrite = QDateTime::fromSecsSinceEpoch(fact.mid(1).toLongLong(), Qt::UTC).toLocalTime();
        }
    }
    if (entry.isFolder)
        entry.size = 0;
    return entry;
}

std::optional<Line> parseList(const QByteArray &line, const QDateTime &now)
{
    if (line.startsWith('+'))
        return parseEplf(line);
    if (auto entry = parseUnix(line, now))
        return entry;
    for (auto *parse : {&parseDos, &parseVms, &parseOs2, &parseVshell, &parseAs400}) {
        if (auto entry = parse(line))
            return entry;
    }
    return parseMvs(line);
}

Reader::Reader(bool mlsd, const QDateTime &now, Sink sink) : m_mlsd(mlsd), m_now(now), m_sink(std::move(sink)) {}

void Reader::feed(const QByteArray &chunk)
{
    qsizetype start = 0;
    while (start < chunk.size()) {
        const qsizetype end = chunk.indexOf('\n', start);
        const qsizetype stop = end < 0 ? chunk.size() : end;
        if (!m_overlong)
            m_partial.append(chunk.constData() + start, stop - start);
        if (m_partial.size() > kMaxLine) {
            m_overlong = true; // the rest of that line is dropped as it comes
            m_partial.clear();
        }
        if (end < 0)
            return;
        if (std::exchange(m_overlong, false)) {
            ++m_unreadable;
        } else {
            if (m_partial.endsWith('\r'))
                m_partial.chop(1);
            if (!m_partial.isEmpty())
                takeLine(std::exchange(m_partial, {}));
        }
        start = end + 1;
    }
}

void Reader::finish()
{
    feed("\n");
    if (!std::exchange(m_vmsName, {}).isEmpty())
        ++m_unreadable; // a name without the rest of its entry
}

void Reader::takeEntry(std::optional<Line> entry, const QByteArray &line)
{
    if (entry)
        m_sink(std::move(*entry));
    else if (!isFrame(line))
        ++m_unreadable;
}

void Reader::takeLine(const QByteArray &line)
{
    if (m_mlsd) {
        std::optional<Line> entry = parseMlsd(line);
        if (entry || !isMlsdSelf(line))
            takeEntry(std::move(entry), line);
        return;
    }
    std::optional<Line> entry;
    // A long VMS name stands on a line of its own, the rest of the entry on the next.
    if (const QByteArray name = std::exchange(m_vmsName, {}); !name.isEmpty()) {
        if (!startsWithVmsName(line))
            entry = parseVms(name + ' ' + line.trimmed());
        if (!entry)
            ++m_unreadable;
    }
    if (!entry && startsWithVmsName(line)) {
        entry = parseVms(line);
        if (!entry && isVmsName(line.trimmed())) {
            m_vmsName = line.trimmed();
            return;
        }
    }
    if (entry || startsWithVmsName(line)) {
        if (entry && m_vmsNames.contains(entry->name.toUpper()))
            return;
        if (entry)
            m_vmsNames.insert(entry->name.toUpper());
        return takeEntry(std::move(entry), line);
    }
    if (const MvsContext heading = mvsHeading(line); heading != MvsContext::None) {
        m_mvs = heading;
        return;
    }
    if (m_mvs != MvsContext::None)
        entry = parseMvs(line, m_mvs);
    takeEntry(entry ? std::move(entry) : parseList(line, m_now), line);
}

Listing parseListing(const QByteArray &data, bool mlsd, const QDateTime &now)
{
    Listing listing;
    Reader reader(mlsd, now, [&listing](Line &&line) { listing.entries.append(std::move(line)); });
    reader.feed(data);
    reader.finish();
    listing.unreadable = reader.unreadable();
    return listing;
}

} // namespace FtpListParser
