#include "FtpListParser.h"

#include "FtpListDates.h"

#include <QRegularExpression>
#include <QSet>

using namespace FtpListDates;

namespace FtpListParser {

namespace {

constexpr qint64 kLastSecond = 253402300799; // 9999-12-31 23:59:59 UTC

struct Token
{
    qsizetype begin;
    qsizetype end;
};

QList<Token> tokenize(const QByteArray &line)
{
    QList<Token> tokens;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const qsizetype begin = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > begin)
            tokens.append({begin, i});
    }
    return tokens;
}

// Where a file's size stands, a device lists "major,minor" (or "major," and "minor").
bool isSizeOrDevice(const QByteArray &word, bool device)
{
    const qsizetype comma = word.indexOf(',');
    if (comma < 0 || !device)
        return isNumber(word);
    return isNumber(word.left(comma)) && (comma + 1 == word.size() || isNumber(word.mid(comma + 1)));
}

bool isPermissions(const QByteArray &word)
{
    return word.size() >= 10 && QByteArray("-dlbcpsDn").contains(word[0]);
}

// NetWare: "d [RWCEAFMS] owner 512 Apr 03 10:15 name".
bool isNetwareStart(const QByteArray &type, const QByteArray &rights)
{
    return (type == "d" || type == "-") && rights.size() >= 2 && rights.startsWith('[') && rights.endsWith(']');
}

// "17" or "17."; the day of a date written day first.
int dayOf(const QByteArray &word)
{
    const QByteArray digits = word.endsWith('.') ? word.chopped(1) : word;
    if (digits.size() > 2 || !isNumber(digits))
        return 0;
    const int day = digits.toInt();
    return day >= 1 && day <= 31 ? day : 0;
}

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

// Where the date of a UNIX line is, and when it says.
struct UnixDate
{
    QDateTime when;
    qsizetype last = 0; // the date's last token; the name follows it
    qsizetype sizeToken = 0;
};

// "Mar 10 10:05" and "2023-07-08 09:10": the forms most servers write. The first place that
// looks like one decides, even when its date does not exist.
std::optional<UnixDate> monthFirstDate(const QByteArray &line, const QList<Token> &t, const QDateTime &now, bool device)
{
    auto word = [&](qsizetype i) { return line.mid(t[i].begin, t[i].end - t[i].begin); };
    for (qsizetype m = 2; m + 2 < t.size(); ++m) {
        if (!isSizeOrDevice(word(m - 1), device))
            continue;
        Clock clock;
        if (const int month = monthOf(word(m)); month && isNumber(word(m + 1)) && readClock(word(m + 2), clock))
            return UnixDate{unixDate(month, word(m + 1).toInt(), clock, now), m + 2, m - 1};
        if (const QDate iso = QDate::fromString(QString::fromLatin1(word(m)), Qt::ISODate);
            iso.isValid() && readClock(word(m + 1), clock) && !clock.year) {
            const QDate date = clock.endOfDay ? iso.addDays(1) : iso;
            return UnixDate{QDateTime(date, clock.time), m + 1, m - 1};
        }
    }
    return std::nullopt;
}

// "10 Mär 10:05", "10. Mär 2023" and the numeric "3 10 10:05" (month first unless the first
// number cannot be a month). Numeric dates only after owner and size, so that they are not
// taken from the link count or a numeric owner.
std::optional<UnixDate> otherDate(const QByteArray &line, const QList<Token> &t, const QDateTime &now, bool device)
{
    auto word = [&](qsizetype i) { return line.mid(t[i].begin, t[i].end - t[i].begin); };
    for (qsizetype m = 2; m + 2 < t.size(); ++m) {
        Clock clock;
        if (!isSizeOrDevice(word(m - 1), device) || !readClock(word(m + 2), clock))
            continue;
        int day = dayOf(word(m));
        int month = monthOf(word(m + 1));
        if ((!day || !month) && m >= 4 && isNumber(word(m)) && isNumber(word(m + 1))) {
            month = word(m).toInt();
            day = word(m + 1).toInt();
            if (month > 12)
                std::swap(month, day);
            if (month < 1 || month > 12 || day < 1 || day > 31)
                continue;
        }
        if (!day || !month)
            continue;
        if (const QDateTime when = unixDate(month, day, clock, now); when.isValid())
            return UnixDate{when, m + 2, m - 1};
    }
    return std::nullopt;
}

// DOS and IIS: "01-31-24  10:05AM  <DIR>  name", "2024-01-31  22:05  1,234,567 name".
const QRegularExpression &dosLine()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^(?:(\d{1,2})[-/](\d{1,2})[-/](\d{2}|\d{4})|(\d{4})[-/](\d{1,2})[-/](\d{1,2}))[ \t]+)"
                       R"((\d{1,2}):(\d{2})[ \t]*([AaPp][Mm])?[ \t]+(<DIR>|\d{1,3}(?:[,.]\d{3})+|\d+)([ \t]+)(.+)$)"));
    return re;
}

// The word up to the first blank, or the whole word.
QByteArray firstWord(const QByteArray &line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t')
        ++end;
    return line.left(end);
}

bool isVmsName(const QByteArray &word)
{
    const qsizetype semicolon = word.lastIndexOf(';');
    return semicolon > 0 && isNumber(word.mid(semicolon + 1));
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

// "12-MAR-2024" and "10:05", "10:05:33" or "10:05:33.12".
QDateTime vmsDate(const QByteArray &date, const QByteArray &time)
{
    const QList<QByteArray> dmy = date.split('-');
    if (dmy.size() != 3 || !isNumber(dmy[0]) || dmy[2].size() != 4 || !isNumber(dmy[2]))
        return {};
    const int month = monthOf(dmy[1]);
    const QDate day(dmy[2].toInt(), month, dmy[0].toInt());
    QList<QByteArray> hms = time.split('.').first().split(':');
    if (!month || !day.isValid() || hms.size() < 2 || hms.size() > 3)
        return {};
    int parts[3] = {};
    for (qsizetype i = 0; i < hms.size(); ++i) {
        if (hms[i].size() > 2 || !isNumber(hms[i]))
            return {};
        parts[i] = hms[i].toInt();
    }
    const QTime clock(parts[0], parts[1], parts[2]);
    return clock.isValid() ? QDateTime(day, clock) : QDateTime();
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
    const qsizetype space = line.indexOf(' ');
    if (space < 0 || space + 1 >= line.size())
        return std::nullopt;
    Line entry;
    entry.name = line.mid(space + 1);
    bool typed = false;
    for (const QByteArray &fact : line.left(space).split(';')) {
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

std::optional<Line> parseUnix(const QByteArray &line, const QDateTime &now)
{
    const QList<Token> t = tokenize(line);
    if (t.size() < 6)
        return std::nullopt;
    auto word = [&](qsizetype i) { return line.mid(t[i].begin, t[i].end - t[i].begin); };
    if (!isPermissions(word(0)) && !isNetwareStart(word(0), word(1)))
        return std::nullopt;
    const char type = line[t[0].begin];
    const bool device = type == 'b' || type == 'c';
    std::optional<UnixDate> date = monthFirstDate(line, t, now, device);
    if (!date)
        date = otherDate(line, t, now, device);
    if (!date || !date->when.isValid() || t[date->last].end + 1 >= line.size())
        return std::nullopt;
    Line entry;
    entry.name = line.mid(t[date->last].end + 1);
    entry.isFolder = type == 'd';
    entry.size = entry.isFolder || device ? 0 : word(date->sizeToken).toLongLong();
    entry.lastWrite = date->when;
    if (type == 'l') {
        const qsizetype arrow = entry.name.indexOf(" -> ");
        if (arrow > 0)
            entry.name.truncate(arrow);
    }
    return entry;
}

std::optional<Line> parseDos(const QByteArray &line)
{
    const QRegularExpressionMatch m = dosLine().match(QString::fromLatin1(line));
    if (!m.hasMatch())
        return std::nullopt;
    const bool isoOrder = m.capturedLength(4) > 0;
    int year = m.captured(isoOrder ? 4 : 3).toInt();
    if (!isoOrder && m.capturedLength(3) == 2)
        year += year < 70 ? 2000 : 1900;
    int hour = m.captured(7).toInt();
    if (!m.captured(9).isEmpty()) {
        const bool pm = m.captured(9).toUpper() == QLatin1String("PM");
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = (hour % 12) + (pm ? 12 : 0);
    }
    const QDate date = isoOrder ? QDate(year, m.captured(5).toInt(), m.captured(6).toInt())
                                : QDate(year, m.captured(1).toInt(), m.captured(2).toInt());
    const QDateTime when(date, QTime(hour, m.captured(8).toInt()));
    if (!when.isValid())
        return std::nullopt;
    Line entry;
    entry.isFolder = m.captured(10) == QLatin1String("<DIR>");
    if (!entry.isFolder) {
        QString digits = m.captured(10);
        digits.remove(QLatin1Char(',')).remove(QLatin1Char('.'));
        bool ok = false;
        entry.size = digits.toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    }
    // IIS aligns names in one column: a size is followed by one blank, "<DIR>" by ten. Blanks
    // beyond those belong to the name.
    const qsizetype blanks = m.capturedLength(11);
    const qsizetype skip = entry.isFolder ? (blanks >= 10 ? 10 : blanks) : 1;
    entry.name = line.mid(m.capturedStart(11) + skip);
    if (entry.name.trimmed().isEmpty())
        return std::nullopt;
    entry.lastWrite = when;
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

std::optional<Line> parseVms(const QByteArray &line)
{
    const QList<Token> t = tokenize(line);
    if (t.size() < 4)
        return std::nullopt;
    auto word = [&](qsizetype i) { return line.mid(t[i].begin, t[i].end - t[i].begin); };
    const QByteArray file = word(0);
    if (!isVmsName(file))
        return std::nullopt;
    const QByteArray used = word(1);
    const QByteArray blocks = used.contains('/') ? used.left(used.indexOf('/')) : used;
    // 2^40 blocks are far beyond any disk and keep the byte count within 64 bits.
    if (!isNumber(blocks) || blocks.size() > 12)
        return std::nullopt;
    const QDateTime when = vmsDate(word(2), word(3));
    if (!when.isValid())
        return std::nullopt;
    Line entry;
    entry.name = file.left(file.lastIndexOf(';'));
    if (entry.name.toUpper().endsWith(".DIR") && entry.name.size() > 4) {
        entry.isFolder = true;
        entry.name.chop(4);
    }
    entry.size = entry.isFolder ? 0 : blocks.toLongLong() * 512;
    entry.lastWrite = when;
    return entry;
}

std::optional<Line> parseList(const QByteArray &line, const QDateTime &now)
{
    if (line.startsWith('+'))
        return parseEplf(line);
    if (auto entry = parseUnix(line, now))
        return entry;
    if (auto entry = parseDos(line))
        return entry;
    return parseVms(line);
}

Listing parseListing(const QByteArray &data, bool mlsd, const QDateTime &now)
{
    Listing listing;
    const QList<QByteArray> lines = splitLines(data);
    listing.entries.reserve(lines.size());
    QSet<QByteArray> vmsNames; // VMS lists the newest version of a file first; older ones are left out
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        std::optional<Line> entry;
        if (mlsd) {
            entry = parseMlsd(line);
            if (!entry && isMlsdSelf(line))
                continue;
        } else if (startsWithVmsName(line)) {
            const QByteArray first = line.trimmed();
            entry = parseVms(line);
            // A long name stands on a line of its own, the rest of the entry on the next.
            if (!entry && isVmsName(first) && i + 1 < lines.size() &&
                (lines[i + 1].startsWith(' ') || lines[i + 1].startsWith('\t'))) {
                entry = parseVms(first + ' ' + lines[i + 1]);
                i += entry ? 1 : 0;
            }
            if (entry && vmsNames.contains(entry->name.toUpper()))
                continue;
            if (entry)
                vmsNames.insert(entry->name.toUpper());
        } else {
            entry = parseList(line, now);
        }
        if (entry)
            listing.entries.append(*entry);
        else if (!isFrame(line))
            ++listing.unreadable;
    }
    return listing;
}

} // namespace FtpListParser
