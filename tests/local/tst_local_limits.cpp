// The local core at its edges: digit grouping at every width, paths at the root, names that are
// not plain, extensions behind a dotted folder, and what may be started as a program.
#include "FileIconCache.h"
#include "FileOpener.h"
#include "ListText.h"
#include "LocalListing.h"
#include "LocalPaths.h"
#include "variousFunctions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

class RecordingOpener : public FileOpener
{
public:
    QStringList started, opened;
    bool startProgram(const QString &program, const QString &) override
    {
        started << program;
        return true;
    }
    bool openWithDesktop(const QString &path) override
    {
        opened << path;
        return true;
    }
};

} // namespace

class TestLocalLimits : public QObject
{
    Q_OBJECT

private slots:
    void sizeTextAtEveryWidth_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("negative") << qint64(-1) << "0";
        QTest::newRow("0") << qint64(0) << "0";
        QTest::newRow("99") << qint64(99) << "99";
        QTest::newRow("999") << qint64(999) << "999";
        QTest::newRow("1000") << qint64(1000) << "1 000";
        QTest::newRow("999999") << qint64(999999) << "999 999";
        QTest::newRow("1000000") << qint64(1000000) << "1 000 000";
        QTest::newRow("4 GiB") << qint64(4294967296LL) << "4 294 967 296";
    }
    void sizeTextAtEveryWidth()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(ListText::sizeText(bytes), text);
    }

    void pathsAtTheRoot()
    {
        QCOMPARE(LocalPaths::withoutSlash("/"), QStringLiteral("/"));
        QCOMPARE(LocalPaths::withoutSlash("/a//"), QStringLiteral("/a"));
        QCOMPARE(LocalPaths::parentFolder("/a"), QStringLiteral("/"));
        QCOMPARE(LocalPaths::parentFolder("/a/b/"), QStringLiteral("/a/"));
        QCOMPARE(LocalPaths::typedFolder("relative/path"), QString());
        QCOMPARE(LocalPaths::typedFolder("/a/../b"), QStringLiteral("/b/"));
        for (const char *name : {"", ".", "..", "a/b"})
            QVERIFY2(!LocalPaths::isPlainName(QString::fromLatin1(name)), name);
        QVERIFY(LocalPaths::isPlainName("..."));
        QVERIFY(LocalPaths::isPlainName(".hidden"));
    }

    void extensionsAndTypes()
    {
        using namespace variousFunctions;
        QCOMPARE(GetFileExtension("/dir.d/file"), QString());
        QCOMPARE(GetFileExtension("/dir.d/file.txt"), QStringLiteral("txt"));
        QCOMPARE(CutAtNull(QChar(0) + QStringLiteral("x")), QString());
        QCOMPARE(GetFileTypeDescription("A.SYS"), QStringLiteral("System file"));
        QCOMPARE(GetFileTypeDescription("a.sys"), QStringLiteral("System file"));
    }

    // Only a file is ever started as a program; a folder with the search bit opens with the desktop.
    void onlyFilesAreStarted()
    {
        QTemporaryDir dir;
        RecordingOpener opener;
        QVERIFY(variousFunctions::OpenWithAssociatedProgram(dir.path(), opener));
        QVERIFY(opener.started.isEmpty());
        QCOMPARE(opener.opened.size(), 1);
        const QString script = dir.filePath("run.sh");
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(variousFunctions::OpenWithAssociatedProgram(script, opener));
        QCOMPARE(opener.started, QStringList{script});
    }

    void theRootHasNoParentRow()
    {
        FileIconCache icons;
        const LocalListing root = LocalListing::of("/", "*.*", icons);
        for (const LocalRow &row : root.rows)
            QVERIFY(!row.parentRow);
        QTemporaryDir dir;
        const LocalListing below = LocalListing::of(dir.path(), "*.*", icons);
        QVERIFY(!below.rows.isEmpty() && below.rows.first().parentRow);
    }
};

QTEST_MAIN(TestLocalLimits)
#include "tst_local_limits.moc"
