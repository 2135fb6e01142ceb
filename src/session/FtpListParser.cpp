#include "FtpListParser.h"

#include <QRegularExpression>

#include <algorithm>

namespace FtpListParser {

namespace {

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

int monthOf(const QByteArray &word)
{
    static const char *const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    const QByteArray lower = word.toLower();
    for (int m = 0; m < 12; ++m) {
        if (lower == names[m])
            return m + 1;
    }
    return 0;
}

bool isNumber(const QByteArray &word)
{
    return !word.isEmpty() && std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "10:05" -> time; "2023" -> year.
bool readTimeOrYear(const QByteArray &word, QTime &time, int &year)
{
    if (word.size() == 4 && isNumber(word)) {
        year = word.toInt();
        return true;
    }
    const qsizetype colon = word.indexOf(':');
    if (colon < 1 || !isNumber(word.left(colon)) || !isNumber(word.mid(colon + 1)))
        return false;
    time = QTime(word.left(colon).toInt(), word.mid(colon + 1).toInt());
    return time.isValid();
}

// A date given with a time and no year lies within the past year, or at most a day ahead (time zones).
QDateTime unixDate(int month, int day, int year, QTime time, const QDateTime &now)
{
    if (year == 0) {
        year = now.date().year();
        if (QDate(year, month, day) > now.date().addDays(1))
            --year;
    }
    const QDate date(year, month, day);
    return date.isValid() ? QDateTime(date, time.isValid() ? time : QTime(0, 0)) : QDateTime();
}

bool isPermissions(const QByteArray &word)
{
    return word.size() >= 10 && QByteArray("-dlbcpsDn").contains(word[0]);
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
            entry.size = value.toLongLong();
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
    if (t.size() < 6 || !isPermissions(line.mid(t[0].begin, t[0].end - t[0].begin)))
        return std::nullopt;
    auto word = [&](qsizetype i) { return line.mid(t[i].begin, t[i].end - t[i].begin); };
    for (qsizetype m = 2; m + 2 < t.size(); ++m) {
        const qint64 size = word(m - 1).toLongLong();
        QTime time;
        int year = 0;
        QDateTime when;
        qsizetype last = 0;
        if (const int month = monthOf(word(m));
            month && isNumber(word(m + 1)) && isNumber(word(m - 1)) && readTimeOrYear(word(m + 2), time, year)) {
            when = unixDate(month, word(m + 1).toInt(), year, time, now);
            last = m + 2;
        } else if (const QDate iso = QDate::fromString(QString::fromLatin1(word(m)), Qt::ISODate);
                   iso.isValid() && isNumber(word(m - 1)) && readTimeOrYear(word(m + 1), time, year) && !year) {
            when = QDateTime(iso, time);
            last = m + 1;
        } else {
            continue;
        }
        if (!when.isValid() || t[last].end + 1 >= line.size())
            return std::nullopt;
        Line entry;
        entry.name = line.mid(t[last].end + 1);
        entry.isFolder = line[t[0].begin] == 'd';
        entry.size = entry.isFolder ? 0 : size;
        entry.lastWrite = when;
        if (line[t[0].begin] == 'l') {
            const qsizetype arrow = entry.name.indexOf(" -> ");
            if (arrow > 0)
                entry.name.truncate(arrow);
        }
        return entry;
    }
    return std::nullopt;
}

std::optional<Line> parseDos(const QByteArray &line)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^(\d{1,2})[-/](\d{1,2})[-/](\d{2}|\d{4})\s+(\d{1,2}):(\d{2})\s*([AaPp][Mm])?\s+(<DIR>|\d+)\s+(\S.*)$)"));
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(line));
    if (!m.hasMatch())
        return std::nullopt;
    int year = m.captured(3).toInt();
    if (m.capturedLength(3) == 2)
        year += year < 70 ? 2000 : 1900;
    int hour = m.captured(4).toInt();
    if (!m.captured(6).isEmpty()) {
        const bool pm = m.captured(6).toUpper() == QLatin1String("PM");
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = (hour % 12) + (pm ? 12 : 0);
    }
    const QDateTime when(QDate(year, m.captured(1).toInt(), m.captured(2).toInt()), QTime(hour, m.captured(5).toInt()));
    if (!when.isValid())
        return std::nullopt;
    Line entry;
    entry.isFolder = m.captured(7) == QLatin1String("<DIR>");
    entry.size = entry.isFolder ? 0 : m.captured(7).toLongLong();
    entry.name = line.mid(m.capturedStart(8));
    entry.lastWrite = when;
    return entry;
}

std::optional<Line> parseList(const QByteArray &line, const QDateTime &now)
{
    if (auto entry = parseUnix(line, now))
        return entry;
    return parseDos(line);
}

} // namespace FtpListParser
