// Lines of servers on PC systems: DOS and IIS, OS/2, and VShell's short form.
#include "FtpListDates.h"
#include "FtpListParser.h"
#include "FtpListText.h"

#include <QRegularExpression>

#include <algorithm>

using namespace FtpListDates;
using FtpListText::Words;

namespace FtpListParser {

namespace {

// DOS and IIS: "01-31-24  10:05AM  <DIR>  name", "2024-01-31  22:05  1,234,567 name".
const QRegularExpression &dosLine()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^(?:(\d{1,2})[-/](\d{1,2})[-/](\d{2}|\d{4})|(\d{4})[-/](\d{1,2})[-/](\d{1,2}))[ \t]+)"
                       R"((\d{1,2}):(\d{2})[ \t]*([AaPp][Mm])?[ \t]+(<DIR>|\d{1,3}(?:[,.]\d{3})+|\d+)([ \t]+)(.+)$)"));
    return re;
}

// "10:05" only, not a year.
QTime timeOf(const QByteArray &word)
{
    Clock clock;
    return readClock(word, clock) && !clock.endOfDay ? clock.time : QTime();
}

// OS/2's attributes between size and date: "A", "DIR", "R", "H", "S".
bool isOs2Attribute(const QByteArray &word)
{
    return word.size() <= 3 && std::all_of(word.begin(), word.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

} // namespace

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

// "     0           DIR   05-12-97   16:44  PSFONTS", " 36611      A   05-12-97   16:44  README.TXT".
std::optional<Line> parseOs2(const QByteArray &line)
{
    const Words w(line);
    if (w.size() < 4 || !isNumber(w[0]))
        return std::nullopt;
    Line entry;
    qsizetype d = 1;
    for (; d < w.size() && d <= 3 && isOs2Attribute(w[d]); ++d)
        entry.isFolder = entry.isFolder || w[d] == "DIR";
    const QByteArray date = w[d];
    const QTime time = timeOf(w[d + 1]);
    if (date.size() != 8 || date.count('-') != 2 || !time.isValid() || d + 2 >= w.size())
        return std::nullopt;
    entry.lastWrite = QDateTime(numericDate(date), time);
    entry.name = w.restAfter(d + 1, true);
    if (!entry.lastWrite.isValid() || entry.name.isEmpty())
        return std::nullopt;
    entry.size = entry.isFolder ? 0 : w[0].toLongLong();
    return entry;
}

// "206876  Apr 04, 2000 21:06 name"; a folder's name ends with "/".
std::optional<Line> parseVshell(const QByteArray &line)
{
    const Words w(line);
    if (w.size() < 6 || !isNumber(w[0]) || !w[2].endsWith(','))
        return std::nullopt;
    const QByteArray year = w[3];
    const QTime time = timeOf(w[4]);
    const QDate date = isNumber(year) && year.size() == 4 ? QDate(year.toInt(), monthOf(w[1]), dayOf(w[2])) : QDate();
    Line entry;
    entry.name = w.restAfter(4);
    if (!date.isValid() || !time.isValid() || entry.name.isEmpty())
        return std::nullopt;
    entry.isFolder = entry.name.endsWith('/') && entry.name.size() > 1;
    if (entry.isFolder)
        entry.name.chop(1);
    entry.size = entry.isFolder ? 0 : w[0].toLongLong();
    entry.lastWrite = QDateTime(date, time);
    return entry;
}

} // namespace FtpListParser
