// VMS lines: "NAME.EXT;version", then size, date, time, owner and protection in whichever order
// and completeness the server writes them.
#include "FtpListDates.h"
#include "FtpListParser.h"
#include "FtpListText.h"

using namespace FtpListDates;
using FtpListText::Words;

namespace FtpListParser {

namespace {

// "12-MAR-2024".
QDate vmsDay(const QByteArray &word)
{
    const QList<QByteArray> dmy = word.split('-');
    if (dmy.size() != 3 || dmy[0].size() > 2 || !isNumber(dmy[0]) || dmy[2].size() != 4 || !isNumber(dmy[2]))
        return {};
    const int month = isNumber(dmy[1]) ? 0 : monthOf(dmy[1]);
    return month ? QDate(dmy[2].toInt(), month, dmy[0].toInt()) : QDate();
}

// "10:05", "10:05:33" or "10:05:33.12".
QTime vmsTime(const QByteArray &word)
{
    const QList<QByteArray> hms = word.split('.').first().split(':');
    if (hms.size() < 2 || hms.size() > 3)
        return {};
    int parts[3] = {};
    for (qsizetype i = 0; i < hms.size(); ++i) {
        if (hms[i].isEmpty() || hms[i].size() > 2 || !isNumber(hms[i]))
            return {};
        parts[i] = hms[i].toInt();
    }
    return QTime(parts[0], parts[1], parts[2]);
}

// Used blocks of 512 bytes ("12" or "12/16"), or bytes with a unit ("2KB"); -1 for neither.
qint64 vmsSize(const QByteArray &word)
{
    const QByteArray used = word.contains('/') ? word.left(word.indexOf('/')) : word;
    // 2^40 blocks are far beyond any disk and keep the byte count within 64 bits.
    if (isNumber(used) && used.size() <= 12)
        return used.toLongLong() * 512;
    const qint64 bytes = word.contains('/') ? -1 : FtpListText::sizeWithUnit(word);
    return bytes >= 0 && !isNumber(word) && bytes < (qint64(1) << 52) ? bytes : -1;
}

} // namespace

bool isVmsName(const QByteArray &word)
{
    const qsizetype semicolon = word.lastIndexOf(';');
    return semicolon > 0 && isNumber(word.mid(semicolon + 1));
}

std::optional<Line> parseVms(const QByteArray &line)
{
    const Words w(line);
    if (w.size() < 2 || !isVmsName(w[0]))
        return std::nullopt;
    qint64 size = -1;
    QDate day;
    QTime time;
    for (qsizetype i = 1; i < w.size(); ++i) {
        const QByteArray word = w[i];
        if (const QDate d = vmsDay(word); d.isValid() && !day.isValid()) {
            day = d;
            time = vmsTime(w[i + 1]);
            if (!time.isValid() && w[i + 1].size() && w[i + 1][0] >= '0' && w[i + 1][0] <= '9')
                return std::nullopt; // a time cut short, not a size
            i += time.isValid() ? 1 : 0;
        } else if (const qint64 bytes = vmsSize(word); bytes >= 0 && size < 0) {
            size = bytes;
        } else if (!word.startsWith('[') && !word.startsWith('(') && !word.endsWith(']') && !word.endsWith(')')) {
            return std::nullopt; // owner "[GROUP,USER]" and protection "(RWED,RWED,RE,)" are the only others
        }
    }
    if (!day.isValid() || size < 0)
        return std::nullopt;
    const QByteArray file = w[0];
    Line entry;
    entry.name = file.left(file.lastIndexOf(';'));
    if (entry.name.toUpper().endsWith(".DIR") && entry.name.size() > 4) {
        entry.isFolder = true;
        entry.name.chop(4);
    }
    entry.size = entry.isFolder ? 0 : size;
    entry.lastWrite = QDateTime(day, time.isValid() ? time : QTime(0, 0));
    return entry;
}

} // namespace FtpListParser
