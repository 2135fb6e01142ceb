#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <functional>
#include <optional>

// Parses the lines of a remote listing: MLSD facts, UNIX "ls -l" (NetWare and VShell too),
// DOS/IIS, OS/2, EPLF, VMS, MVS and AS/400 styles, one parser per family. Works on bytes, so a
// name travels unchanged to whoever decodes it.
namespace FtpListParser {

struct Line
{
    QByteArray name;
    bool isFolder = false;
    bool isLink = false; // a symbolic link: it may lead to a folder or to a file
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

// MVS lists data sets and members under a heading that says which; a few lines read only under it.
enum class MvsContext { None, DataSets, Members };

// Reads a listing as it arrives, a whole line at a time, so that the text is never held whole:
// only the line not yet ended. Each entry goes to the sink as soon as its line is read.
class Reader
{
public:
    using Sink = std::function<void(Line &&)>;
    static constexpr qsizetype kMaxLine = 64 * 1024; // a longer line is no entry of any server

    Reader(bool mlsd, const QDateTime &now, Sink sink);
    void feed(const QByteArray &chunk);
    void finish(); // the last line, also without a line end
    int unreadable() const { return m_unreadable; }

private:
    void takeLine(const QByteArray &line);
    void takeEntry(std::optional<Line> entry, const QByteArray &line);

    bool m_mlsd;
    QDateTime m_now;
    Sink m_sink;
    QByteArray m_partial;
    bool m_overlong = false;
    QByteArray m_vmsName; // a VMS name alone on its line; the rest of its entry is on the next
    QSet<QByteArray> m_vmsNames; // VMS lists the newest version of a file first; older ones are left out
    MvsContext m_mvs = MvsContext::None;
    int m_unreadable = 0;
};

Listing parseListing(const QByteArray &data, bool mlsd, const QDateTime &now);

// Lines end with LF or CR LF; the last one counts without a line end; empty lines are dropped.
QList<QByteArray> splitLines(const QByteArray &data);

// "type=file;size=12;modify=20240131100500; name". The entries "." and ".." give nothing.
std::optional<Line> parseMlsd(const QByteArray &line);

// Any of the LIST styles below; now decides the year of dates that give a time instead of a year.
std::optional<Line> parseList(const QByteArray &line, const QDateTime &now);
std::optional<Line> parseUnix(const QByteArray &line, const QDateTime &now); // NetWare and VShell too
std::optional<Line> parseDos(const QByteArray &line);
std::optional<Line> parseOs2(const QByteArray &line);
std::optional<Line> parseVshell(const QByteArray &line); // the short form: "206876  Apr 04, 2000 21:06 name"
std::optional<Line> parseEplf(const QByteArray &line);
// One VMS entry on one line; the version is cut from the name ("A.TXT;3" is "A.TXT"), a folder
// loses its ".DIR", and the size is the used blocks of 512 bytes (or as given: "2KB").
std::optional<Line> parseVms(const QByteArray &line);
bool isVmsName(const QByteArray &word); // "A.TXT;3"
// Data set and member lines; the size of members is unknown (0).
std::optional<Line> parseMvs(const QByteArray &line, MvsContext context = MvsContext::None);
MvsContext mvsHeading(const QByteArray &line); // None when the line is no heading
std::optional<Line> parseAs400(const QByteArray &line);

} // namespace FtpListParser
