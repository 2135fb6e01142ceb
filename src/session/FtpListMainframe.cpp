// IBM mainframe and midrange lines: MVS data sets and members of partitioned data sets, and
// AS/400 (IBM i) objects.
#include "FtpListDates.h"
#include "FtpListParser.h"
#include "FtpListText.h"

#include <algorithm>

using namespace FtpListDates;
using FtpListText::Words;

namespace FtpListParser {

namespace {

// "14:11" or "14:11:05".
QTime clockTime(const QByteArray &word)
{
    const QList<QByteArray> parts = word.split(':');
    if (parts.size() < 2 || parts.size() > 3 ||
        !std::all_of(parts.begin(), parts.end(), [](const QByteArray &p) { return p.size() == 2 && isNumber(p); }))
        return {};
    return QTime(parts[0].toInt(), parts[1].toInt(), parts.size() == 3 ? parts[2].toInt() : 0);
}

// "2024/03/01": MVS writes dates year first.
QDate mvsDay(const QByteArray &word)
{
    return word.size() == 10 && word[4] == '/' ? numericDate(word) : QDate();
}

bool isDsorg(const QByteArray &word)
{
    static const QList<QByteArray> kinds = {"PS", "PO", "PO-E", "DA", "IS", "VS", "U", "PS-E"};
    return kinds.contains(word);
}

// "Volume Unit Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname": the last two words say it.
std::optional<Line> dataSet(const Words &w)
{
    if (w.size() != 10 || !isDsorg(w[8]) || (!mvsDay(w[2]).isValid() && w[2] != "**NONE**"))
        return std::nullopt;
    Line entry;
    entry.name = w[9];
    entry.isFolder = w[8].startsWith("PO"); // a partitioned data set holds members
    if (const QDate day = mvsDay(w[2]); day.isValid())
        entry.lastWrite = QDateTime(day, QTime(0, 0));
    return entry;
}

// "NAME VV.MM created changed time size init mod id"; the size counts records, not bytes.
std::optional<Line> member(const Words &w)
{
    const QByteArray version = w[1];
    if (w.size() < 5 || version.size() != 5 || version[2] != '.' || !mvsDay(w[2]).isValid())
        return std::nullopt;
    const QDate changed = mvsDay(w[3]);
    const QTime time = clockTime(w[4]);
    if (!changed.isValid() || !time.isValid())
        return std::nullopt;
    return Line{w[0], false, false, 0, QDateTime(changed, time)};
}

} // namespace

MvsContext mvsHeading(const QByteArray &line)
{
    const Words w(line);
    if (w[0] == "Volume" && w[1] == "Unit" && line.contains("Dsname"))
        return MvsContext::DataSets;
    if (w[0] == "Name" && (w[1] == "VV.MM" || w[1] == "Size"))
        return MvsContext::Members;
    return MvsContext::None;
}

std::optional<Line> parseMvs(const QByteArray &line, MvsContext context)
{
    const Words w(line);
    if (auto entry = dataSet(w))
        return entry;
    if (auto entry = member(w))
        return entry;
    if (context == MvsContext::DataSets && w.size() == 2 && w[0] == "Migrated")
        return Line{w[1], false, false, 0, {}};
    if (context == MvsContext::DataSets && w.size() == 3 && w[0] == "Pseudo" && w[1] == "Directory")
        return Line{w[2], true, false, 0, {}};
    // Members of a load library: "NAME 00000F98 000017 ..." (the size in hexadecimal), or the
    // name alone.
    if (context == MvsContext::Members && w.size() == 1)
        return Line{w[0], false, false, 0, {}};
    bool hex = false;
    const qint64 size = w[1].size() == 8 ? w[1].toLongLong(&hex, 16) : 0;
    if (context == MvsContext::Members && hex)
        return Line{w[0], false, false, size, {}};
    return std::nullopt;
}

// "OWNER 32768 02/23/24 15:09:55 *DIR QOpenSys/", and members without size or date:
// "OWNER *MEM MYLIB.FILE/MBR1.MBR".
std::optional<Line> parseAs400(const QByteArray &line)
{
    const Words w(line);
    const bool dated = w.size() >= 6 && isNumber(w[1]) && w[4].startsWith('*');
    if (!dated && !(w.size() >= 3 && w[1].startsWith('*')))
        return std::nullopt;
    const qsizetype typeAt = dated ? 4 : 1;
    const QByteArray type = w[typeAt];
    if (type.size() < 2 || !std::all_of(type.begin() + 1, type.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
        return std::nullopt;
    Line entry;
    if (dated) {
        entry.lastWrite = QDateTime(numericDate(w[2]), clockTime(w[3]));
        if (!entry.lastWrite.isValid())
            return std::nullopt;
        entry.size = w[1].toLongLong();
    }
    entry.name = w.restAfter(typeAt, true);
    // Containers end with "/"; a member or a stream file never is one.
    entry.isFolder = type == "*DIR" || type == "*LIB" || type == "*FLR" ||
                     (entry.name.endsWith('/') && type != "*MEM" && type != "*STMF");
    while (entry.name.endsWith('/'))
        entry.name.chop(1);
    entry.name = entry.name.mid(entry.name.lastIndexOf('/') + 1); // "MYLIB.FILE/MBR1.MBR"
    if (entry.name.isEmpty())
        return std::nullopt;
    if (entry.isFolder)
        entry.size = 0;
    return entry;
}

} // namespace FtpListParser
