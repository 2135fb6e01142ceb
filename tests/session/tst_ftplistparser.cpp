// Listing lines of every server family, the addresses of data connections, patterns and names.

#include "FtpDataAddress.h"
#include "FtpListParser.h"
#include "FtpNameCodec.h"
#include "FtpPattern.h"

#include <QtTest>

using FtpListParser::Line;

Q_DECLARE_METATYPE(std::optional<Line>)

namespace {

const QDateTime kNow(QDate(2024, 3, 15), QTime(12, 0));

std::optional<Line> entry(const QByteArray &name, bool folder, qint64 size, const QDateTime &when)
{
    return Line{name, folder, false, size, when};
}

std::optional<Line> link(const QByteArray &name, qint64 size, const QDateTime &when)
{
    return Line{name, false, true, size, when};
}

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

QDateTime utc(qint64 secs)
{
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC).toLocalTime();
}

struct Sample
{
    const char *tag;
    QByteArray line;
    std::optional<Line> expected;
};

// Our own lines, written from the formats' published descriptions.
QList<Sample> eplf()
{
    return {
        {"folder", "+i8388621.29609,m824255902,/,\tdocs", entry("docs", true, 0, utc(824255902))},
        {"file", "+i8388621.44468,m839956783,r,s10376,\tRFC959.txt", entry("RFC959.txt", false, 10376, utc(839956783))},
        {"above 4 GiB, unknown facts", "+m1709900000,s5000000000,r,up644,\tbig.iso",
         entry("big.iso", false, 5000000000LL, utc(1709900000))},
        {"name with blanks, no date", "+r,s0,\t two  words ", entry(" two  words ", false, 0, {})},
    };
}

QList<Sample> netware()
{
    return {
        {"folder", "d [RWCEAFMS] supervisor                512 Mar 12 10:15 SYSTEM",
         entry("SYSTEM", true, 0, at(2024, 3, 12, 10, 15))},
        {"file with year", "- [R----F--] jdoe                   145324 Jan 05  2023 report.doc",
         entry("report.doc", false, 145324, at(2023, 1, 5))},
        {"leap day", "- [RWCEAFMS] jdoe 7 Feb 29 23:59 leap year.txt",
         entry("leap year.txt", false, 7, at(2024, 2, 29, 23, 59))},
        {"name in a column", "d [RWCEAFMS] admin             512       Mar 12 10:15    Public",
         entry("Public", true, 0, at(2024, 3, 12, 10, 15))},
        {"file name in a column", "- [R----F--] jdoe        145324    Jan 05  2023    q1 report.doc",
         entry("q1 report.doc", false, 145324, at(2023, 1, 5))},
    };
}

QList<Sample> vms()
{
    return {
        {"file with version", "LOGIN.COM;3          2/3        12-MAR-2024 10:05:33  [JOHN]  (RWED,RWED,RE,)",
         entry("LOGIN.COM", false, 1024, at(2024, 3, 12, 10, 5, 33))},
        {"folder", "SUBDIR.DIR;1         1/3        10-JAN-2024 09:00  [GROUP,JOHN]  (RWE,RWE,RE,E)",
         entry("SUBDIR", true, 0, at(2024, 1, 10, 9, 0))},
        {"hundredths, blocks only", "DATA.BIN;12  40000  1-FEB-2024 23:59:59.12",
         entry("DATA.BIN", false, 40000 * 512, at(2024, 2, 1, 23, 59, 59))},
        {"bad month", "X.TXT;1  1/1  12-FOO-2024 10:00:00", std::nullopt},
        {"no time", "BACKUP.SAV;1    1200/1200   5-JAN-2024  [SYSTEM]  (RWED,RWED,RE,)",
         entry("BACKUP.SAV", false, 1200 * 512, at(2024, 1, 5))},
        {"size after the owner", "REPORT.TXT;4  10-MAR-2024 14:02:11  [GROUP,JOHN]  8/9",
         entry("REPORT.TXT", false, 8 * 512, at(2024, 3, 10, 14, 2, 11))},
        {"size in kilobytes", "IMAGE.DAT;1     2KB  10-MAR-2024 14:02", entry("IMAGE.DAT", false, 2048, at(2024, 3, 10, 14, 2))},
        {"no size", "LOCKED.DAT;1  10-MAR-2024 14:02  %RMS-E-PRV", std::nullopt},
    };
}

QList<Sample> dos()
{
    return {
        {"iso date folder", "2024-03-10  14:22       <DIR>          Projects",
         entry("Projects", true, 0, at(2024, 3, 10, 14, 22))},
        {"iso date, thousands with commas", "2024-03-10  02:22PM          1,234,567 setup.exe",
         entry("setup.exe", false, 1234567, at(2024, 3, 10, 14, 22))},
        {"thousands with dots", "03-10-2024  09:01AM          5.000.000 data.bin",
         entry("data.bin", false, 5000000, at(2024, 3, 10, 9, 1))},
        {"leading blank of a file", "01-31-24  10:05AM                   42  lead.txt",
         entry(" lead.txt", false, 42, at(2024, 1, 31, 10, 5))},
        {"leading blank of a folder", "01-31-24  10:05AM       <DIR>           lead folder",
         entry(" lead folder", true, 0, at(2024, 1, 31, 10, 5))},
        {"folder of a narrower server", "01-31-24  10:05AM  <DIR>    short",
         entry("short", true, 0, at(2024, 1, 31, 10, 5))},
        {"broken thousands", "01-31-24  10:05AM  1,23 x", std::nullopt},
    };
}

QList<Sample> pcForms()
{
    return {
        {"os/2 folder", "     0           DIR   03-10-24   14:22  Projects", entry("Projects", true, 0, at(2024, 3, 10, 14, 22))},
        {"os/2 file", " 36611      A          05-12-97   16:44  README.TXT",
         entry("README.TXT", false, 36611, at(1997, 5, 12, 16, 44))},
        {"os/2 without attributes", "  1024                 12-31-99   23:59  CONFIG SYS.BAK",
         entry("CONFIG SYS.BAK", false, 1024, at(1999, 12, 31, 23, 59))},
        {"vshell short form", "  48213  Feb 02, 2023 17:45 install.log",
         entry("install.log", false, 48213, at(2023, 2, 2, 17, 45))},
        {"vshell, no such day", "  48213  Feb 30, 2023 17:45 x", std::nullopt},
    };
}

QList<Sample> as400()
{
    return {
        {"folder", "QSYS           77824 02/23/24 15:09:55 *DIR       QOpenSys/",
         entry("QOpenSys", true, 0, at(2024, 2, 23, 15, 9, 55))},
        {"stream file", "OWNER1        135168 01/15/24 12:00:00 *STMF      report final.pdf",
         entry("report final.pdf", false, 135168, at(2024, 1, 15, 12, 0))},
        {"day first", "OWNER2          4096 31.01.24 10:05:00 *DIR       Dokumente/",
         entry("Dokumente", true, 0, at(2024, 1, 31, 10, 5))},
        {"month first", "OWNER2           512 02/03/24 07:00:00 *STMF      feb.txt",
         entry("feb.txt", false, 512, at(2024, 2, 3, 7, 0))},
        {"member", "OWNER1                                 *MEM       MYLIB.FILE/MBR1.MBR",
         entry("MBR1.MBR", false, 0, {})},
        {"mvs member", "PROG01    01.05 2023/11/02 2024/03/01 09:15    120    98     4 USERA",
         entry("PROG01", false, 0, at(2024, 3, 1, 9, 15))},
        {"mvs data set", "USR001 3390   2024/03/01  1   15  FB      80 27920  PO  SOURCE.COBOL",
         entry("SOURCE.COBOL", true, 0, at(2024, 3, 1))},
    };
}

QList<Sample> unixForms()
{
    return {
        {"numeric month", "-rw-r--r--   1 owner    group        1234  3 10 10:05 numeric.txt",
         entry("numeric.txt", false, 1234, at(2024, 3, 10, 10, 5))},
        {"numeric, day first", "-rw-r--r-- 1 owner group 1234 25 12 2023 dayfirst.txt",
         entry("dayfirst.txt", false, 1234, at(2023, 12, 25))},
        {"day before month", "-rw-r--r--   1 owner    group        1234 10 Mär 10:05 tag.txt",
         entry("tag.txt", false, 1234, at(2024, 3, 10, 10, 5))},
        {"day with a dot", "-rw-r--r-- 1 owner group 1234 10. Okt 2023 punkt.txt",
         entry("punkt.txt", false, 1234, at(2023, 10, 10))},
        {"24:00 is the next midnight", "-rw-r--r-- 1 owner group 12 Mar 10 24:00 midnight.txt",
         entry("midnight.txt", false, 12, at(2024, 3, 11))},
        {"no group, numeric owner", "-rw-r--r--   1 1001          77 Mar  1  2020 nogroup",
         entry("nogroup", false, 77, at(2020, 3, 1))},
        {"character device", "crw-rw-rw-   1 root     root       1,   3 Mar  1 09:00 null",
         entry("null", false, 0, at(2024, 3, 1, 9, 0))},
        {"block device without a blank", "brw-rw----   1 root     disk     8,0 Feb  2  2023 sda",
         entry("sda", false, 0, at(2023, 2, 2))},
        {"french", "-rw-r--r-- 1 owner group 1234 févr. 29 10:05 fevrier.txt",
         entry("fevrier.txt", false, 1234, at(2024, 2, 29, 10, 5))},
        {"german in latin-1", "-rw-r--r-- 1 owner group 5 M\xe4r  3  2022 alt.txt",
         entry("alt.txt", false, 5, at(2022, 3, 3))},
        {"spanish folder", "drwxr-xr-x 2 owner group 4096 dic 24  2023 navidad",
         entry("navidad", true, 0, at(2023, 12, 24))},
        {"italian", "-rw-r--r-- 1 owner group 9 giu 14  2023 estate.txt",
         entry("estate.txt", false, 9, at(2023, 6, 14))},
        {"dutch", "-rw-r--r-- 1 owner group 100 mrt  5  2023 nl.txt", entry("nl.txt", false, 100, at(2023, 3, 5))},
        {"portuguese", "-rw-r--r-- 1 owner group 100 out  5  2023 pt.txt",
         entry("pt.txt", false, 100, at(2023, 10, 5))},
        {"polish", "-rw-r--r-- 1 owner group 100 paź  5  2023 pl.txt", entry("pl.txt", false, 100, at(2023, 10, 5))},
        {"russian", "-rw-r--r-- 1 owner group 100 янв 15 09:00 ru.txt",
         entry("ru.txt", false, 100, at(2024, 1, 15, 9, 0))},
        {"japanese", "-rw-r--r-- 1 owner group 100  3月 14 09:30 資料.txt",
         entry("資料.txt", false, 100, at(2024, 3, 14, 9, 30))},
        {"korean", "-rw-r--r-- 1 owner group 100 12월 31  2023 k.txt", entry("k.txt", false, 100, at(2023, 12, 31))},
        {"shift-jis month", "-rw-r--r-- 1 owner group 100  3\x8c\x8e 14 09:30 sjis.txt",
         entry("sjis.txt", false, 100, at(2024, 3, 14, 9, 30))},
        {"gbk month", "-rw-r--r-- 1 owner group 100 12\xd4\xc2 31  2023 gbk.txt", entry("gbk.txt", false, 100, at(2023, 12, 31))},
        {"euc-kr month and day", "-rw-r--r-- 1 owner group 100  2\xbf\xf9 29\xc0\xcf 10:00 kr.txt",
         entry("kr.txt", false, 100, at(2024, 2, 29, 10, 0))},
        {"german whole month", "-rw-r--r-- 1 owner group 1234 26. Juli, 20:10 sommer.txt",
         entry("sommer.txt", false, 1234, at(2023, 7, 26, 20, 10))},
        {"german dot and comma", "-rw-r--r-- 1 owner group 1234 30. Jan., 12:40 jan.txt",
         entry("jan.txt", false, 1234, at(2024, 1, 30, 12, 40))},
        {"hungarian", "-rw-r--r-- 1 owner group 100 márc  3  2023 hu.txt", entry("hu.txt", false, 100, at(2023, 3, 3))},
        {"hungarian in latin-1", "-rw-r--r-- 1 owner group 100 \xe1pr  7 10:00 hu1.txt",
         entry("hu1.txt", false, 100, at(2023, 4, 7, 10, 0))},
        {"turkish", "-rw-r--r-- 1 owner group 100 haz  5  2023 tr.txt", entry("tr.txt", false, 100, at(2023, 6, 5))},
        {"year.month.day", "-rw-r--r-- 1 owner group 1234 2004.07.15 dotted.txt",
         entry("dotted.txt", false, 1234, at(2004, 7, 15))},
        {"day-month-year and time", "-rw-r--r-- 1 owner group 1234 24-04-2003 17:12 dashed.txt",
         entry("dashed.txt", false, 1234, at(2003, 4, 24, 17, 12))},
        {"day first when both could be the month", "-rw-r--r-- 1 owner group 1234 05-04-2003 17:12 amb.txt",
         entry("amb.txt", false, 1234, at(2003, 4, 5, 17, 12))},
        {"month-day and time", "-rw-r--r--   1 ftp  ftp   2048 03-09 14:30 notes.txt",
         entry("notes.txt", false, 2048, at(2024, 3, 9, 14, 30))},
        {"month-day and year", "drwxr-xr-x   2 ftp  ftp   4096 11-20 2022 archive",
         entry("archive", true, 0, at(2022, 11, 20))},
        {"size with a unit", "-rw-r--r--   1 ftp  ftp  33.5k Mar  9 14:30 small.bin",
         entry("small.bin", false, 34304, at(2024, 3, 9, 14, 30))},
        {"group run into the size", "-rw-r--r--   1 webadmin webgroup12345678 Feb 11 08:00 full.log",
         entry("full.log", false, 12345678, at(2024, 2, 11, 8, 0))},
        {"day-month name-year", "-rw-r--r--   1 ftp ftp 512 01-jun-99 13:45 y2k.txt",
         entry("y2k.txt", false, 512, at(1999, 6, 1, 13, 45))},
        {"day-month name-year, no time", "-rw-r--r--   1 ftp ftp 512 17-Dec-2001 old.txt",
         entry("old.txt", false, 512, at(2001, 12, 17))},
        {"numeric owner, group and date", "-rw-r--r-- 1 1001 1001 512 3 9 14:30 n.txt",
         entry("n.txt", false, 512, at(2024, 3, 9, 14, 30))},
        {"vshell long form", "-rw-r--r--   1 ftp  ftp  48213 Feb 02, 2023 17:45 install.log",
         entry("install.log", false, 48213, at(2023, 2, 2, 17, 45))},
        {"vshell long form, folder", "drwxr-xr-x   1 ftp  ftp  0 Jan 10, 2024 08:00 logs",
         entry("logs", true, 0, at(2024, 1, 10, 8, 0))},
        {"no such day", "-rw-r--r-- 1 owner group 100 31 02 2023 x", std::nullopt},
        {"24:000 is no time", "-rw-r--r-- 1 owner group 12 Mar 10 24:000 x", std::nullopt},
        {"major, minor only for devices", "srwxr-xr-x 1 owner group 1, Mar 10 10:05 x", std::nullopt},
    };
}

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
    void listLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<std::optional<Line>>("expected");
        // UNIX ls -l, as vsftpd, ProFTPD, pure-ftpd and pyftpdlib write it.
        QTest::newRow("unix file with time")
            << QByteArray("-rw-r--r--   1 owner    group        1234 Mar 10 10:05 report.txt")
            << entry("report.txt", false, 1234, at(2024, 3, 10, 10, 5));
        QTest::newRow("unix time in the future is last year")
            << QByteArray("-rw-r--r--   1 owner    group          12 Dec 24 18:30 xmas.txt")
            << entry("xmas.txt", false, 12, at(2023, 12, 24, 18, 30));
        QTest::newRow("unix file with year")
            << QByteArray("-rw-r--r--   1 owner    group        1234 Jan 31  2019 old.zip")
            << entry("old.zip", false, 1234, at(2019, 1, 31));
        QTest::newRow("unix folder") << QByteArray("drwxr-xr-x   2 owner    group        4096 Feb  1 09:00 pub")
                                     << entry("pub", true, 0, at(2024, 2, 1, 9, 0));
        QTest::newRow("unix without group") << QByteArray("-rw-r--r--   1 owner          77 Mar  1  2020 nogroup")
                                            << entry("nogroup", false, 77, at(2020, 3, 1));
        QTest::newRow("unix above 4 GiB")
            << QByteArray("-rw-r--r--   1 ftp      ftp      6442450944 Mar  2 11:11 disk.img")
            << entry("disk.img", false, 6442450944LL, at(2024, 3, 2, 11, 11));
        QTest::newRow("unix name with spaces")
            << QByteArray("-rw-r--r--   1 owner    group           5 Mar  3 08:00 my  summer notes.txt")
            << entry("my  summer notes.txt", false, 5, at(2024, 3, 3, 8, 0));
        QTest::newRow("unix symbolic link")
            << QByteArray("lrwxrwxrwx   1 owner    group          11 Mar  4 07:00 latest -> releases/1.2")
            << link("latest", 11, at(2024, 3, 4, 7, 0));
        QTest::newRow("unix ACL mark and numeric owner")
            << QByteArray("-rw-r--r--+  1 1001     1001          300 Mar  5 06:00 acl.txt")
            << entry("acl.txt", false, 300, at(2024, 3, 5, 6, 0));
        QTest::newRow("unix iso date") << QByteArray("-rw-r--r-- 1 owner group 42 2023-07-08 09:10 iso.txt")
                                       << entry("iso.txt", false, 42, at(2023, 7, 8, 9, 10));
        QTest::newRow("unix total line") << QByteArray("total 1234") << std::optional<Line>();
        // DOS / IIS.
        QTest::newRow("dos folder 12-hour") << QByteArray("01-31-24  10:05AM       <DIR>          Program Files")
                                            << entry("Program Files", true, 0, at(2024, 1, 31, 10, 5));
        QTest::newRow("dos file PM") << QByteArray("02-29-24  12:30PM              5000 noon.txt")
                                     << entry("noon.txt", false, 5000, at(2024, 2, 29, 12, 30));
        QTest::newRow("dos midnight") << QByteArray("02-29-24  12:01AM                 1 night.txt")
                                      << entry("night.txt", false, 1, at(2024, 2, 29, 0, 1));
        QTest::newRow("dos 24-hour four-digit year above 4 GiB")
            << QByteArray("12-31-2023  23:59         5000000000 big.iso")
            << entry("big.iso", false, 5000000000LL, at(2023, 12, 31, 23, 59));
        QTest::newRow("garbage") << QByteArray("this is not a listing line") << std::optional<Line>();
        QTest::newRow("unix cut short") << QByteArray("-rw-r--r--   1 owner group 12 Mar") << std::optional<Line>();
        QTest::newRow("dos bad month") << QByteArray("13-01-24  10:05AM  12 x") << std::optional<Line>();
    }
    void listLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(std::optional<Line>, expected);
        compare(FtpListParser::parseList(line, kNow), expected);
    }

    void formats_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<std::optional<Line>>("expected");
        const std::pair<const char *, QList<Sample>> tables[] = {
            {"eplf", eplf()}, {"netware", netware()}, {"vms", vms()}, {"dos", dos()}, {"unix", unixForms()}, {"pc", pcForms()}, {"ibm", as400()}};
        for (const auto &[format, samples] : tables) {
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
        for (const QList<Sample> &samples : {eplf(), netware(), vms(), dos(), unixForms(), pcForms(), as400()}) {
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
            QCOMPARE(listing.unreadable, unreadable + 1);
            QCOMPARE(listing.entries.size(), expected.size());
            for (qsizetype i = 0; i < expected.size(); ++i)
                compare(listing.entries[i], expected[i]);
        }
    }

    // A long VMS name stands on a line of its own; older versions of a file follow the newest.
    void vmsListing()
    {
        const QByteArray data = "Directory USERS:[JOHN]\r\n\r\n"
                                "A_VERY_LONG_FILE_NAME_THAT_WRAPS.TXT;12\r\n"
                                "                     45/48      1-FEB-2024 23:59:59.12  [JOHN]  (RWED,RWED,,)\r\n"
                                "NOTES.TXT;2          7/9        3-MAR-2024 08:00:00.00  [JOHN]  (RWED,RWED,,)\r\n"
                                "NOTES.TXT;1          5/9        2-MAR-2024 08:00:00.00  [JOHN]  (RWED,RWED,,)\r\n"
                                "ANOTHER_RATHER_LONG_NAME_OF_A_FILE.LIS;1\r\n"
                                "3/3  4-MAR-2024 09:30  [JOHN]  (RWED,RWED,,)\r\n"
                                "ORPHAN.TXT;1\r\n"
                                "\r\nTotal of 4 files, 57/66 blocks.\r\n";
        const auto listing = FtpListParser::parseListing(data, false, kNow);
        QCOMPARE(listing.entries.size(), 3);
        compare(listing.entries[2], *entry("ANOTHER_RATHER_LONG_NAME_OF_A_FILE.LIS", false, 3 * 512, at(2024, 3, 4, 9, 30)));
        compare(listing.entries[0],
                *entry("A_VERY_LONG_FILE_NAME_THAT_WRAPS.TXT", false, 45 * 512, at(2024, 2, 1, 23, 59, 59)));
        compare(listing.entries[1], *entry("NOTES.TXT", false, 7 * 512, at(2024, 3, 3, 8, 0)));
        QCOMPARE(listing.unreadable, 1); // the name without the rest of its entry
    }

    // MVS lists data sets, or the members of one, under a heading that says which.
    void mvsListings()
    {
        const QByteArray dataSets = "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname\r\n"
                                    "USR002 3390   2024/02/28  2    3  VB     255 27998  PS  REPORT.LISTING\r\n"
                                    "USR001 3390   **NONE**    1    1  FB      80  3120  PS  NEVER.READ\r\n"
                                    "Migrated                                            ARCHIVE.OLD\r\n"
                                    "Pseudo Directory                                    PROJECTS\r\n";
        const QByteArray members = " Name     VV.MM   Created       Changed      Size  Init   Mod   Id\r\n"
                                   "PROG02    01.00 2024/01/15 2024/01/15 16:40:12    8     8     0 USERB\r\n"
                                   "LOADMOD\r\n";
        const QByteArray loadLibrary = " Name      Size     TTR   Alias-of AC --------- Attributes ---------\r\n"
                                       "MODA      00000F98 000017           00 FO             RN RU\r\n";
        const QList<std::pair<QByteArray, QList<Line>>> cases = {
            {dataSets,
             {*entry("REPORT.LISTING", false, 0, at(2024, 2, 28)), *entry("NEVER.READ", false, 0, {}),
              *entry("ARCHIVE.OLD", false, 0, {}), *entry("PROJECTS", true, 0, {})}},
            {members, {*entry("PROG02", false, 0, at(2024, 1, 15, 16, 40, 12)), *entry("LOADMOD", false, 0, {})}},
            {loadLibrary, {*entry("MODA", false, 0xF98, {})}},
        };
        for (const auto &[data, expected] : cases) {
            const auto listing = FtpListParser::parseListing(data, false, kNow);
            QCOMPARE(listing.unreadable, 0);
            QCOMPARE(listing.entries.size(), expected.size());
            for (qsizetype i = 0; i < expected.size(); ++i)
                compare(listing.entries[i], expected[i]);
        }
        // Without its heading a lone word is no entry.
        QCOMPARE(FtpListParser::parseListing("LOADMOD\r\n", false, kNow).unreadable, 1);
    }

    void mlsdListingCountsOnlyBrokenLines()
    {
        const auto listing = FtpListParser::parseListing(
            "type=cdir; /pub\r\ntype=pdir; /\r\ntype=file;size=3; a\r\nsize=4; no type\r\nnonsense\r\n", true, kNow);
        QCOMPARE(listing.entries.size(), 1);
        QCOMPARE(listing.unreadable, 2);
    }

    void mlsdLines()
    {
        auto file = FtpListParser::parseMlsd("type=file;size=6442450944;modify=20240131100503;perm=r; a b.txt");
        QVERIFY(file);
        QCOMPARE(file->name, QByteArray("a b.txt"));
        QCOMPARE(file->size, 6442450944LL);
        QCOMPARE(file->lastWrite, QDateTime(QDate(2024, 1, 31), QTime(10, 5, 3), Qt::UTC).toLocalTime());
        auto folder = FtpListParser::parseMlsd("Type=dir;Modify=20240131100503.123;UNIX.mode=0755; sub");
        QVERIFY(folder && folder->isFolder && folder->name == "sub");
        // Some servers put a TAB between the facts and the name.
        auto tabbed = FtpListParser::parseMlsd("type=file;size=12;\tquarterly report.pdf");
        QVERIFY(tabbed && tabbed->name == "quarterly report.pdf" && tabbed->size == 12);
        QVERIFY(!FtpListParser::parseMlsd("type=cdir; /home"));
        QVERIFY(!FtpListParser::parseMlsd("type=pdir; .."));
        QVERIFY(!FtpListParser::parseMlsd("size=12; no type"));
        QVERIFY(!FtpListParser::parseMlsd("nonsense"));
        QCOMPARE(FtpListParser::parseMlsd("type=file;size=-5; minus")->size, 0);
        auto link = FtpListParser::parseMlsd("type=OS.unix=slink:/x;size=3; link");
        QVERIFY(link && !link->isFolder && link->isLink && !link->lastWrite.isValid());
        QVERIFY(FtpListParser::parseMlsd("type=OS.unix=symlink; pub")->isLink);
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
        reader.feed("\r\ntype=file; b\r\ntype=file; c");
        reader.finish();
        QCOMPARE(names, (QList<QByteArray>{"a", "b", "c"}));
        QCOMPARE(reader.unreadable(), 1);
    }

    void splitLinesKeepsTheLastOne()
    {
        QCOMPARE(FtpListParser::splitLines("a\r\nb\n\r\nc"), (QList<QByteArray>{"a", "b", "c"}));
        QCOMPARE(FtpListParser::splitLines(""), QList<QByteArray>());
    }

    void oddLinesNeverCrash()
    {
        QRandomGenerator random(7);
        const QByteArray base = "-rw-r--r--   1 o g 12 Mar 10 10:05 n\r\n01-31-24  10:05AM  <DIR>  d\r\n"
                                "+m825718503,r,s280,\tx\r\nA.TXT;1\r\n 2/3  12-MAR-2024 10:05:33\r\n"
                                "- [RWCEAFMS] o 5 10 M\xc3\xa4r 24:00 y";
        for (int i = 0; i < 2000; ++i) {
            QByteArray line = base;
            for (int k = 0; k < 6; ++k)
                line[random.bounded(int(line.size()))] = char(random.bounded(256));
            line.truncate(random.bounded(int(line.size()) + 1));
            FtpListParser::parseList(line, kNow);
            FtpListParser::parseMlsd(line);
            FtpListParser::parseListing(line, false, kNow);
        }
    }

    void passiveReplies()
    {
        using namespace FtpDataAddress;
        auto a = parsePasv("227 Entering Passive Mode (192,168,1,2,19,137).\r\n");
        QVERIFY(a);
        QCOMPARE(a->address, QHostAddress(QStringLiteral("192.168.1.2")));
        QCOMPARE(a->port, 19 * 256 + 137);
        auto b = parsePasv("227 =10,0,0,1,4,1");
        QVERIFY(b && b->port == 1025);
        QVERIFY(!parsePasv("227 Entering Passive Mode (1,2,3,4,5)."));
        QVERIFY(!parsePasv("227 (300,1,1,1,1,1)"));
        QCOMPARE(parseEpsv("229 Entering Extended Passive Mode (|||6446|)\r\n"), std::optional<quint16>(6446));
        QCOMPARE(parseEpsv("229 ok (!!!21!)"), std::optional<quint16>(21));
        QVERIFY(!parseEpsv("229 (|||0|)"));
        QVERIFY(!parseEpsv("229 (|||70000|)"));
        QVERIFY(!parseEpsv("229 nothing"));
        for (const char *unroutable : {"10.1.2.3", "172.16.0.1", "172.31.255.255", "192.168.0.1", "127.0.0.1",
                                       "0.0.0.0", "169.254.1.1", "100.64.0.1", "fe80::1", "fd00::1", "::1"})
            QVERIFY2(isUnroutable(QHostAddress(QString::fromLatin1(unroutable))), unroutable);
        for (const char *routable : {"8.8.8.8", "172.32.0.1", "192.169.0.1", "2001:db8::1"})
            QVERIFY2(!isUnroutable(QHostAddress(QString::fromLatin1(routable))), routable);
        QCOMPARE(portArgument(QHostAddress(QStringLiteral("127.0.0.1")), 5001), QByteArray("127,0,0,1,19,137"));
        QCOMPARE(eprtArgument(QHostAddress(QStringLiteral("::1")), 5001), QByteArray("|2|::1|5001|"));
        QCOMPARE(eprtArgument(QHostAddress(QStringLiteral("::ffff:127.0.0.1")), 21), QByteArray("|1|127.0.0.1|21|"));
    }

    void patterns()
    {
        QVERIFY(FtpPattern(QStringLiteral("*.*")).matches(QStringLiteral("README")));
        QVERIFY(FtpPattern(QStringLiteral("*.txt")).matches(QStringLiteral("a.b.txt")));
        QVERIFY(!FtpPattern(QStringLiteral("*.txt")).matches(QStringLiteral("a.TXT")));
        QVERIFY(!FtpPattern(QStringLiteral("*.txt")).matches(QStringLiteral("a.txt.bak")));
        QVERIFY(FtpPattern(QStringLiteral("?.c")).matches(QStringLiteral("x.c")));
        QString folder, pattern;
        FtpPattern::split(QStringLiteral("/pub/docs/*.*"), folder, pattern);
        QCOMPARE(folder, QStringLiteral("/pub/docs/"));
        QCOMPARE(pattern, QStringLiteral("*.*"));
        FtpPattern::split(QStringLiteral("*.txt"), folder, pattern);
        QVERIFY(folder.isEmpty());
        QCOMPARE(pattern, QStringLiteral("*.txt"));
        FtpPattern::split(QStringLiteral("/pub"), folder, pattern);
        QCOMPARE(folder, QStringLiteral("/pub"));
        QVERIFY(pattern.isEmpty());
    }

    void namesRoundTrip()
    {
        FtpNameCodec codec;
        QCOMPARE(codec.decode("gr\xc3\xbc\xc3\x9f"
                              "e"),
                 QStringLiteral("grüße"));
        const QString latin = codec.decode("caf\xe9");
        QCOMPARE(latin, QStringLiteral("café"));
        QCOMPARE(codec.encode(QStringLiteral("/dir/café")), QByteArray("/dir/caf\xe9"));
        QCOMPARE(codec.encode(QStringLiteral("grüße")), QByteArray("gr\xc3\xbc\xc3\x9f"
                                                                   "e"));
        codec.clear();
        QCOMPARE(codec.encode(QStringLiteral("café")), QByteArray("caf\xc3\xa9"));
    }
};

QTEST_GUILESS_MAIN(TestFtpListParser)
#include "tst_ftplistparser.moc"
