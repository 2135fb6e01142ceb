// Local file operations on real temporary folders: deleting (to the trash or for good), renaming,
// creating and moving folders, with nothing lost when an operation fails.
#include "LocalOperations.h"
#include "LocalPaths.h"
#include "LocalTrash.h"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace LocalOperations;

namespace {

// A trash that records what it is given and answers as told.
class FakeTrash : public LocalTrash
{
public:
    bool hasTrash = true;
    bool moves = true;
    QStringList trashed;

    bool volumeHasTrash(const QString &) const override { return hasTrash; }
    bool moveToTrash(const QString &path) override
    {
        trashed << path;
        return moves && QFile::moveToTrash(path);
    }
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestLocalOperations : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_home;

    QString folder(const QString &name) const
    {
        const QString path = m_dir.path() + "/" + name + "/";
        QDir().mkpath(path);
        return path;
    }
    static void write(const QString &path, const QByteArray &content = "data")
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // A folder with hidden, read-only and nested entries, and a link to a folder outside it.
    void fillTree(const QString &top, const QString &outside)
    {
        QVERIFY(QDir().mkpath(top + "sub/deeper"));
        write(top + ".hidden");
        write(top + "readonly.txt");
        QFile::setPermissions(top + "readonly.txt", QFileDevice::ReadOwner);
        write(top + "sub/deeper/file.txt", "deep");
        write(top + "sub/.secret");
        QFile::setPermissions(top + "sub", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QVERIFY(QFile::link(outside, top + "outside-link"));
        QVERIFY(QFile::link("sub/deeper/file.txt", top + "inner-link"));
    }

private slots:
    void initTestCase()
    {
        // The desktop's trash of these tests lives in their own home.
        m_home = m_dir.path() + "/home";
        QDir().mkpath(m_home);
        qputenv("HOME", m_home.toUtf8());
        qputenv("XDG_DATA_HOME", (m_home + "/.local/share").toUtf8());
    }

    void removeLocalFolderTakesEverythingButWhatLinksPointTo()
    {
        const QString outside = folder("keep-me");
        write(outside + "precious.txt");
        const QString top = folder("remove");
        fillTree(top, outside);
        QVERIFY(RemoveLocalFolder(top));
        QVERIFY(!QFileInfo::exists(top));
        QCOMPARE(contentOf(outside + "precious.txt"), QByteArray("data"));
        QVERIFY(!RemoveLocalFolder(top)); // gone already
    }

    void deletingPutsEntriesIntoTheTrash()
    {
        const QString path = folder("trash-me");
        write(path + "a.txt", "first");
        QVERIFY(QDir().mkpath(path + "dir/inner"));
        write(path + "dir/inner/b.txt", "second");
        LocalTrash trash;
        QVERIFY(trash.volumeHasTrash(path + "a.txt")); // the home volume
        QVERIFY(deleteEntry(path + "a.txt", trash));
        QVERIFY(deleteEntries({path + "dir"}, trash)); // a folder was among them
        QVERIFY(!QFileInfo::exists(path + "a.txt"));
        QVERIFY(!QFileInfo::exists(path + "dir"));
        // Where the user finds them again, with what the desktop needs to put them back.
        const QString files = m_home + "/.local/share/Trash/files/";
        QCOMPARE(contentOf(files + "a.txt"), QByteArray("first"));
        QCOMPARE(contentOf(files + "dir/inner/b.txt"), QByteArray("second"));
        QVERIFY(QFileInfo::exists(m_home + "/.local/share/Trash/info/a.txt.trashinfo"));
    }

    void withoutATrashEntriesAreDeletedForGood()
    {
        const QString outside = folder("outside2");
        write(outside + "precious.txt");
        const QString top = folder("no-trash/victim");
        fillTree(top, outside);
        write(m_dir.path() + "/no-trash/file.txt");
        FakeTrash trash;
        trash.hasTrash = false;
        QVERIFY(deleteEntries({LocalPaths::withoutSlash(top), m_dir.path() + "/no-trash/file.txt"}, trash));
        QVERIFY(trash.trashed.isEmpty());
        QVERIFY(!QFileInfo::exists(top));
        QVERIFY(!QFileInfo::exists(m_dir.path() + "/no-trash/file.txt"));
        QVERIFY(QFileInfo::exists(outside + "precious.txt"));
    }

    void aTrashThatFailsKeepsTheFile()
    {
        const QString path = folder("refused");
        write(path + "a.txt", "kept");
        FakeTrash trash;
        trash.moves = false;
        QVERIFY(!deleteEntry(path + "a.txt", trash));
        QCOMPARE(trash.trashed, QStringList{path + "a.txt"});
        QCOMPARE(contentOf(path + "a.txt"), QByteArray("kept"));
        QVERIFY(!deleteEntry(path + "missing.txt", trash));
        QVERIFY(!deleteEntry("/", trash)); // a volume is never deleted from a list
    }

    void renameNeverReplacesAnything()
    {
        const QString path = folder("rename");
        write(path + "a.txt", "A");
        write(path + "b.txt", "B");
        QVERIFY(QDir().mkdir(path + "full"));
        write(path + "full/x", "X");
        QVERIFY(QDir().mkdir(path + "empty"));

        QCOMPARE(renameEntry(path + "a.txt", path, "b.txt"), QString());
        QCOMPARE(contentOf(path + "a.txt"), QByteArray("A"));
        QCOMPARE(contentOf(path + "b.txt"), QByteArray("B"));
        QCOMPARE(renameEntry(path + "full", path, "empty"), QString()); // a plain rename would replace it
        QCOMPARE(contentOf(path + "full/x"), QByteArray("X"));
        for (const char *bad : {"", "..", "full/a.txt", "."})
            QCOMPARE(renameEntry(path + "a.txt", path, bad), QString());
        QCOMPARE(contentOf(path + "a.txt"), QByteArray("A"));

        QCOMPARE(renameEntry(path + "a.txt", path, "c.txt"), path + "c.txt");
        QCOMPARE(contentOf(path + "c.txt"), QByteArray("A"));
        QCOMPARE(renameEntry(path + "full", path, "Full Name"), path + "Full Name");
        QCOMPARE(contentOf(path + "Full Name/x"), QByteArray("X"));
    }

    void createFolderRefusesTakenAndOddNames()
    {
        const QString path = folder("mkdir");
        QVERIFY(createFolder(path, "new"));
        QVERIFY(QFileInfo(path + "new").isDir());
        QVERIFY(!createFolder(path, "new"));
        write(path + "file");
        QVERIFY(!createFolder(path, "file"));
        QVERIFY(!createFolder(path, "new/inner"));
        QVERIFY(!QFileInfo::exists(path + "new/inner"));
        QVERIFY(!createFolder(path + "missing/", "x"));
    }

    void placerDossierMovesWholeFolders()
    {
        const QString path = folder("move");
        QVERIFY(QDir().mkpath(path + "src/inner"));
        write(path + "src/inner/f.txt", "F");
        QVERIFY(QDir().mkpath(path + "target"));

        QVERIFY(placerDossier(path + "src", path + "target/")); // into the folder, keeping its name
        QCOMPARE(contentOf(path + "target/src/inner/f.txt"), QByteArray("F"));
        QVERIFY(placerDossier(path + "target/src/", path + "renamed"));
        QCOMPARE(contentOf(path + "renamed/inner/f.txt"), QByteArray("F"));

        QVERIFY(QDir().mkpath(path + "taken"));
        QVERIFY(!placerDossier(path + "renamed", path + "taken"));
        QVERIFY(!placerDossier(path + "renamed", path + "renamed/inner/x")); // not into itself
        QVERIFY(!placerDossier(path + "nothing", path + "elsewhere"));
        QCOMPARE(contentOf(path + "renamed/inner/f.txt"), QByteArray("F"));
    }

    void movingByCopyKeepsContentTimesAndLinks()
    {
        const QString outside = folder("outside3");
        const QString from = folder("copy-from");
        fillTree(from, outside);
        const QDateTime old = QDateTime::currentDateTime().addDays(-30);
        {
            QFile f(from + ".hidden");
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        const QString to = m_dir.path() + "/copy-to";
        QVERIFY(moveByCopy(from, to));
        QVERIFY(!QFileInfo::exists(from));
        QCOMPARE(contentOf(to + "/sub/deeper/file.txt"), QByteArray("deep"));
        QVERIFY(QFileInfo::exists(to + "/sub/.secret"));
        QCOMPARE(QFileInfo(to + "/.hidden").lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
        QCOMPARE(QFileInfo(to + "/inner-link").symLinkTarget(), to + "/sub/deeper/file.txt");
        QCOMPARE(QFileInfo(to + "/outside-link").symLinkTarget(), QDir::cleanPath(outside));
    }

    void aCopyThatFailsLeavesTheOriginal()
    {
        const QString from = folder("with-pipe");
        write(from + "a.txt", "A");
        QVERIFY(::mkfifo(QFile::encodeName(from + "pipe").constData(), 0600) == 0);
        const QString to = m_dir.path() + "/pipe-copy";
        QVERIFY(!moveByCopy(from, to));
        QVERIFY(!QFileInfo::exists(to));
        QCOMPARE(contentOf(from + "a.txt"), QByteArray("A"));
        QVERIFY(!moveByCopy(from, m_dir.path() + "/no/such/parent"));
    }

    void movingToAnotherVolume()
    {
        const QString shm = "/dev/shm";
        if (!QFileInfo(shm).isWritable() || QStorageInfo(shm) == QStorageInfo(m_dir.path()))
            QSKIP("no second writable volume here");
        QTemporaryDir other(shm + "/vestrigal-XXXXXX");
        const QString from = folder("cross");
        write(from + "a.txt", "A");
        QVERIFY(placerDossier(from, other.path() + "/"));
        QCOMPARE(contentOf(other.path() + "/cross/a.txt"), QByteArray("A"));
        QVERIFY(!QFileInfo::exists(from));
    }
};

QTEST_MAIN(TestLocalOperations)
#include "tst_localoperations.moc"
