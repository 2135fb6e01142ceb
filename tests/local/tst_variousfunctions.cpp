#include "RemoteFileWindow.h"
#include "variousFunctions.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTest>

using namespace variousFunctions;

namespace {

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

QString writeFile(const QString &path, const QByteArray &content, bool executable)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
    if (executable)
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

QString mimeComment(const QString &mimeName)
{
    return QMimeDatabase().mimeTypeForName(mimeName).comment();
}

} // namespace

Q_DECLARE_METATYPE(RemoteFileWindow)

class TestVariousFunctions : public QObject
{
    Q_OBJECT

private slots:
    void extension_data();
    void extension();
    void cutAtNull();
    void typeDescription_data();
    void typeDescription();
    void openerGetsTheFullPath();
    void executableIsStartedItself();
    void executableThatCannotStartOpensWithTheDesktop();
    void missingFileOpensNothing();
    void realExecutableRuns();
    void remoteDoubleClick_data();
    void remoteDoubleClick();
};

void TestVariousFunctions::extension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addRow("no dot") << "README"
                            << "";
    QTest::addRow("empty") << ""
                           << "";
    QTest::addRow("only dot at start") << ".bashrc"
                                       << "bashrc";
    QTest::addRow("several dots") << "archive.tar.gz"
                                  << "gz";
    QTest::addRow("case kept") << "a.b.TXT"
                               << "TXT";
    QTest::addRow("trailing dot") << "name."
                                  << "";
    QTest::addRow("dots") << ".."
                          << "";
    QTest::addRow("dot in a folder only") << "/home/me/v1.2/Makefile"
                                          << "";
    QTest::addRow("dots in folders and name") << "/home/me/v1.2/notes.md"
                                              << "md";
    QTest::addRow("cut at NUL") << QStringLiteral("photo.JPG") + QChar(0) + QStringLiteral("junk.txt") << "JPG";
}

void TestVariousFunctions::extension()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QCOMPARE(GetFileExtension(name), extension);
}

void TestVariousFunctions::cutAtNull()
{
    const QChar nul(0);
    QCOMPARE(CutAtNull(QStringLiteral("abc") + nul + QStringLiteral("def") + nul), QStringLiteral("abc"));
    QCOMPARE(CutAtNull(nul + QStringLiteral("abc")), QString());
    QCOMPARE(CutAtNull(QStringLiteral("abc")), QStringLiteral("abc"));
    QCOMPARE(CutAtNull(QString()), QString());
}

void TestVariousFunctions::typeDescription_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addRow("text") << "a.txt" << mimeComment("text/plain");
    QTest::addRow("capital extension") << "/srv/a.b.TXT" << mimeComment("text/plain");
    QTest::addRow("by the last extension only") << "a.tar.gz" << mimeComment("application/gzip");
    QTest::addRow("sys") << "a.sys"
                         << "System file";
    QTest::addRow("SYS") << "C/DRIVER.SYS"
                         << "System file";
    QTest::addRow("unknown extension") << "a.xyz"
                                       << "XYZ file";
    QTest::addRow("unknown, mixed case") << "a.xYz"
                                         << "XYZ file";
    QTest::addRow("no extension") << "Makefile"
                                  << "File";
    QTest::addRow("trailing dot") << "name."
                                  << "File";
    QTest::addRow("dotted folder") << "/pub/v1.2/README"
                                   << "File";
}

void TestVariousFunctions::typeDescription()
{
    QFETCH(QString, name);
    QFETCH(QString, description);
    QVERIFY(!description.isEmpty());
    QCOMPARE(GetFileTypeDescription(name), description);
    QCOMPARE(GetFileTypeDescription(name), description); // the remembered answer is the same
}

void TestVariousFunctions::openerGetsTheFullPath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeFile(dir.filePath("my notes.txt"), "hello\n", false);
    QVERIFY(!path.isEmpty());

    RecordingOpener opener;
    QVERIFY(OpenWithAssociatedProgram(path, opener));
    QCOMPARE(opener.calls, QStringList{"desktop " + path});

    // A relative path is opened by its full path; the desktop's answer is the result.
    opener.calls.clear();
    opener.desktopOpens = false;
    const QString current = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const bool opened = OpenWithAssociatedProgram("my notes.txt", opener);
    QDir::setCurrent(current);
    QVERIFY(!opened);
    QCOMPARE(opener.calls, QStringList{"desktop " + path});
}

void TestVariousFunctions::executableIsStartedItself()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("run me"), "#!/bin/sh\n", true);
    RecordingOpener opener;
    QVERIFY(OpenWithAssociatedProgram(path, opener));
    QCOMPARE(opener.calls, QStringList{QStringLiteral("program %1 in %2").arg(path, dir.path())});
}

void TestVariousFunctions::executableThatCannotStartOpensWithTheDesktop()
{
    QTemporaryDir dir;
    const QString path = writeFile(dir.filePath("notes.txt"), "text on a disk that marks all executable\n", true);
    RecordingOpener opener;
    opener.programStarts = false;
    QVERIFY(OpenWithAssociatedProgram(path, opener));
    QCOMPARE(opener.calls.size(), 2);
    QCOMPARE(opener.calls.last(), "desktop " + path);
}

void TestVariousFunctions::missingFileOpensNothing()
{
    RecordingOpener opener;
    QVERIFY(!OpenWithAssociatedProgram(QDir::tempPath() + "/no such file.txt", opener));
    QVERIFY(!OpenWithAssociatedProgram(QString(), opener));
    QVERIFY(opener.calls.isEmpty());
}

void TestVariousFunctions::realExecutableRuns()
{
    QTemporaryDir dir;
    const QString marker = dir.filePath("ran");
    // Writes the marker into its working folder, which must be its own.
    const QString path = writeFile(dir.filePath("tool.sh"), "#!/bin/sh\ntouch ran\n", true);
    DesktopFileOpener opener;
    QVERIFY(OpenWithAssociatedProgram(path, opener));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 10000);
}

void TestVariousFunctions::remoteDoubleClick_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<RemoteFileWindow>("window");
    for (const char *image : {"a.jpg", "b.JPG", "c.gif", "d.bmp", "e.pcx", "f.jpeg", "g.ico", "h.png", "i.Tga"})
        QTest::addRow("%s", image) << image << RemoteFileWindow::ImageViewer;
    for (const char *text : {"a.html", "b.css", "c.php", "d.PHP3", "e.shtml", "f.htm", "g.dhtml", "h.asp", "i.js",
                             "j.aspx", "k.cgi", "l.pl", "m.txt", "archive.tar.txt"})
        QTest::addRow("%s", text) << text << RemoteFileWindow::TextEditor;
    for (const char *other : {"a.zip", "README", "jpg", "photo.jpg.gz", "notes.txt.", "a.svg"})
        QTest::addRow("%s", other) << other << RemoteFileWindow::None;
}

void TestVariousFunctions::remoteDoubleClick()
{
    QFETCH(QString, name);
    QFETCH(RemoteFileWindow, window);
    QCOMPARE(remoteFileWindowFor(name), window);
}

QTEST_GUILESS_MAIN(TestVariousFunctions)
#include "tst_variousfunctions.moc"
