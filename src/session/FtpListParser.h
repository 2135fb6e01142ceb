#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <optional>

// Parses the lines of a remote listing: MLSD facts, UNIX "ls -l" and DOS/IIS styles.
// Works on bytes, so a name travels unchanged to whoever decodes it.
namespace FtpListParser {

struct Line
{
    QByteArray name;
    bool isFolder = false;
    qint64 size = 0;
    QDateTime lastWrite; // local time; invalid when unknown
};

// Lines end with LF or CR LF; the last one counts without a line end; empty lines are dropped.
QList<QByteArray> splitLines(const QByteArray &data);

// "type=file;size=12;modify=20240131100500; name". The entries "." and ".." give nothing.
std::optional<Line> parseMlsd(const QByteArray &line);

// UNIX or DOS style; now decides the year of UNIX dates that give a time instead of a year.
std::optional<Line> parseList(const QByteArray &line, const QDateTime &now);
std::optional<Line> parseUnix(const QByteArray &line, const QDateTime &now);
std::optional<Line> parseDos(const QByteArray &line);

} // namespace FtpListParser
