// Moving a file into another folder never loses it and never overwrites anything.
#include "LocalFileMove.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestLocalFileMove : public QObject
{
    Q_OBJECT

    static void write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(data);
    }
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void movesAndRefusesToOverwrite()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("target"));
        write(dir.filePath("a.txt"), "A");
        QCOMPARE(LocalFileMove::moveInto(dir.filePath("a.txt"), dir.filePath("target")), LocalFileMove::Result::Moved);
        QVERIFY(!QFile::exists(dir.filePath("a.txt")));
        QCOMPARE(read(dir.filePath("target/a.txt")), QByteArray("A"));

        write(dir.filePath("a.txt"), "second");
        QCOMPARE(LocalFileMove::moveInto(dir.filePath("a.txt"), dir.filePath("target/")), LocalFileMove::Result::Taken);
        QCOMPARE(read(dir.filePath("a.txt")), QByteArray("second"));
        QCOMPARE(read(dir.filePath("target/a.txt")), QByteArray("A"));

        QCOMPARE(LocalFileMove::moveInto(dir.filePath("a.txt"), dir.filePath("missing")),
                 LocalFileMove::Result::Failed);
        QCOMPARE(LocalFileMove::moveInto(dir.filePath("nothing.txt"), dir.filePath("target")),
                 LocalFileMove::Result::Failed);
        QCOMPARE(read(dir.filePath("a.txt")), QByteArray("second"));
    }

    void acrossFileSystemsCopiesThenDeletes()
    {
        if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            QSKIP("no second file system to move across");
        QTemporaryDir disk;
        QTemporaryDir memory(QStringLiteral("/dev/shm/vestrigal-move-XXXXXX"));
        QVERIFY(memory.isValid());
        const QByteArray data(3 * 1024 * 1024 + 7, 'z');
        write(disk.filePath("big.bin"), data);
        QCOMPARE(LocalFileMove::moveInto(disk.filePath("big.bin"), memory.path()), LocalFileMove::Result::Moved);
        QVERIFY(!QFile::exists(disk.filePath("big.bin")));
        QCOMPARE(read(memory.filePath("big.bin")), data);
        QCOMPARE(QDir(memory.path()).entryList(QDir::Files), QStringList({"big.bin"})); // no partial copy left
    }
};

QTEST_MAIN(TestLocalFileMove)
#include "tst_localfilemove.moc"
