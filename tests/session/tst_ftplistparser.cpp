// Listing lines of every server family (each at its limits: dates without a year, two-digit years,
// the 12-hour clock), the addresses of data connections, patterns and names.

#include "FtpDataAddress.h"
#include "FtpListParser.h"
#include "FtpNameCodec.h"
#include "FtpPattern.h"

#include <QtTest>

using FtpListParser::Line;
using namespace FtpDataAddress;

Q_DECLARE_METATYPE(std::optional<Line>)

namespace {

const QDateTime kNow(QDate(2024, 3, 15), QTime(12, 0));

QDateTime at(qint64 stamp) // yyyyMMdd, yyyyMMddHHmm or yyyyMMddHHmmss, local time; 0: none
{
    return stamp ? QDateTime::fromString(QString::number(stamp).leftJustified(14, '0'), "yyyyMMddHHmmss") : QDateTime();
}

struct When // a stamp as at() reads it, or a time as it is
{
    When(qint64 stamp) : t(at(stamp)) {}
    When(const QDateTime &time) : t(time) {}
    QDateTime t;
};

std::optional<Line> f(const QByteArray &name, qint64 size, When when)
{
    return Line{name, false, false, size, when.t};
}

std::optional<Line> d(const QByteArray &name, When when)
{
    return Line{name, true, false, 0, when.t};
}

QDateTime utc(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC).toLocalTime();
}

struct Sample
{
    const char *tag;
    QByteArray line;
    std::optional<Line> expected; // none: not an entry
};

// Our own lines, written from the formats' published descriptions.
// clang-format off
const QList<Sample> kEplf = {
    {"folder", "+i8388621.29609,m824255902,/,\tdocs", d("docs", utc(824255902))},
    {"file", "+i8388621.44468,m839956783,r,s10376,\tRFC959.txt", f("RFC959.txt", 10376, utc(839956783))},
    {"over 4 GiB, odd facts", "+m1709900000,s5000000000,r,up644,\tbig.iso", f("big.iso", 5000000000, utc(1709900000))},
    {"name with blanks, no date", "+r,s0,\t two  words ", f(" two  words ", 0, 0)},
    {"the last second of 9999", "+m253402300799,r,\tlast", f("last", 0, utc(253402300799))},
    {"a second later, no date", "+m253402300800,r,\tlater", f("later", 0, 0)},
};

const QList<Sample> kNetware = {
    {"folder", "d [RWCEAFMS] supervisor                512 Mar 12 10:15 SYSTEM", d("SYSTEM", 202403121015)},
    {"year", "- [R----F--] jdoe                   145324 Jan 05  2023 report.doc", f("report.doc", 145324, 20230105)},
    {"leap day", "- [RWCEAFMS] jdoe 7 Feb 29 23:59 leap year.txt", f("leap year.txt", 7, 202402292359)},
    {"name in a column", "d [RWCEAFMS] admin             512       Mar 12 10:15    Public", d("Public", 202403121015)},
    {"file name in a column", "- [R----F--] jdoe        145324    Jan 05  2023    q1 report.doc",
        f("q1 report.doc", 145324, 20230105)},
};

const QList<Sample> kVms = {
    {"file with version", "LOGIN.COM;3          2/3        12-MAR-2024 10:05:33  [JOHN]  (RWED,RWED,RE,)",
        f("LOGIN.COM", 1024, 20240312100533)},
    {"folder", "SUBDIR.DIR;1         1/3        10-JAN-2024 09:00  [GROUP,JOHN]  (RWE,RWE,RE,E)",
        d("SUBDIR", 202401100900)},
    {"hundredths, blocks", "DATA.BIN;12  40000  1-FEB-2024 23:59:59.12", f("DATA.BIN", 40000 * 512, 20240201235959)},
    {"bad month", "X.TXT;1  1/1  12-FOO-2024 10:00:00", {}},
    {"no time", "BACKUP.SAV;1    1200/1200   5-JAN-2024  [SYSTEM]  (RWED,RWED,RE,)",
        f("BACKUP.SAV", 1200 * 512, 20240105)},
    {"size last", "REPORT.TXT;4  10-MAR-2024 14:02:11  [GROUP,JOHN]  8/9", f("REPORT.TXT", 8 * 512, 20240310140211)},
    {"size in kilobytes", "IMAGE.DAT;1     2KB  10-MAR-2024 14:02", f("IMAGE.DAT", 2048, 202403101402)},
    {"no size", "LOCKED.DAT;1  10-MAR-2024 14:02  %RMS-E-PRV", {}},
};

const QList<Sample> kDos = {
    {"folder, 12-hour clock", "01-31-24  10:05AM       <DIR>          Program Files", d("Program Files", 202401311005)},
    {"file PM", "02-29-24  12:30PM              5000 noon.txt", f("noon.txt", 5000, 202402291230)},
    {"midnight", "02-29-24  12:01AM                 1 night.txt", f("night.txt", 1, 202402290001)},
    {"24 h, yyyy, over 4 GiB", "12-31-2023  23:59         5000000000 big.iso", f("big.iso", 5000000000, 202312312359)},
    {"bad month", "13-01-24  10:05AM  12 x", {}},
    {"year 69 is 2069", "01-02-69  10:05AM  5 a", f("a", 5, 206901021005)},
    {"year 70 is 1970", "01-02-70  10:05AM  5 a", f("a", 5, 197001021005)},
    {"12 AM is hour 0", "01-02-24  12:00AM  5 a", f("a", 5, 20240102)},
    {"11:59 PM is hour 23", "01-02-24  11:59PM  5 a", f("a", 5, 202401022359)},
    {"no hour 13 PM", "01-02-24  13:00PM  5 a", {}},
    {"no hour 0 AM", "01-02-24  00:30AM  5 a", {}},
    {"iso date folder", "2024-03-10  14:22       <DIR>          Projects", d("Projects", 202403101422)},
    {"iso date, 1,234,567", "2024-03-10  02:22PM          1,234,567 setup.exe", f("setup.exe", 1234567, 202403101422)},
    {"thousands with dots", "03-10-2024  09:01AM          5.000.000 data.bin", f("data.bin", 5000000, 202403100901)},
    {"leading blank of a file", "01-31-24  10:05AM                   42  lead.txt", f(" lead.txt", 42, 202401311005)},
    {"leading blank, folder", "01-31-24  10:05AM       <DIR>           lead folder", d(" lead folder", 202401311005)},
    {"folder of a narrower server", "01-31-24  10:05AM  <DIR>    short", d("short", 202401311005)},
    {"broken thousands", "01-31-24  10:05AM  1,23 x", {}},
};

const QList<Sample> kPcForms = {
    {"os/2 folder", "     0           DIR   03-10-24   14:22  Projects", d("Projects", 202403101422)},
    {"os/2 file", " 36611      A          05-12-97   16:44  README.TXT", f("README.TXT", 36611, 199705121644)},
    {"os/2 without attributes", "  1024                 12-31-99   23:59  CONFIG SYS.BAK",
        f("CONFIG SYS.BAK", 1024, 199912312359)},
    {"vshell short form", "  48213  Feb 02, 2023 17:45 install.log", f("install.log", 48213, 202302021745)},
    {"vshell, no such day", "  48213  Feb 30, 2023 17:45 x", {}},
};

const QList<Sample> kAs400 = {
    {"folder", "QSYS           77824 02/23/24 15:09:55 *DIR       QOpenSys/", d("QOpenSys", 20240223150955)},
    {"stream file", "OWNER1        135168 01/15/24 12:00:00 *STMF      report final.pdf",
        f("report final.pdf", 135168, 202401151200)},
    {"day first", "OWNER2          4096 31.01.24 10:05:00 *DIR       Dokumente/", d("Dokumente", 202401311005)},
    {"month first", "OWNER2           512 02/03/24 07:00:00 *STMF      feb.txt", f("feb.txt", 512, 202402030700)},
    {"member", "OWNER1                                 *MEM       MYLIB.FILE/MBR1.MBR", f("MBR1.MBR", 0, 0)},
    {"mvs member", "PROG01    01.05 2023/11/02 2024/03/01 09:15    120    98     4 USERA",
        f("PROG01", 0, 202403010915)},
    {"data set", "USR001 3390   2024/03/01  1   15  FB      80 27920  PO  SOURCE.COBOL", d("SOURCE.COBOL", 20240301)},
};

const QList<Sample> kUnixForms = {
    {"time", "-rw-r--r--   1 owner    group        1234 Mar 10 10:05 report.txt", f("report.txt", 1234, 202403101005)},
    {"ahead: last year's", "-rw-r--r-- 1 owner group 12 Dec 24 18:30 xmas.txt", f("xmas.txt", 12, 202312241830)},
    {"tomorrow is this year's (time zones)", "-rw-r--r-- 1 o g 5 Mar 16 10:05 f", f("f", 5, 202403161005)},
    {"the day after is last year's", "-rw-r--r-- 1 o g 5 Mar 17 10:05 f", f("f", 5, 202303171005)},
    {"file with year", "-rw-r--r--   1 owner    group        1234 Jan 31  2019 old.zip", f("old.zip", 1234, 20190131)},
    {"folder", "drwxr-xr-x   2 owner    group        4096 Feb  1 09:00 pub", d("pub", 202402010900)},
    {"above 4 GiB", "-rw-r--r--   1 ftp      ftp      6442450944 Mar  2 11:11 disk.img",
        f("disk.img", 6442450944, 202403021111)},
    {"name with spaces", "-rw-r--r--   1 owner    group           5 Mar  3 08:00 my  summer notes.txt",
        f("my  summer notes.txt", 5, 202403030800)},
    {"symbolic link", "lrwxrwxrwx   1 owner    group          11 Mar  4 07:00 latest -> releases/1.2",
        Line{"latest", false, true, 11, at(202403040700)}},
    {"ACL mark and numeric owner", "-rw-r--r--+  1 1001     1001          300 Mar  5 06:00 acl.txt",
        f("acl.txt", 300, 202403050600)},
    {"iso date", "-rw-r--r-- 1 owner group 42 2023-07-08 09:10 iso.txt", f("iso.txt", 42, 202307080910)},
    {"cut short", "-rw-r--r--   1 owner group 12 Mar", {}},
    {"garbage", "this is not a listing line", {}},
    {"numeric month", "-rw-r--r--   1 owner    group        1234  3 10 10:05 numeric.txt",
        f("numeric.txt", 1234, 202403101005)},
    {"numeric, day first", "-rw-r--r-- 1 owner group 1234 25 12 2023 dayfirst.txt", f("dayfirst.txt", 1234, 20231225)},
    {"dd Mon", "-rw-r--r--   1 owner    group        1234 10 Mär 10:05 tag.txt", f("tag.txt", 1234, 202403101005)},
    {"day with a dot", "-rw-r--r-- 1 owner group 1234 10. Okt 2023 punkt.txt", f("punkt.txt", 1234, 20231010)},
    {"24:00 is next day", "-rw-r--r-- 1 owner group 12 Mar 10 24:00 midnight.txt", f("midnight.txt", 12, 20240311)},
    {"no group, numeric owner", "-rw-r--r--   1 1001          77 Mar  1  2020 nogroup", f("nogroup", 77, 20200301)},
    {"character device", "crw-rw-rw-   1 root     root       1,   3 Mar  1 09:00 null", f("null", 0, 202403010900)},
    {"block device without a blank", "brw-rw----   1 root     disk     8,0 Feb  2  2023 sda", f("sda", 0, 20230202)},
    {"french", "-rw-r--r-- 1 owner group 1234 févr. 29 10:05 fevrier.txt", f("fevrier.txt", 1234, 202402291005)},
    {"german in latin-1", "-rw-r--r-- 1 owner group 5 M\xe4r  3  2022 alt.txt", f("alt.txt", 5, 20220303)},
    {"spanish folder", "drwxr-xr-x 2 owner group 4096 dic 24  2023 navidad", d("navidad", 20231224)},
    {"italian", "-rw-r--r-- 1 owner group 9 giu 14  2023 estate.txt", f("estate.txt", 9, 20230614)},
    {"dutch", "-rw-r--r-- 1 owner group 100 mrt  5  2023 nl.txt", f("nl.txt", 100, 20230305)},
    {"portuguese", "-rw-r--r-- 1 owner group 100 out  5  2023 pt.txt", f("pt.txt", 100, 20231005)},
    {"polish", "-rw-r--r-- 1 owner group 100 paź  5  2023 pl.txt", f("pl.txt", 100, 20231005)},
    {"russian", "-rw-r--r-- 1 owner group 100 янв 15 09:00 ru.txt", f("ru.txt", 100, 202401150900)},
    {"japanese", "-rw-r--r-- 1 owner group 100  3月 14 09:30 資料.txt", f("資料.txt", 100, 202403140930)},
    {"korean", "-rw-r--r-- 1 owner group 100 12월 31  2023 k.txt", f("k.txt", 100, 20231231)},
    {"shift-jis month", "-rw-r--r-- 1 owner group 100  3\x8c\x8e 14 09:30 sjis.txt", f("sjis.txt", 100, 202403140930)},
    {"gbk month", "-rw-r--r-- 1 owner group 100 12\xd4\xc2 31  2023 gbk.txt", f("gbk.txt", 100, 20231231)},
    {"euc-kr", "-rw-r--r-- 1 owner group 100  2\xbf\xf9 29\xc0\xcf 10:00 kr.txt", f("kr.txt", 100, 202402291000)},
    {"german month", "-rw-r--r-- 1 owner group 1234 26. Juli, 20:10 sommer.txt", f("sommer.txt", 1234, 202307262010)},
    {"german dot and comma", "-rw-r--r-- 1 owner group 1234 30. Jan., 12:40 jan.txt", f("jan.txt", 1234, 202401301240)},
    {"hungarian", "-rw-r--r-- 1 owner group 100 márc  3  2023 hu.txt", f("hu.txt", 100, 20230303)},
    {"hungarian in latin-1", "-rw-r--r-- 1 owner group 100 \xe1pr  7 10:00 hu1.txt", f("hu1.txt", 100, 202304071000)},
    {"turkish", "-rw-r--r-- 1 owner group 100 haz  5  2023 tr.txt", f("tr.txt", 100, 20230605)},
    {"year.month.day", "-rw-r--r-- 1 owner group 1234 2004.07.15 dotted.txt", f("dotted.txt", 1234, 20040715)},
    {"day-month-year and time", "-rw-r--r-- 1 owner group 1234 24-04-2003 17:12 dashed.txt",
        f("dashed.txt", 1234, 200304241712)},
    {"ambiguous: day first", "-rw-r--r-- 1 owner group 1234 05-04-2003 17:12 amb.txt",
        f("amb.txt", 1234, 200304051712)},
    {"month-day and time", "-rw-r--r--   1 ftp  ftp   2048 03-09 14:30 notes.txt", f("notes.txt", 2048, 202403091430)},
    {"month-day and year", "drwxr-xr-x   2 ftp  ftp   4096 11-20 2022 archive", d("archive", 20221120)},
    {"size with a unit", "-rw-r--r--   1 ftp  ftp  33.5k Mar  9 14:30 small.bin", f("small.bin", 34304, 202403091430)},
    {"group run into the size", "-rw-r--r--   1 webadmin webgroup12345678 Feb 11 08:00 full.log",
        f("full.log", 12345678, 202402110800)},
    {"day-month name-year", "-rw-r--r--   1 ftp ftp 512 01-jun-99 13:45 y2k.txt", f("y2k.txt", 512, 199906011345)},
    {"day-month name-year, no time", "-rw-r--r--   1 ftp ftp 512 17-Dec-2001 old.txt", f("old.txt", 512, 20011217)},
    {"numeric owner, group and date", "-rw-r--r-- 1 1001 1001 512 3 9 14:30 n.txt", f("n.txt", 512, 202403091430)},
    {"vshell long form", "-rw-r--r--   1 ftp  ftp  48213 Feb 02, 2023 17:45 install.log",
        f("install.log", 48213, 202302021745)},
    {"vshell long form, folder", "drwxr-xr-x   1 ftp  ftp  0 Jan 10, 2024 08:00 logs", d("logs", 202401100800)},
    {"no such day", "-rw-r--r-- 1 owner group 100 31 02 2023 x", {}},
    {"24:000 is no time", "-rw-r--r-- 1 owner group 12 Mar 10 24:000 x", {}},
    {"major, minor only for devices", "srwxr-xr-x 1 owner group 1, Mar 10 10:05 x", {}},
};
// clang-format on

const std::pair<const char *, QList<Sample>> kTables[] = {
    {"eplf", kEplf}, {"netware", kNetware}, {"vms", kVms}, {"dos", kDos}, {"unix", kUnixForms}, {"pc", kPcForms},
    {"ibm", kAs400}};

} // namespace

class TestFtpListParser : public QObject
{
    Q_OBJECT

    static void compare(const std::optional<Line> &parsed, const std::optional<Line> &expected)
    {
        QCOMPARE(parsed.has_value(), expected.has_value());
        if (!expected)
            return;
        QCOMPARE(parsed->name, expected->name);
        QCOMPARE(parsed->isFolder, expected->isFolder);
        QCOMPARE(parsed->isLink, expected->isLink);
        QCOMPARE(parsed->size, expected->size);
        QCOMPARE(parsed->lastWrite, expected->lastWrite);
    }

private slots:
    void formats_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<std::optional<Line>>("expected");
        for (const auto &[format, samples] : kTables) {
            for (const Sample &sample : samples)
                QTest::addRow("%s: %s", format, sample.tag) << sample.line << sample.expected;
        }
    }
    // Each line alone; then cut at every offset (a data connection may end anywhere), when it
    // reads as anything it is the same kind of entry under a name the whole line holds.
    void formats()
    {
        QFETCH(QByteArray, line);
        QFETCH(std::optional<Line>, expected);
        compare(FtpListParser::parseList(line, kNow), expected);
        for (qsizetype at = 0; at < line.size(); ++at) {
            const auto cut = FtpListParser::parseList(line.left(at), kNow);
            if (!cut)
                continue;
            QVERIFY2(expected && !cut->name.isEmpty() && line.contains(cut->name), line.left(at).constData());
            QCOMPARE(cut->isFolder, expected->isFolder);
        }
    }

    // Each table as one listing, with the lines servers write around entries: every entry comes
    // out in order, the lines that are no entry are counted, the frame lines are not.
    void wholeListings()
    {
        for (const auto &[format, samples] : kTables) {
            QByteArray data = "total 42\r\nDirectory DISK$USER:[JOHN]\r\n\r\n";
            QList<Line> expected;
            int unreadable = 0;
            for (const Sample &sample : samples) {
                data += sample.line + "\r\n";
                if (sample.expected)
                    expected.append(*sample.expected);
                else
                    ++unreadable;
            }
            data += "Total of 3 files, 48/54 blocks.\r\nls: cannot open directory: Permission denied";
            const auto listing = FtpListParser::parseListing(data, false, kNow);
            QVERIFY2(listing.unreadable == unreadable + 1, format);
            QCOMPARE(listing.entries.size(), expected.size());
            for (qsizetype i = 0; i < expected.size(); ++i)
                compare(listing.entries[i], expected[i]);
        }
    }

    // Listings whose entries span lines or hang on a heading: a long VMS name on a line of its own,
    // older versions after the newest; MVS data sets or members under the heading that says which
    // (without it a lone word is no entry); MLSD, where this folder and its parent are no entries.
    void severalLines_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QList<Line>>("expected");
        QTest::addColumn<int>("unreadable");
        QTest::newRow("vms")
            << QByteArray("Directory USERS:[JOHN]\r\n\r\n"
                          "A_VERY_LONG_FILE_NAME_THAT_WRAPS.TXT;12\r\n"
                          "                     45/48      1-FEB-2024 23:59:59.12  [JOHN]  (RWED,RWED,,)\r\n"
                          "NOTES.TXT;2          7/9        3-MAR-2024 08:00:00.00  [JOHN]  (RWED,RWED,,)\r\n"
                          "NOTES.TXT;1          5/9        2-MAR-2024 08:00:00.00  [JOHN]  (RWED,RWED,,)\r\n"
                          "ANOTHER_RATHER_LONG_NAME_OF_A_FILE.LIS;1\r\n"
                          "3/3  4-MAR-2024 09:30  [JOHN]  (RWED,RWED,,)\r\n"
                          "ORPHAN.TXT;1\r\n"
                          "\r\nTotal of 4 files, 57/66 blocks.\r\n")
            << QList<Line>{*f("A_VERY_LONG_FILE_NAME_THAT_WRAPS.TXT", 45 * 512, 20240201235959),
                           *f("NOTES.TXT", 7 * 512, 202403030800),
                           *f("ANOTHER_RATHER_LONG_NAME_OF_A_FILE.LIS", 3 * 512, 202403040930)}
            << 1; // the name without the rest of its entry
        QTest::newRow("mvs data sets")
            << QByteArray("Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
                          "USR002 3390   2024/02/28  2    3  VB     255 27998  PS  REPORT.LISTING\r\n"
                          "USR001 3390   **NONE**    1    1  FB      80  3120  PS  NEVER.READ\r\n"
                          "Migrated                                            ARCHIVE.OLD\r\n"
                          "Pseudo Directory                                    PROJECTS\r\n")
            << QList<Line>{*f("REPORT.LISTING", 0, 20240228), *f("NEVER.READ", 0, 0),
                           *f("ARCHIVE.OLD", 0, 0), *d("PROJECTS", 0)}
            << 0;
        QTest::newRow("mvs members")
            << QByteArray(" Name     VV.MM   Created       Changed      Size  Init   Mod   Id\r\n"
                          "PROG02    01.00 2024/01/15 2024/01/15 16:40:12    8     8     0 USERB\r\nLOADMOD\r\n")
            << QList<Line>{*f("PROG02", 0, 20240115164012), *f("LOADMOD", 0, 0)} << 0;
        QTest::newRow("mvs load library")
            << QByteArray(" Name      Size     TTR   Alias-of AC --------- Attributes ---------\r\n"
                          "MODA      00000F98 000017           00 FO             RN RU\r\n")
            << QList<Line>{*f("MODA", 0xF98, 0)} << 0;
        QTest::newRow("a lone word") << QByteArray("LOADMOD\r\n") << QList<Line>{} << 1;
        QTest::newRow("mlsd")
            << QByteArray("type=cdir; /pub\r\ntype=pdir; /\r\ntype=file;size=3; a\r\nsize=4; no type\r\nnonsense\r\n")
            << QList<Line>{*f("a", 3, 0)} << 2;
    }
    void severalLines()
    {
        QFETCH(QByteArray, data);
        QFETCH(QList<Line>, expected);
        QFETCH(int, unreadable);
        const auto listing = FtpListParser::parseListing(data, QTest::currentDataTag() == QByteArray("mlsd"), kNow);
        QCOMPARE(listing.unreadable, unreadable);
        QCOMPARE(listing.entries.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            compare(listing.entries[i], expected[i]);
    }

    void mlsdLines()
    {
        const QDateTime modified = QDateTime(QDate(2024, 1, 31), QTime(10, 5, 3), Qt::UTC).toLocalTime();
        const QList<std::pair<QByteArray, std::optional<Line>>> lines = {
            {"type=file;size=6442450944;modify=20240131100503;perm=r; a b.txt", f("a b.txt", 6442450944, modified)},
            {"Type=dir;Modify=20240131100503.123;UNIX.mode=0755; sub", d("sub", modified)},
            {"type=file;size=12;\tquarterly report.pdf", f("quarterly report.pdf", 12, 0)}, // a TAB, not a blank
            {"type=file;size=-5; minus", f("minus", 0, 0)},
            {"type=OS.unix=slink:/x;size=3; link", Line{"link", false, true, 3, {}}},
            {"type=OS.unix=symlink; pub", Line{"pub", false, true, 0, {}}}}; // what is no entry: severalLines
        for (const auto &[line, expected] : lines)
            compare(FtpListParser::parseMlsd(line), expected);
    }

    // A line longer than any server writes is dropped as it arrives, in however many pieces; the
    // lines around it are read.
    void overlongLinesAreDroppedAsTheyCome()
    {
        QList<QByteArray> names;
        FtpListParser::Reader reader(true, kNow, [&](Line &&line) { names << line.name; });
        reader.feed("type=file; a\r\ntype=file; ");
        for (int i = 0; i < 100; ++i)
            reader.feed(QByteArray(4096, 'x'));
        reader.feed("\r\ntype=file; b\r\ntype=file; c\n");
        // The longest line there may be, without its line end, and one byte more.
        const qsizetype room = FtpListParser::Reader::kMaxLine - 11;
        reader.feed("type=file; " + QByteArray(room, 'd') + "\ntype=file; " + QByteArray(room + 1, 'e') + "\n");
        reader.finish();
        QCOMPARE(names, (QList<QByteArray>{"a", "b", "c", QByteArray(room, 'd')}));
        QCOMPARE(reader.unreadable(), 2);
    }

    // PASV and EPSV replies at their limits; the addresses a server must not send data to.
    void dataAddresses()
    {
        auto a = parsePasv("227 Entering Passive Mode (192,168,1,2,19,137).\r\n");
        QVERIFY(a && a->address == QHostAddress("192.168.1.2") && a->port == 19 * 256 + 137);
        QCOMPARE(parsePasv("227 =10,0,0,1,4,1")->port, 1025);
        QCOMPARE(parsePasv("227 (1,2,3,4,0,1)")->port, 1);
        QCOMPARE(parsePasv("227 (255,255,255,255,255,255)")->port, 65535);
        for (const char *bad : {"227 (1,2,3,4,5).", "227 (256,1,1,1,1,0)", "227 (1,1,1,1,1,256)", "227 (1,2,3,4,0,0)"})
            QVERIFY2(!parsePasv(bad), bad);
        QCOMPARE(parseEpsv("229 Entering Extended Passive Mode (|||6446|)\r\n"), std::optional<quint16>(6446));
        QCOMPARE(parseEpsv("229 ok (!!!21!)"), std::optional<quint16>(21));
        QCOMPARE(parseEpsv("229 (|||1|)"), std::optional<quint16>(1));
        QCOMPARE(parseEpsv("229 (|||65535|)"), std::optional<quint16>(65535));
        for (const char *bad : {"229 (|||0|)", "229 (|||65536|)", "229 (||!21|)", "229 (|!|21|)", "229 nothing"})
            QVERIFY2(!parseEpsv(bad), bad);
        for (const char *unroutable :
             {"10.1.2.3", "10.255.255.255", "172.16.0.0", "172.31.255.255", "192.168.0.1", "192.168.255.255",
              "127.0.0.1", "0.0.0.0", "169.254.1.1", "100.64.0.1", "fe80::1", "fd00::1", "::1"})
            QVERIFY2(isUnroutable(QHostAddress(QString::fromLatin1(unroutable))), unroutable);
        for (const char *routable :
             {"8.8.8.8", "11.0.0.0", "172.15.255.255", "172.32.0.0", "192.169.0.0", "2001:db8::1"})
            QVERIFY2(!isUnroutable(QHostAddress(QString::fromLatin1(routable))), routable);
        const QHostAddress local("127.0.0.1");
        QCOMPARE(portArgument(local, 255), QByteArray("127,0,0,1,0,255"));
        QCOMPARE(portArgument(local, 256), QByteArray("127,0,0,1,1,0"));
        QCOMPARE(portArgument(local, 65535), QByteArray("127,0,0,1,255,255"));
        QCOMPARE(eprtArgument(QHostAddress("::1"), 5001), QByteArray("|2|::1|5001|"));
        QCOMPARE(eprtArgument(QHostAddress("::ffff:127.0.0.1"), 21), QByteArray("|1|127.0.0.1|21|"));
    }

    void patterns()
    {
        const std::tuple<const char *, const char *, bool> cases[] = {{"*.*", "README", true},
            {"*.txt", "a.b.txt", true}, {"*.txt", "a.TXT", false}, {"*.txt", "a.txt.bak", false}, {"?.c", "x.c", true}};
        for (const auto &[pattern, name, matches] : cases)
            QVERIFY2(FtpPattern(pattern).matches(name) == matches, name);
        for (const auto &[path, folder, pattern] : {std::tuple{"/pub/docs/*.*", "/pub/docs/", "*.*"},
                                                    {"*.txt", "", "*.txt"}, {"/pub", "/pub", ""}}) {
            QString f, p;
            FtpPattern::split(path, f, p);
            QCOMPARE(f, QString(folder));
            QCOMPARE(p, QString(pattern));
        }
    }

    void namesRoundTrip()
    {
        FtpNameCodec codec;
        const QByteArray utf8 = QStringLiteral("grüße").toUtf8();
        QCOMPARE(codec.decode(utf8), QStringLiteral("grüße"));
        QCOMPARE(codec.decode("caf\xe9"), QStringLiteral("café"));
        QCOMPARE(codec.encode(QStringLiteral("/dir/café")), QByteArray("/dir/caf\xe9"));
        QCOMPARE(codec.encode(QStringLiteral("grüße")), utf8);
        codec.clear();
        QCOMPARE(codec.encode(QStringLiteral("café")), QByteArray("caf\xc3\xa9"));
    }
};

QTEST_GUILESS_MAIN(TestFtpListParser)
#include "tst_ftplistparser.moc"
