// Listing local folders on real temporary folders (rows, keys, the filter, totals, sizes, icons),
// paths as the user types them, extensions and types, and what opening a file starts.
#include "FileIconCache.h"
#include "ListText.h"
#include "LocalListing.h"
#include "LocalPaths.h"
#include "RemoteFileWindow.h"
#include "support/TestSupport.h"
#include "variousFunctions.h"

#include <QDir>
#include <QFont>
#include <QMimeDatabase>
#include <QTest>

using namespace TestSupport;
using namespace variousFunctions;

namespace {

QStringList names(const LocalListing &listing)
{
    QStringList out;
    for (const LocalRow &row : listing.rows)
        out << row.name;
    return out;
}

// Records what would have been started; answers as told.
class RecordingOpener : public FileOpener
{
public:
    bool programStarts = true;
    bool desktopOpens = true;
    QStringList calls;

    bool startProgram(const QString &program, const QString &workingFolder) override
    {
        calls << QStringLiteral("program %1 in %2").arg(program, workingFolder);
        return programStarts;
    }
    bool openWithDesktop(const QString &path) override
    {
        calls << QStringLiteral("desktop %1").arg(path);
        return desktopOpens;
    }
};

QString executable(const QString &path, const QByteArray &content)
{
    writeFile(path, content);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

} // namespace

class TestLocalListing : public QObject
{
    Q_OBJECT

    FileIconCache m_icons;

    LocalListing list(const QString &path, const QString &filter = "*.*") { return LocalListing::of(path, filter, m_icons); }

private slots:
    // A name fits its lines whole, else it is shortened in the middle: names that differ only at
    // their ends still look different.
    void longNamesShortenedInTheMiddle()
    {
        const QFont font;
        QCOMPARE(ListText::nameLines("a.txt", font, 100, 1), QStringList("a.txt"));
        const QString name = "sunset-over-the-harbour-" + QString(150, 'x') + "-one.png";
        for (int width : {80, 120, 160, 240}) {
            const QStringList lines = ListText::nameLines(name, font, width, 3);
            QVERIFY2(lines.size() <= 3 && lines.join("").contains(QChar(0x2026)) && lines.join("").endsWith("-one.png"),
                     qPrintable(lines.join('|')));
        }
    }


    void filterComparesTheExtensionExactly()
    {
        TempTree t;
        for (const char *name : {"README.TXT", "notes.txt", "archive.tar.txt"})
            t.file(name);
        t.folder("docs");
        t.folder("old.txt");
        const QString path = t.folder("");
        QCOMPARE(names(list(path, "*.txt")), QStringList({"..", "archive.tar.txt", "notes.txt", "old.txt"}));
        QCOMPARE(names(list(path, "*.TXT")), QStringList({"..", "README.TXT"}));
        QCOMPARE(list(path).count, 5);
    }

    void rowsTotalsAndEntriesThatCannotBeExamined()
    {
        TempTree t;
        t.file("b.txt", QByteArray(1234, 'x'));
        t.file("A.png", {});
        t.file(".hidden");
        t.folder("Sub");
        QVERIFY(QFile::link(t / "gone.txt", t / "dangling.txt"));
        const QString path = t.folder("");
        const LocalListing listing = list(path);
        QCOMPARE(names(listing), QStringList({"..", ".hidden", "A.png", "b.txt", "dangling.txt", "Sub"}));
        const LocalRow &up = listing.rows[0];
        QVERIFY(up.parentRow);
        QCOMPARE(up.key, QFileInfo(t.path()).path());
        QCOMPARE(up.type, QString("Parent directory"));
        QCOMPARE(up.sizeText, QString("4 096"));
        QCOMPARE(up.dateText, QString("-"));

        const LocalRow &file = listing.rows[3];
        QCOMPARE(file.key, path + "b.txt");
        QCOMPARE(file.sizeText, QString("1 234"));
        QCOMPARE(file.lengthText, QString("1234"));
        QVERIFY(!file.folder);
        QCOMPARE(listing.rows[2].sizeText, QString("0"));
        const LocalRow &dangling = listing.rows[4];
        QCOMPARE(dangling.dateText, QString("-"));
        QCOMPARE(dangling.sizeText, QString("0"));
        QVERIFY(!dangling.icon.isNull());
        const LocalRow &sub = listing.rows[5];
        QVERIFY(sub.folder);
        QCOMPARE(sub.type, QString("Directory"));
        QCOMPARE(sub.sizeText, QString("4 096"));

        // Folders count as files, with their lengths.
        const qint64 bytes = 1234 + 4 + QFileInfo(path + "Sub").size();
        QCOMPARE(listing.count, 5);
        QCOMPARE(listing.bytes, bytes);
        QCOMPARE(listing.totalsLine(), QString("Local: 5 files, %1 bytes").arg(bytes));
        const LocalListing missing = list(path + "nowhere/");
        QCOMPARE(names(missing), QStringList{".."});
        QCOMPARE(missing.totalsLine(), QString("Local: 0 files, 0 bytes"));
    }

    void sizesBeyondFourGigabytes()
    {
        TempTree t;
        QFile big(t / "disk.img");
        if (!big.open(QIODevice::WriteOnly) || !big.resize(5'368'709'120LL)) // sparse: takes no room
            QSKIP("this file system has no sparse files");
        big.close();
        const LocalListing listing = list(t.folder(""));
        QCOMPARE(listing.rows[1].sizeText, QString("5 368 709 120"));
        QCOMPARE(listing.bytes, 5'368'709'120LL);
    }

    void sizeTextGroupsDigits()
    {
        const QList<QPair<qint64, QString>> cases = {{-1, "0"},         {0, "0"},           {999, "999"},
                                                     {1000, "1 000"},   {999999, "999 999"}, {1000000, "1 000 000"}};
        for (const auto &[bytes, text] : cases)
            QCOMPARE(ListText::sizeText(bytes), text);
    }

    // One icon lookup per type, not per file.
    void iconsPerType()
    {
        TempTree t;
        const QStringList extensions = {"txt", "TXT", "png", "tar.gz", "pdf", "zip", "cpp", ""};
        for (int i = 0; i < 300; ++i) {
            const QString ext = extensions[i % extensions.size()];
            t.file(QString("file%1").arg(i, 3, 10, QChar('0')) + (ext.isEmpty() ? "" : "." + ext));
        }
        FileIconCache icons;
        const LocalListing listing = LocalListing::of(t.folder(""), "*.*", icons);
        QCOMPARE(listing.count, 300);
        for (const LocalRow &row : listing.rows)
            QVERIFY2(!row.icon.isNull(), qPrintable(row.name));
        QVERIFY(icons.lookups() <= extensions.size() + 1); // with the folder's
        QCOMPARE(icons.fileIcon("b.jpeg").cacheKey(), icons.fileIcon("c.JPG").cacheKey());
        const QString theme = QIcon::themeName(); // without a theme: drawn stand-ins
        QIcon::setThemeName("no-such-theme");
        const bool shown = !FileIconCache().fileIcon("a.txt").isNull() && !FileIconCache().folderIcon().isNull();
        QIcon::setThemeName(theme);
        QVERIFY(shown);
    }

    void pathsAsTheUserTypesThemAndTheRoot()
    {
        // A volume root has no ".." row; the parent of a folder just below the root is the root.
        QVERIFY(LocalPaths::isVolumeRoot("/"));
        const LocalListing root = list("/");
        QVERIFY(!root.rows.isEmpty() && !root.rows.first().parentRow);
        QCOMPARE(LocalPaths::parentKey("/home/"), QString("/"));
        QCOMPARE(LocalPaths::parentKey("/home/user/"), QString("/home"));
        const QList<QPair<QString, QString>> typed = {{"/usr/share//", "/usr/share/"}, {"/usr//share", "/usr/share/"},
                                                      {"/usr/share/../lib", "/usr/lib/"}, {"/", "/"}, {"usr/share", ""},
                                                      {"", ""}, {QString("/a") + QChar(0) + "b", ""}};
        for (const auto &[text, folder] : typed)
            QCOMPARE(LocalPaths::typedFolder(text), folder);
        QCOMPARE(LocalPaths::levels("/a/b/"), QStringList({"/", "/a/", "/a/b/"}));
        QCOMPARE(LocalPaths::fileName("/a/b/"), QString("b"));
        QCOMPARE(LocalPaths::withoutSlash("/"), QString("/"));
        QCOMPARE(LocalPaths::withoutSlash("/a//"), QString("/a"));
        QCOMPARE(LocalPaths::parentFolder("/a/b"), QString("/a/"));
        QCOMPARE(LocalPaths::parentFolder("/a"), QString("/"));
        for (const char *bad : {"", ".", "..", "a/b", "/"})
            QVERIFY2(!LocalPaths::isPlainName(bad), bad);
        QVERIFY(LocalPaths::isPlainName(".hidden") && LocalPaths::isPlainName("..."));
    }

    // The disk's limits exactly (255-byte names, 4096-byte paths with their closing NUL): at the limit
    // a path fits, one byte more does not; a name counts in bytes, where an "é" takes two.
    void lengthLimitsExactly()
    {
        const QString top = QDir::tempPath() + '/';
        QString path = top;
        while (path.size() < 4095 - 200)
            path += QString(199, 'd') + '/';
        path += QString(4095 - path.size(), 'f');
        QVERIFY(LocalPaths::lengthProblem(path).isEmpty());
        QVERIFY(LocalPaths::lengthProblem(path + 'f').contains("too long"));
        QVERIFY(LocalPaths::lengthProblem(top + QString(255, 'n')).isEmpty());
        QVERIFY(LocalPaths::lengthProblem(top + QString(256, 'n')).contains("(256 bytes, at most 255)"));
        QVERIFY(LocalPaths::lengthProblem(top + QString(128, QChar(0xe9))).contains("(256 bytes, at most 255)"));
    }

    void extensionsAndTypes()
    {
        const QString nul(QChar(0));
        const QList<QPair<QString, QString>> extensions = {
            {"README", ""}, {"", ""}, {".bashrc", "bashrc"}, {"archive.tar.gz", "gz"}, {"a.b.TXT", "TXT"},
            {"name.", ""}, {"..", ""}, {"/home/me/v1.2/Makefile", ""}, {"/home/me/v1.2/notes.md", "md"},
            {"photo.JPG" + nul + "junk.txt", "JPG"}, {nul + "a.txt", ""}};
        for (const auto &[name, extension] : extensions)
            QCOMPARE(GetFileExtension(name), extension);
        const QString gzip = QMimeDatabase().mimeTypeForName("application/gzip").comment();
        QVERIFY(!gzip.isEmpty());
        const QList<QPair<QString, QString>> types = {
            {"a.tar.gz", gzip}, {"/srv/a.b.GZ", gzip}, {"a.sys", "System file"}, {"C/DRIVER.SYS", "System file"},
            {"a.xYz", "XYZ file"}, {"Makefile", "File"}, {"name.", "File"}, {"/pub/v1.2/README", "File"}};
        for (int twice = 0; twice < 2; ++twice) { // the second time, the remembered answer
            for (const auto &[name, description] : types)
                QCOMPARE(GetFileTypeDescription(name), description);
        }
    }

    // A document opens with the desktop by its full path; only an executable file is started, in
    // its own folder, and one that cannot start still opens.
    void whatIsOpenedAndWhatIsStarted()
    {
        TempTree t;
        const QString notes = t.file("my notes.txt", "hello\n");
        RecordingOpener opener;
        QVERIFY(OpenWithAssociatedProgram(notes, opener));
        opener.desktopOpens = false;
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(t.path()));
        const bool opened = OpenWithAssociatedProgram("my notes.txt", opener);
        QDir::setCurrent(current);
        QVERIFY(!opened); // the desktop's answer
        QCOMPARE(opener.calls, QStringList({"desktop " + notes, "desktop " + notes}));

        opener.calls.clear();
        const QString run = executable(t / "run me", "#!/bin/sh\n");
        QVERIFY(QFile::setPermissions(t.path(), QFile::permissions(t.path()) | QFileDevice::ExeOwner));
        QVERIFY(OpenWithAssociatedProgram(run, opener));
        QVERIFY(!OpenWithAssociatedProgram(t.path(), opener)); // a folder with the search bit
        QCOMPARE(opener.calls, QStringList({QStringLiteral("program %1 in %2").arg(run, t.path()), "desktop " + t.path()}));

        opener.calls.clear();
        opener.programStarts = false;
        opener.desktopOpens = true;
        QVERIFY(OpenWithAssociatedProgram(run, opener));
        QCOMPARE(opener.calls.last(), "desktop " + run);
        opener.calls.clear();
        QVERIFY(!OpenWithAssociatedProgram(t / "no such file.txt", opener));
        QVERIFY(!OpenWithAssociatedProgram(QString(), opener));
        QVERIFY(opener.calls.isEmpty());
    }

    void realExecutableRunsInItsFolder()
    {
        TempTree t;
        // Writes the marker into its working folder, which must be its own.
        const QString path = executable(t / "tool.sh", "#!/bin/sh\ntouch ran\n");
        DesktopFileOpener opener;
        QVERIFY(OpenWithAssociatedProgram(path, opener));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(t / "ran"), 10000);
    }

    void remoteDoubleClick()
    {
        const QList<QPair<QStringList, RemoteFileWindow>> cases = {
            {{"a.jpg", "b.JPG", "e.pcx", "i.Tga"}, RemoteFileWindow::ImageViewer},
            {{"a.html", "d.PHP3", "k.cgi", "archive.tar.txt"}, RemoteFileWindow::TextEditor},
            {{"a.zip", "README", "jpg", "photo.jpg.gz", "notes.txt.", "a.svg"}, RemoteFileWindow::None}};
        for (const auto &[names, window] : cases) {
            for (const QString &name : names)
                QVERIFY2(remoteFileWindowFor(name) == window, qPrintable(name));
        }
    }
};

QTEST_MAIN(TestLocalListing)
#include "tst_locallisting.moc"
