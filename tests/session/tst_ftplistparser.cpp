// Listing lines of real server families, the addresses of data connections, patterns and names.

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
    return Line{name, folder, size, when};
}

QDateTime at(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

} // namespace

class TestFtpListParser : public QObject
{
    Q_OBJECT

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
            << entry("latest", false, 11, at(2024, 3, 4, 7, 0));
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
        const auto parsed = FtpListParser::parseList(line, kNow);
        QCOMPARE(parsed.has_value(), expected.has_value());
        if (!expected)
            return;
        QCOMPARE(parsed->name, expected->name);
        QCOMPARE(parsed->isFolder, expected->isFolder);
        QCOMPARE(parsed->size, expected->size);
        QCOMPARE(parsed->lastWrite, expected->lastWrite);
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
        QVERIFY(!FtpListParser::parseMlsd("type=cdir; /home"));
        QVERIFY(!FtpListParser::parseMlsd("type=pdir; .."));
        QVERIFY(!FtpListParser::parseMlsd("size=12; no type"));
        QVERIFY(!FtpListParser::parseMlsd("nonsense"));
        auto link = FtpListParser::parseMlsd("type=OS.unix=slink:/x;size=3; link");
        QVERIFY(link && !link->isFolder && !link->lastWrite.isValid());
    }

    void splitLinesKeepsTheLastOne()
    {
        QCOMPARE(FtpListParser::splitLines("a\r\nb\n\r\nc"), (QList<QByteArray>{"a", "b", "c"}));
        QCOMPARE(FtpListParser::splitLines(""), QList<QByteArray>());
    }

    void oddLinesNeverCrash()
    {
        QRandomGenerator random(7);
        const QByteArray base = "-rw-r--r--   1 o g 12 Mar 10 10:05 n\r\n01-31-24  10:05AM  <DIR>  d";
        for (int i = 0; i < 2000; ++i) {
            QByteArray line = base;
            for (int k = 0; k < 6; ++k)
                line[random.bounded(int(line.size()))] = char(random.bounded(256));
            line.truncate(random.bounded(int(line.size()) + 1));
            FtpListParser::parseList(line, kNow);
            FtpListParser::parseMlsd(line);
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
