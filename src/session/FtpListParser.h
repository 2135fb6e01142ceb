#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <optional>

// Parses the lines of a remote listing: MLSD facts, UNIX "ls -l" (NetWare too), DOS/IIS, EPLF
// and VMS styles. Works on bytes, so a name travels unchanged to whoever decodes it.
namespace FtpListParser {

struct Line
{
    QByteArray name;
    bool isFolder = false;
    qint64 size = 0;
    QDateTime lastWrite; // local time; invalid when unknown
};

// A whole listing: its entries, and how many lines looked like neither an entry nor one of the
// lines that servers put around entries ("total 12", a VMS folder heading).
struct Listing
{
    QList<Line> entries;
    int unreadable = 0;
};

Listing parseListing(const QByteArray &data, bool mlsd, const QDateTime &now);

// Lines end with LF or CR LF; the last one counts without a line end; empty lines are dropped.
QList<QByteArray> splitLines(const QByteArray &data);

// "type=file;size=12;modify=20240131100500; name". The entries "." and ".." give nothing.
std::optional<Line> parseMlsd(const QByteArray &line);

// Any of the LIST styles below; now decides the year of dates that give a time instead of a year.
std::optional<Line> parseList(const QByteArray &line, const QDateTime &now);
std::optional<Line> parseUnix(const QByteArray &line, const QDateTime &now); // NetWare too
std::optional<Line> parseDos(const QByteArray &line);
std::optional<Line> parseEplf(const QByteArray &line);
// One VMS entry on one line; the version is cut from the name ("A.TXT;3" is "A.TXT"), a folder
// loses its ".DIR", and the size is the used blocks of 512 bytes.
std::optional<Line> parseVms(const QByteArray &line);

} // namespace FtpListParser
