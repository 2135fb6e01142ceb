// UNIX "ls -l" lines, with NetWare's and VShell's variants, in every date style servers write.
#include "FtpListDates.h"
#include "FtpListParser.h"
#include "FtpListText.h"

using namespace FtpListDates;
using FtpListText::Words;

namespace FtpListParser {

namespace {

bool isPermissions(const QByteArray &word)
{
    return word.size() >= 10 && QByteArray("-dlbcpsDn").contains(word[0]);
}

// NetWare: "d [RWCEAFMS] owner 512 Apr 03 10:15 name".
bool isNetwareStart(const QByteArray &type, const QByteArray &rights)
{
    return (type == "d" || type == "-") && rights.size() >= 2 && rights.startsWith('[') && rights.endsWith(']');
}

// The size before a date: "1234", "33.5k", a device's "major,minor" (or "major," and "minor"),
// or an owner run into the size ("ftpusers1234567", the digits after the last letter); -1 when
// the word is none of these.
qint64 sizeBefore(const QByteArray &word, bool device)
{
    if (const qsizetype comma = word.indexOf(','); device && comma >= 0)
        return isNumber(word.left(comma)) && (comma + 1 == word.size() || isNumber(word.mid(comma + 1))) ? 0 : -1;
    if (const qint64 size = FtpListText::sizeWithUnit(word); size >= 0)
        return size;
    qsizetype digits = word.size();
    while (digits > 0 && word[digits - 1] >= '0' && word[digits - 1] <= '9')
        --digits;
    return digits > 0 && digits < word.size() ? FtpListText::sizeWithUnit(word.mid(digits)) : -1;
}

// Where the date of a line is, and when it says.
struct UnixDate
{
    QDateTime when;
    qsizetype last = 0; // the date's last word; the name follows it
};

// The date forms that start at word m, the most common first.
std::optional<UnixDate> dateAt(const Words &w, qsizetype m, const QDateTime &now, bool numericAllowed)
{
    Clock clock;
    const QByteArray a = w[m], b = w[m + 1], c = w[m + 2];
    // "Mar 10 10:05", "Mar 10 2023", "3月 14日 09:30"; VShell: "Apr 04, 2000 21:06".
    if (const int month = monthOf(a); month && dayOf(b)) {
        if (b.endsWith(',') && readClock(c, clock) && clock.year) {
            Clock time;
            const bool timed = readClock(w[m + 3], time) && time.time.isValid();
            QDateTime when = unixDate(month, dayOf(b), clock, now);
            if (timed && when.isValid())
                when.setTime(time.time);
            return UnixDate{when, m + (timed ? 3 : 2)};
        }
        if (readClock(c, clock))
            return UnixDate{unixDate(month, dayOf(b), clock, now), m + 2};
    }
    // "10 Mär 10:05", "26. Juli, 20:10", "30. Jan., 12:40".
    if (const int day = dayOf(a), month = monthOf(b); day && month && readClock(c, clock))
        return UnixDate{unixDate(month, day, clock, now), m + 2};
    // "09-26 13:45" and "09-26 2000".
    if (int month = 0, day = 0; monthDay(a, month, day) && readClock(b, clock))
        return UnixDate{unixDate(month, day, clock, now), m + 1};
    // One word: "2023-07-08 09:10", "24-04-2003 17:12", "01-jun-99", "2004.07.15".
    if (const QDate date = numericDate(a); date.isValid()) {
        const bool timed = readClock(b, clock) && !clock.year;
        const QDate day = clock.endOfDay ? date.addDays(1) : date;
        return UnixDate{QDateTime(day, timed ? clock.time : QTime(0, 0)), m + (timed ? 1 : 0)};
    }
    // "3 10 10:05" and "25 12 2023": month first unless the first number cannot be a month.
    if (numericAllowed && isNumber(a) && isNumber(b) && a.size() <= 2 && b.size() <= 2 && readClock(c, clock)) {
        int month = a.toInt(), day = b.toInt();
        if (month > 12)
            std::swap(month, day);
        if (month >= 1 && month <= 12 && day >= 1 && day <= 31)
            return UnixDate{unixDate(month, day, clock, now), m + 2};
    }
    return std::nullopt;
}

} // namespace

std::optional<Line> parseUnix(const QByteArray &line, const QDateTime &now)
{
    const Words w(line);
    if (w.size() < 5)
        return std::nullopt;
    const bool netware = isNetwareStart(w[0], w[1]);
    if (!isPermissions(w[0]) && !netware)
        return std::nullopt;
    const char type = line[w.begin(0)];
    const bool device = type == 'b' || type == 'c';
    // The first place after a size that holds a date decides, even when its date does not exist.
    // Numeric dates only after owner and size, so that they are not taken from the link count or
    // a numeric owner.
    for (qsizetype m = 2; m + 1 < w.size(); ++m) {
        const qint64 size = sizeBefore(w[m - 1], device);
        if (size < 0)
            continue;
        const std::optional<UnixDate> date = dateAt(w, m, now, m >= 4);
        if (!date)
            continue;
        Line entry;
        entry.name = w.restAfter(date->last, netware); // NetWare aligns its names in a column
        if (!date->when.isValid() || entry.name.isEmpty())
            return std::nullopt;
        entry.isFolder = type == 'd';
        entry.isLink = type == 'l';
        entry.size = entry.isFolder || device ? 0 : size;
        entry.lastWrite = date->when;
        if (const qsizetype arrow = entry.name.indexOf(" -> "); entry.isLink && arrow > 0)
            entry.name.truncate(arrow);
        return entry;
    }
    return std::nullopt;
}

} // namespace FtpListParser
