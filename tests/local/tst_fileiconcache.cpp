#include "FileIconCache.h"

#include <QDir>
#include <QSet>
#include <QTest>

class TestFileIconCache : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpIconTheme(); }
    void manyNamesFewLookups();
    void themeIconsAreUsed();
    void oneTypeSharesOneIcon();
    void withoutATheme();
};

void TestFileIconCache::manyNamesFewLookups()
{
    const QStringList extensions = {"txt", "TXT", "jpg", "png", "tar.gz", "pdf", "html", "xyz",
                                    "sys", "",    "cpp", "mp3", "zip",    "odt", "sh"};
    FileIconCache cache;
    QSet<QString> distinct;
    for (int i = 0; i < 300; ++i) {
        const QString ext = extensions[i % extensions.size()];
        const QString name = QStringLiteral("/data/set%1/file%2").arg(i % 7).arg(i) + (ext.isEmpty() ? "" : "." + ext);
        distinct << ext.section('.', -1);
        QVERIFY2(!cache.fileIcon(name).isNull(), qPrintable(name));
    }
    QCOMPARE(cache.lookups(), distinct.size());

    QVERIFY(!cache.folderIcon().isNull());
    QVERIFY(!cache.folderIcon().isNull());
    QCOMPARE(cache.lookups(), distinct.size() + 1);
}

void TestFileIconCache::themeIconsAreUsed()
{
    if (!QDir("/usr/share/icons/Adwaita").exists())
        QSKIP("the Adwaita icon theme is not installed");
    FileIconCache cache;
    // Theme icons carry their names; the drawn stand-ins have none.
    QVERIFY(!cache.fileIcon("a.txt").name().isEmpty());
    QVERIFY(!cache.fileIcon("a.xyz").name().isEmpty());
    QCOMPARE(cache.folderIcon().name(), QStringLiteral("folder"));
}

void TestFileIconCache::oneTypeSharesOneIcon()
{
    FileIconCache cache;
    const QIcon jpg = cache.fileIcon("a.jpg");
    QCOMPARE(cache.fileIcon("b.jpeg").cacheKey(), jpg.cacheKey());
    QCOMPARE(cache.fileIcon("c.JPG").cacheKey(), jpg.cacheKey());
    QCOMPARE(cache.lookups(), 3);
}

void TestFileIconCache::withoutATheme()
{
    const QString theme = QIcon::themeName();
    QIcon::setThemeName("no-such-theme");
    FileIconCache cache;
    const bool fileShown = !cache.fileIcon("a.txt").isNull();
    const bool folderShown = !cache.folderIcon().isNull();
    QIcon::setThemeName(theme);
    QVERIFY(fileShown);
    QVERIFY(folderShown);
}

QTEST_MAIN(TestFileIconCache)
#include "tst_fileiconcache.moc"
