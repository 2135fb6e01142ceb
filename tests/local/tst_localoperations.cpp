// Local file operations on real temporary folders: deleting (to the trash or for good), renaming,
// creating and moving folders and files. One that fails (also against entries that really are
// read-only: immutable when the tests run as root) says so and leaves everything as it was, with
// no second copy anywhere.
#include "LocalFileMove.h"
#include "LocalOperations.h"
#include "LocalPaths.h"
#include "LocalTrash.h"
#include "support/ReadOnlyPath.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QTest>

#include <optional>
#include <sys/stat.h>

using namespace LocalOperations;
using namespace TestSupport;
using Move = LocalFileMove::Result;

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

// A folder with hidden, read-only and nested entries, and a link to a folder outside it.
void fillTree(const QString &top, const QString &outside)
{
    for (const char *name : {".hidden", "readonly.txt", "sub/.secret"})
        QVERIFY(writeFile(top + name));
    QVERIFY(writeFile(top + "sub/deeper/file.txt", "deep"));
    QFile::setPermissions(top + "readonly.txt", QFileDevice::ReadOwner);
    QFile::setPermissions(top + "sub", QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(QFile::link(outside, top + "outside-link"));
    QVERIFY(QFile::link("sub/deeper/file.txt", top + "inner-link"));
}

} // namespace

// A temporary folder on another volume, or the test is skipped.
#define OTHER_VOLUME_OR_SKIP(var)                                                                                      \
    if (otherVolume().isEmpty())                                                                                       \
        QSKIP("no second writable volume here");                                                                       \
    TempTree var(otherVolume() + "/vestrigal-XXXXXX")

class TestLocalOperations : public QObject
{
    Q_OBJECT

    TempTree m_home; // the desktop's trash of these tests

private slots:
    void initTestCase()
    {
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_DATA_HOME", (m_home / ".local/share").toUtf8());
    }

    void deletingPutsEntriesIntoTheTrash()
    {
        TempTree t;
        const QString a = t.file("a.txt", "first");
        t.file("dir/inner/b.txt", "second");
        LocalTrash trash;
        QVERIFY(trash.volumeHasTrash(a)); // the home volume
        QVERIFY(deleteEntry(a, trash));
        QVERIFY(deleteEntries({t / "dir"}, trash)); // a folder was among them
        QVERIFY(!QFileInfo::exists(a) && !QFileInfo::exists(t / "dir"));
        // Where the user finds them again, with what the desktop needs to put them back.
        const QString files = m_home / ".local/share/Trash/files/";
        QCOMPARE(contentOf(files + "a.txt"), QByteArray("first"));
        QCOMPARE(contentOf(files + "dir/inner/b.txt"), QByteArray("second"));
        QVERIFY(QFileInfo::exists(m_home / ".local/share/Trash/info/a.txt.trashinfo"));
    }

    // Without a trash everything goes for good, but never what links point to.
    void withoutATrashForGoodAndAFailingTrashKeepsTheFile()
    {
        TempTree t;
        const QString outside = t.folder("outside");
        t.file("outside/precious.txt");
        const QString top = t.folder("victim");
        fillTree(top, outside);
        QVERIFY(QFile::link(t / "gone", t / "dangling"));
        QVERIFY(QFile::link(t / "outside", t / "link"));
        FakeTrash trash;
        trash.hasTrash = false;
        // A folder then files: still reported as holding a folder.
        QVERIFY(deleteEntries({LocalPaths::withoutSlash(top), t.file("file.txt"), t / "dangling"}, trash));
        QVERIFY(!RemoveLocalFolder(top)); // gone already
        QVERIFY(RemoveLocalFolder(t / "link/"));
        QVERIFY(trash.trashed.isEmpty());
        QCOMPARE(namesIn(t.path()), QStringList{"outside"});
        QCOMPARE(contentOf(outside + "precious.txt"), QByteArray("data"));

        trash.hasTrash = true;
        trash.moves = false;
        t.file("kept.txt", "kept");
        QVERIFY(!deleteEntry(t / "kept.txt", trash));
        QCOMPARE(trash.trashed, QStringList{t / "kept.txt"});
        QCOMPARE(contentOf(t / "kept.txt"), QByteArray("kept"));
        QVERIFY(!deleteEntry(t / "missing.txt", trash));
        QVERIFY(!deleteEntry("/", trash)); // a volume is never deleted from a list
    }

    void renameAndCreateNeverReplaceAnything()
    {
        TempTree t;
        const QString path = t.folder("");
        t.file("a.txt", "A");
        t.file("b.txt", "B");
        t.file("full/x", "X");
        t.folder("empty");
        QVERIFY(QFile::link(path + "nowhere", path + "dangling"));

        QCOMPARE(renameEntry(path + "a.txt", path, "b.txt"), QString());
        QCOMPARE(renameEntry(path + "full", path, "empty"), QString()); // a plain rename would replace it
        QCOMPARE(renameEntry(path + "a.txt", path, "dangling"), QString());
        for (const char *bad : {"", "..", "full/a.txt", "."})
            QCOMPARE(renameEntry(path + "a.txt", path, bad), QString());
        QVERIFY(QFileInfo(path + "dangling").isSymLink());
        QCOMPARE(contentOf(path + "a.txt"), QByteArray("A"));
        QCOMPARE(contentOf(path + "b.txt"), QByteArray("B"));
        QCOMPARE(contentOf(path + "full/x"), QByteArray("X"));

        QCOMPARE(renameEntry(path + "a.txt", path, "c.txt"), path + "c.txt");
        QCOMPARE(contentOf(path + "c.txt"), QByteArray("A"));
        QCOMPARE(renameEntry(path + "full", path, "Full Name"), path + "Full Name");
        QCOMPARE(contentOf(path + "Full Name/x"), QByteArray("X"));

        QVERIFY(createFolder(path, "new"));
        for (const QString &bad : {QString("new"), QString("b.txt"), QString("new/inner"), QString("a") + QChar(0)})
            QVERIFY2(!createFolder(path, bad), qPrintable(bad));
        QCOMPARE(namesIn(path), (QStringList{"Full Name", "b.txt", "c.txt", "dangling", "empty", "new"}));
        QCOMPARE(namesIn(path + "new"), QStringList{});
        QVERIFY(!createFolder(path + "missing/", "x"));
    }

    void placerDossierMovesWholeFolders()
    {
        TempTree t;
        const QString path = t.folder("");
        t.file("src/inner/f.txt", "F");
        t.folder("target");
        QVERIFY(placerDossier(path + "src", path + "target/")); // into the folder, keeping its name
        QCOMPARE(contentOf(path + "target/src/inner/f.txt"), QByteArray("F"));
        QVERIFY(placerDossier(path + "target/src/", path + "renamed"));
        // Beside itself under a longer name: not "into itself".
        QVERIFY(placerDossier(path + "renamed", path + "renamed2"));

        t.folder("taken");
        QVERIFY(!placerDossier(path + "renamed2", path + "taken"));
        QVERIFY(!placerDossier(path + "renamed2", path + "renamed2/inner/x")); // not into itself
        QVERIFY(!placerDossier(path + "nothing", path + "elsewhere"));
        QCOMPARE(contentOf(path + "renamed2/inner/f.txt"), QByteArray("F"));
        QCOMPARE(namesIn(path + "taken"), QStringList{});
    }

    void movingByCopyKeepsContentTimesModesAndLinks()
    {
        TempTree t;
        const QString outside = t.folder("outside");
        const QString from = t.folder("copy-from");
        fillTree(from, outside);
        const QDateTime old = QDateTime::currentDateTime().addDays(-30);
        QFile hidden(from + ".hidden");
        QVERIFY(hidden.open(QIODevice::ReadWrite) && hidden.setFileTime(old, QFileDevice::FileModificationTime));
        hidden.close();
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QVERIFY(QFile::setPermissions(from, mode));
        const QString to = t / "copy-to";
        QVERIFY(moveByCopy(from, to));
        QVERIFY(!QFileInfo::exists(from));
        QCOMPARE(QFile::permissions(to) & 0x7077, mode); // the owner's rights, nothing for others
        QCOMPARE(contentOf(to + "/sub/deeper/file.txt"), QByteArray("deep"));
        QVERIFY(QFileInfo::exists(to + "/sub/.secret"));
        QCOMPARE(QFileInfo(to + "/.hidden").lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
        QCOMPARE(QFileInfo(to + "/inner-link").symLinkTarget(), to + "/sub/deeper/file.txt");
        QCOMPARE(QFileInfo(to + "/outside-link").symLinkTarget(), QDir::cleanPath(outside));

        // A pipe is not copied: the move fails half way, the copy goes again, the original stays.
        QVERIFY(::mkfifo(QFile::encodeName(to + "/pipe").constData(), 0600) == 0);
        QVERIFY(!moveByCopy(to, from));
        QVERIFY(!QFileInfo::exists(from));
        QCOMPARE(contentOf(to + "/sub/deeper/file.txt"), QByteArray("deep"));
        QVERIFY(!moveByCopy(to, t / "no/such/parent"));
    }

    void readOnlyFolderRefusesDeleteRenameAndCreate()
    {
        TempTree t;
        const QString locked = t.folder("locked");
        t.file("locked/a.txt", "A");
        t.folder("locked/sub");
        const QString open = t.file("open/b.txt", "B");
        FakeTrash trash;
        trash.hasTrash = false;
        READ_ONLY_OR_SKIP(readOnly, locked);

        QVERIFY(!deleteEntry(locked + "a.txt", trash));
        QVERIFY(!deleteEntry(locked + "sub", trash));
        // The other entries of a selection still go; a folder among them is reported.
        QVERIFY(deleteEntries({locked + "sub/", locked + "a.txt", open}, trash));
        QVERIFY(!QFileInfo::exists(open));
        QVERIFY(renameEntry(locked + "a.txt", locked, "renamed.txt").isEmpty());
        QVERIFY(!createFolder(locked, "new"));
        if (readOnly.stopsOwner())
            QVERIFY(!RemoveLocalFolder(locked)); // an owner's read-only folder is opened up and emptied
        QCOMPARE(namesIn(locked), (QStringList{"a.txt", "sub"}));
        QCOMPARE(contentOf(locked + "a.txt"), QByteArray("A"));

        // Removal stops at the first entry that stays; that entry and its folder are still there.
        const QString keep = t.file("tree/keep.txt", "K");
        READ_ONLY_OR_SKIP(readOnlyFile, keep);
        if (!readOnlyFile.stopsOwner())
            QSKIP("without root a read-only file is deleted with its folder's rights");
        QVERIFY(!RemoveLocalFolder(t / "tree"));
        QVERIFY(!deleteEntry(t / "tree", trash));
        QCOMPARE(contentOf(keep), QByteArray("K"));
    }

    void moveToAnotherVolume_data()
    {
        QTest::addColumn<QString>("locked"); // relative to the folder moved: "" itself, ".." its parent
        QTest::newRow("moved") << "-";
        QTest::newRow("read-only source folder") << "";
        QTest::newRow("read-only parent of the source") << "..";
        QTest::newRow("read-only folder inside") << "sub";
        QTest::newRow("read-only file: the copy goes again") << "a.txt";
    }
    // An original that cannot be deleted is not "moved" with the files in both places: the failure
    // is reported, the original is whole and the other volume holds no copy.
    void moveToAnotherVolume()
    {
        QFETCH(QString, locked);
        OTHER_VOLUME_OR_SKIP(other);
        TempTree t;
        const QString from = t.folder("src/cross");
        t.file("src/cross/a.txt", "A");
        const bool moves = locked == "-";
        const bool lone = locked == "a.txt"; // a file that stays must be the only one, or part went
        if (!lone)
            t.file("src/cross/sub/b.txt", "B");
        std::optional<ReadOnlyPath> readOnly;
        if (!moves) {
            readOnly.emplace(QDir::cleanPath(from + locked));
            if (!readOnly->ok())
                QSKIP(qPrintable(readOnly->why()));
            if (locked != ".." && !readOnly->stopsOwner())
                QSKIP("without root the owner's read-only entries are opened up and deleted, as they should be");
        }
        QCOMPARE(placerDossier(from, other.path() + "/"), moves);
        QCOMPARE(namesIn(other.path()), moves ? QStringList{"cross"} : QStringList{});
        const QString now = moves ? other / "cross/" : from;
        QCOMPARE(contentOf(now + "a.txt"), QByteArray("A"));
        QCOMPARE(contentOf(now + "sub/b.txt"), lone ? QByteArray("<missing>") : QByteArray("B"));
        QCOMPARE(QFileInfo::exists(from), !moves);
    }

    // One file: a hard link or rename on the same volume, a checked copy across; a name taken in
    // the target is never overwritten.
    void movingAFile()
    {
        TempTree t;
        const QString target = t.folder("target");
        const QString a = t.file("a.txt", "A");
        QCOMPARE(LocalFileMove::moveInto(a, target), Move::Moved);
        QCOMPARE(namesIn(t.path()), QStringList{"target"});
        QCOMPARE(contentOf(target + "a.txt"), QByteArray("A"));
        t.file("a.txt", "second");
        QCOMPARE(LocalFileMove::moveInto(a, target), Move::Taken);
        QCOMPARE(LocalFileMove::moveInto(a, t / "missing"), Move::Failed);
        QCOMPARE(LocalFileMove::moveInto(t / "nothing.txt", target), Move::Failed);
        QCOMPARE(contentOf(a), QByteArray("second"));
        QCOMPARE(contentOf(target + "a.txt"), QByteArray("A"));

        OTHER_VOLUME_OR_SKIP(other);
        const QByteArray data(3 * 1024 * 1024 + 7, 'z');
        const QString big = t.file("big.bin", data);
        QCOMPARE(LocalFileMove::moveInto(big, other.path()), Move::Moved);
        QVERIFY(!QFile::exists(big));
        QCOMPARE(contentOf(other / "big.bin"), data);
        QCOMPARE(namesIn(other.path()), QStringList({"big.bin"})); // no partial copy left
    }

    // Out of a read-only folder (to this volume or another) or into one: nothing arrives, the
    // original stays.
    void movingAFileThatCannotGo()
    {
        TempTree t;
        const QString source = t.folder("source");
        t.file("source/f.txt", "F");
        const QString sameVolume = t.folder("target");
        const QString locked = t.folder("locked");
        TempTree other(otherVolume().isEmpty() ? QDir::tempPath() + "/x-XXXXXX" : otherVolume() + "/vestrigal-XXXXXX");
        READ_ONLY_OR_SKIP(readOnlyTarget, locked);
        QCOMPARE(LocalFileMove::moveInto(source + "f.txt", locked), Move::Failed);
        QVERIFY(!placerDossier(source, locked));
        QCOMPARE(namesIn(locked), QStringList{});
        READ_ONLY_OR_SKIP(readOnly, source);
        QCOMPARE(LocalFileMove::moveInto(source + "f.txt", sameVolume), Move::Failed);
        QCOMPARE(LocalFileMove::moveInto(source + "f.txt", other.path()), Move::Failed);
        QCOMPARE(namesIn(sameVolume), QStringList{});
        QCOMPARE(namesIn(other.path()), QStringList{});
        QCOMPARE(contentOf(source + "f.txt"), QByteArray("F"));
    }
};

QTEST_MAIN(TestLocalOperations)
#include "tst_localoperations.moc"
