// Local operations against folders and files that really are read-only (immutable when the tests
// run as root): each fails, says so, and leaves everything as it was. Moves to another volume
// whose original cannot be deleted leave no second copy behind.
#include "LocalFileMove.h"
#include "LocalOperations.h"
#include "LocalPaths.h"
#include "LocalTrash.h"
#include "support/ReadOnlyPath.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace LocalOperations;

namespace {

class NoTrash : public LocalTrash
{
public:
    bool volumeHasTrash(const QString &) const override { return false; }
    bool moveToTrash(const QString &) override { return false; }
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void write(const QString &path, const QByteArray &content = "data")
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
}

QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// A folder on another volume than the temporary folder, or an empty text.
QString otherVolume()
{
    const QString shm = QStringLiteral("/dev/shm");
    if (!QFileInfo(shm).isWritable() || QStorageInfo(shm) == QStorageInfo(QDir::tempPath()))
        return QString();
    return shm;
}

} // namespace

class TestLocalOperationsFailures : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString folder(const QString &name)
    {
        const QString path = m_dir.path() + "/" + name + "/";
        QDir().mkpath(path);
        return path;
    }

private slots:
    void deleteRenameAndCreateInAReadOnlyFolder()
    {
        const QString locked = folder("locked");
        write(locked + "a.txt", "A");
        QVERIFY(QDir().mkdir(locked + "sub"));
        const QString open = folder("open");
        write(open + "b.txt", "B");
        NoTrash trash;
        READ_ONLY_OR_SKIP(readOnly, locked);

        QVERIFY(!deleteEntry(locked + "a.txt", trash));
        QVERIFY(!deleteEntry(locked + "sub", trash));
        // The other entries of a selection still go; a folder among them is reported.
        QVERIFY(deleteEntries({locked + "sub/", locked + "a.txt", open + "b.txt"}, trash));
        QVERIFY(!QFileInfo::exists(open + "b.txt"));
        QVERIFY(renameEntry(locked + "a.txt", locked, "renamed.txt").isEmpty());
        QVERIFY(!createFolder(locked, "new"));
        if (readOnly.stopsOwner())
            QVERIFY(!RemoveLocalFolder(locked)); // an owner's read-only folder is opened up and emptied
        QCOMPARE(namesIn(locked), (QStringList{"a.txt", "sub"}));
        QCOMPARE(contentOf(locked + "a.txt"), QByteArray("A"));
    }

    // Removal stops at the first entry that stays; that entry and its folder are still there.
    void removeFolderWithAnEntryThatStays()
    {
        const QString top = folder("tree");
        write(top + "keep.txt", "K");
        NoTrash trash;
        READ_ONLY_OR_SKIP(readOnly, top + "keep.txt");
        if (!readOnly.stopsOwner())
            QSKIP("without root a read-only file is deleted with its folder's rights");
        QVERIFY(!RemoveLocalFolder(top));
        QVERIFY(!deleteEntry(top, trash));
        QCOMPARE(contentOf(top + "keep.txt"), QByteArray("K"));
    }

    // A link to a folder is removed as a link; what it points to stays whole.
    void removingALinkToAFolderKeepsTheFolder()
    {
        const QString target = folder("target");
        write(target + "precious.txt", "P");
        const QString link = m_dir.path() + "/link";
        QVERIFY(QFile::link(LocalPaths::withoutSlash(target), link));
        QVERIFY(RemoveLocalFolder(link + "/"));
        QVERIFY(!QFileInfo(link).isSymLink());
        QCOMPARE(contentOf(target + "precious.txt"), QByteArray("P"));
    }

    void createAndMoveOntoWhatExists()
    {
        const QString parent = folder("parent");
        QVERIFY(createFolder(parent, "x"));
        QVERIFY(!createFolder(parent, "x")); // already there
        const QString empty = folder("parent/empty");
        const QString moving = folder("parent/moving");
        write(moving + "m.txt", "M");
        QVERIFY(!placerDossier(moving, LocalPaths::withoutSlash(empty)));
        QCOMPARE(contentOf(moving + "m.txt"), QByteArray("M"));
        QVERIFY(QFileInfo(empty).isDir());
    }

    void moveToAnotherVolumeWhoseOriginalCannotBeDeleted_data()
    {
        QTest::addColumn<QString>("locked"); // relative to the folder moved: "" itself, ".." its parent
        QTest::newRow("read-only source folder") << "";
        QTest::newRow("read-only parent of the source") << "..";
        QTest::newRow("read-only folder inside") << "sub";
    }
    // Not "moved" with the files in both places: the failure is reported, the original is whole
    // and the other volume holds no copy.
    void moveToAnotherVolumeWhoseOriginalCannotBeDeleted()
    {
        QFETCH(QString, locked);
        const QString shm = otherVolume();
        if (shm.isEmpty())
            QSKIP("no second writable volume here");
        QTemporaryDir other(shm + "/vestrigal-XXXXXX");
        const QString from = folder(QStringLiteral("src-%1/cross").arg(QTest::currentDataTag()));
        write(from + "a.txt", "A");
        QVERIFY(QDir().mkpath(from + "sub"));
        write(from + "sub/b.txt", "B");
        READ_ONLY_OR_SKIP(readOnly, QDir::cleanPath(from + locked));
        if (!locked.startsWith("..") && !readOnly.stopsOwner())
            QSKIP("without root the owner's read-only folders are opened up and deleted, as they should be");

        QVERIFY(!placerDossier(from, other.path() + "/"));
        QCOMPARE(namesIn(other.path()), QStringList{});
        QCOMPARE(contentOf(from + "a.txt"), QByteArray("A"));
        QCOMPARE(contentOf(from + "sub/b.txt"), QByteArray("B"));
    }

    // The folders allow the removal, but a file in the tree stays: the original is whole again,
    // so the copy goes and the move is reported as failed.
    void moveToAnotherVolumeWhoseFileStays()
    {
        const QString shm = otherVolume();
        if (shm.isEmpty())
            QSKIP("no second writable volume here");
        QTemporaryDir other(shm + "/vestrigal-XXXXXX");
        const QString from = folder("file-stays");
        write(from + "a.txt", "A");
        READ_ONLY_OR_SKIP(readOnly, from + "a.txt");
        if (!readOnly.stopsOwner())
            QSKIP("without root a read-only file is deleted with its folder's rights");
        QVERIFY(!placerDossier(from, other.path() + "/"));
        QCOMPARE(namesIn(other.path()), QStringList{});
        QCOMPARE(contentOf(from + "a.txt"), QByteArray("A"));
    }

    // What a move to another volume keeps: the folder's mode, the files' times.
    void moveToAnotherVolumeKeepsModesAndTimes()
    {
        const QString shm = otherVolume();
        if (shm.isEmpty())
            QSKIP("no second writable volume here");
        QTemporaryDir other(shm + "/vestrigal-XXXXXX");
        const QString from = folder("private");
        write(from + "old.txt", "O");
        const QDateTime then = QDateTime::currentDateTime().addDays(-400);
        {
            QFile file(from + "old.txt");
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(then, QFileDevice::FileModificationTime));
        }
        const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QVERIFY(QFile::setPermissions(from, mode));
        QVERIFY(placerDossier(from, other.path() + "/"));
        const QString moved = other.path() + "/private/";
        QCOMPARE(QFile::permissions(moved) & 0x7077, mode); // the owner's rights, nothing for others
        QCOMPARE(QFileInfo(moved + "old.txt").lastModified().toSecsSinceEpoch(), then.toSecsSinceEpoch());
        QVERIFY(!QFileInfo::exists(from));
    }

    // One file: a rename on the same volume, a copy across; an original that cannot go leaves no
    // second copy either way.
    void moveAFileWhoseOriginalCannotBeDeleted()
    {
        const QString source = folder("file-source");
        write(source + "f.txt", "F");
        const QString sameVolume = folder("file-target");
        QTemporaryDir other(otherVolume().isEmpty() ? QDir::tempPath() + "/x-XXXXXX"
                                                    : otherVolume() + "/vestrigal-XXXXXX");
        READ_ONLY_OR_SKIP(readOnly, source);
        QCOMPARE(LocalFileMove::moveInto(source + "f.txt", sameVolume), LocalFileMove::Result::Failed);
        QCOMPARE(namesIn(sameVolume), QStringList{});
        if (!otherVolume().isEmpty()) {
            QCOMPARE(LocalFileMove::moveInto(source + "f.txt", other.path()), LocalFileMove::Result::Failed);
            QCOMPARE(namesIn(other.path()), QStringList{});
        }
        QCOMPARE(contentOf(source + "f.txt"), QByteArray("F"));
    }

    // Into a read-only folder nothing arrives and the original stays.
    void moveIntoAReadOnlyFolder()
    {
        const QString source = folder("into-source");
        write(source + "g.txt", "G");
        const QString target = folder("into-target");
        READ_ONLY_OR_SKIP(readOnly, target);
        QCOMPARE(LocalFileMove::moveInto(source + "g.txt", target), LocalFileMove::Result::Failed);
        QVERIFY(!placerDossier(source, target));
        QCOMPARE(contentOf(source + "g.txt"), QByteArray("G"));
        QCOMPARE(namesIn(target), QStringList{});
    }
};

QTEST_MAIN(TestLocalOperationsFailures)
#include "tst_localoperations_failures.moc"
