// Listing local folders on real temporary folders: rows, keys, the filter, totals, sizes and paths.
#include "FileIconCache.h"
#include "ListText.h"
#include "LocalListing.h"
#include "LocalPaths.h"
#include "variousFunctions.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TestLocalListing : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString folder(const QString &name) const
    {
        const QString path = m_dir.path() + "/" + name + "/";
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }
    static void write(const QString &path, const QByteArray &content = {})
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    static QStringList names(const LocalListing &listing)
    {
        QStringList out;
        for (const LocalRow &row : listing.rows)
            out << row.name;
        return out;
    }

private slots:
    void parentRowAndKeys()
    {
        const QString path = folder("keys/inner");
        write(path + "a.txt", "hello");
        FileIconCache icons;
        const LocalListing listing = LocalListing::of(path, "*.*", icons);
        QCOMPARE(names(listing), QStringList({"..", "a.txt"}));
        const LocalRow &up = listing.rows[0];
        QVERIFY(up.parentRow);
        QCOMPARE(up.key, m_dir.path() + "/keys");
        QCOMPARE(up.sizeText, QString("4 096"));
        QCOMPARE(up.type, QString("Parent directory"));
        QCOMPARE(up.dateText, QString("-"));
        QCOMPARE(up.lengthText, QString("4096"));
        QCOMPARE(listing.rows[1].key, path + "a.txt");
        QCOMPARE(listing.count, 1);

        // A volume root has no ".." row; the parent of a folder just below the root is the root.
        QVERIFY(LocalPaths::isVolumeRoot("/"));
        const LocalListing root = LocalListing::of("/", "*.*", icons);
        QVERIFY(!root.rows.isEmpty());
        QVERIFY(!root.rows.first().parentRow);
        QCOMPARE(LocalPaths::parentKey("/home/"), QString("/"));
        QCOMPARE(LocalPaths::parentKey("/home/user/"), QString("/home"));
    }

    void filterComparesTheExtensionExactly()
    {
        const QString path = folder("filter");
        write(path + "README.TXT");
        write(path + "notes.txt");
        write(path + "archive.tar.txt");
        QDir().mkdir(path + "docs");
        QDir().mkdir(path + "old.txt");
        FileIconCache icons;
        QCOMPARE(names(LocalListing::of(path, "*.txt", icons)),
                 QStringList({"..", "archive.tar.txt", "notes.txt", "old.txt"}));
        QCOMPARE(names(LocalListing::of(path, "*.TXT", icons)), QStringList({"..", "README.TXT"}));
        QCOMPARE(LocalListing::of(path, "*.*", icons).count, 5);
    }

    void rowsOfFilesAndFoldersByName()
    {
        const QString path = folder("rows");
        write(path + "b.txt", QByteArray(1234, 'x'));
        write(path + "A.png");
        write(path + ".hidden");
        QDir().mkdir(path + "Sub");
        FileIconCache icons;
        const LocalListing listing = LocalListing::of(path, "*.*", icons);
        QCOMPARE(names(listing), QStringList({"..", ".hidden", "A.png", "b.txt", "Sub"}));

        const LocalRow &file = listing.rows[3];
        QCOMPARE(file.sizeText, QString("1 234"));
        QCOMPARE(file.size, 1234);
        QCOMPARE(file.lengthText, QString("1234"));
        QCOMPARE(file.type, variousFunctions::GetFileTypeDescription("b.txt"));
        QCOMPARE(file.modified, QFileInfo(path + "b.txt").lastModified());
        QCOMPARE(file.dateText, ListText::dateText(file.modified));
        QVERIFY(!file.folder);
        QCOMPARE(listing.rows[2].sizeText, QString("0"));

        const LocalRow &sub = listing.rows[4];
        QVERIFY(sub.folder);
        QCOMPARE(sub.type, QString("Directory"));
        QCOMPARE(sub.sizeText, QString("4 096"));
        QCOMPARE(sub.dateText, QString("-"));
        QCOMPARE(sub.lengthText, QString::number(QFileInfo(path + "Sub").size()));
    }

    void totalsCountFoldersAndTheirLengths()
    {
        const QString path = folder("totals");
        QDir().mkdir(path + "one");
        QDir().mkdir(path + "two");
        write(path + "file.bin", QByteArray(10, 'x'));
        FileIconCache icons;
        const LocalListing listing = LocalListing::of(path, "*.*", icons);
        const qint64 bytes = 10 + QFileInfo(path + "one").size() + QFileInfo(path + "two").size();
        QCOMPARE(listing.count, 3);
        QCOMPARE(listing.bytes, bytes);
        QCOMPARE(listing.totalsLine(), QString("Local: 3 files, %1 bytes").arg(bytes));

        const LocalListing missing = LocalListing::of(path + "nowhere/", "*.*", icons);
        QCOMPARE(names(missing), QStringList{".."});
        QCOMPARE(missing.totalsLine(), QString("Local: 0 files, 0 bytes"));
    }

    void sizesBeyondFourGigabytes()
    {
        const QString path = folder("big");
        QFile big(path + "disk.img");
        QVERIFY(big.open(QIODevice::WriteOnly));
        if (!big.resize(5'368'709'120LL)) // sparse: takes no room
            QSKIP("this file system has no sparse files");
        big.close();
        write(path + "small.txt", "x");
        FileIconCache icons;
        const LocalListing listing = LocalListing::of(path, "*.*", icons);
        QCOMPARE(listing.rows[1].sizeText, QString("5 368 709 120"));
        QCOMPARE(listing.rows[1].size, 5'368'709'120LL);
        QCOMPARE(listing.bytes, 5'368'709'121LL);
    }

    void entriesThatCannotBeExaminedStillGiveARow()
    {
        const QString path = folder("broken");
        QVERIFY(QFile::link(path + "gone.txt", path + "dangling.txt"));
        FileIconCache icons;
        const LocalListing listing = LocalListing::of(path, "*.*", icons);
        QCOMPARE(names(listing), QStringList({"..", "dangling.txt"}));
        QCOMPARE(listing.rows[1].dateText, QString("-"));
        QCOMPARE(listing.rows[1].sizeText, QString("0"));
        QVERIFY(!listing.rows[1].icon.isNull());
    }

    void threeHundredFilesEachWithItsIcon()
    {
        const QString path = folder("many");
        const QStringList extensions = {"txt", "png", "pdf", "zip", "cpp", ""};
        for (int i = 0; i < 300; ++i) {
            const QString ext = extensions[i % extensions.size()];
            write(path + QString("file%1").arg(i, 3, 10, QChar('0')) + (ext.isEmpty() ? "" : "." + ext));
        }
        FileIconCache icons;
        const LocalListing listing = LocalListing::of(path, "*.*", icons);
        QCOMPARE(listing.count, 300);
        for (const LocalRow &row : listing.rows)
            QVERIFY2(!row.icon.isNull(), qPrintable(row.name));
        QVERIFY(icons.lookups() <= extensions.size() + 1); // per type, not per file
    }

    void pathsAsTheUserTypesThem()
    {
        QCOMPARE(LocalPaths::typedFolder("/usr/share//"), QString("/usr/share/"));
        QCOMPARE(LocalPaths::typedFolder("/usr//share"), QString("/usr/share/"));
        QCOMPARE(LocalPaths::typedFolder("/usr/share/../lib"), QString("/usr/lib/"));
        QCOMPARE(LocalPaths::typedFolder("/"), QString("/"));
        QCOMPARE(LocalPaths::typedFolder("usr/share"), QString());
        QCOMPARE(LocalPaths::typedFolder(""), QString());
        QCOMPARE(LocalPaths::levels("/a/b/"), QStringList({"/", "/a/", "/a/b/"}));
        QCOMPARE(LocalPaths::fileName("/a/b/"), QString("b"));
        QCOMPARE(LocalPaths::parentFolder("/a/b"), QString("/a/"));
        for (const char *bad : {"", ".", "..", "a/b", "/"})
            QVERIFY2(!LocalPaths::isPlainName(bad), bad);
        QVERIFY(LocalPaths::isPlainName(".hidden"));
    }
};

QTEST_MAIN(TestLocalListing)
#include "tst_locallisting.moc"
