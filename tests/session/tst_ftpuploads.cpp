// putFile against servers that refuse temporary names or renames, or only claim to rename: the
// server's copy is replaced only by a whole new file, a temporary file of ours never lands on
// another name, and a failure is reported as one.

#include "FakeFolderPeer.h"
#include "FtpSession.h"
#include "TestFtpServer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

FtpOptions optionsFor(const QString &host, quint16 port, const QString &user = QStringLiteral("user"),
                      const QString &password = QStringLiteral("pw"))
{
    FtpOptions o;
    o.host = host;
    o.port = port;
    o.user = user;
    o.password = password;
    o.timeoutMs = 5000;
    return o;
}

bool writeText(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

class TestFtpUploads : public QObject
{
    Q_OBJECT

private slots:
    void putFileNeverCostsTheServersCopy_data()
    {
        QTest::addColumn<QString>("quirk");
        QTest::addColumn<bool>("oldFile");  // /d/f.bin holds "old" before the upload
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("names"); // in /d/ afterwards
        QTest::addColumn<QStringList>("sent");  // the commands after login, without TYPE and EPSV
        const QString t1 = "/d/.f.bin.R.vestrigal-upload", t2 = "/d/f.bin.R.vestrigal-upload", t3 = "/d/R.tmp";
        const QString f = "/d/f.bin";
        const QStringList alone{"f.bin"};
        QTest::newRow("renamed") << "" << true << true << alone
                                 << QStringList{"STOR " + t1, "RNFR " + t1, "RNTO " + f, "SIZE " + f};
        QTest::newRow("no rename over a file")
            << "no-overwrite" << true << true << alone
            << QStringList{"STOR " + t1, "RNFR " + t1, "RNTO " + f, "SIZE " + f, "DELE " + f, "RNFR " + t1,
                           "RNTO " + f, "SIZE " + f};
        QTest::newRow("no hidden names") << "no-dot" << true << true << alone
                                         << QStringList{"STOR " + t1, "STOR " + t2, "RNFR " + t2, "RNTO " + f,
                                                        "SIZE " + f};
        // Nobody to ask: the old file is not replaced in place.
        QTest::newRow("no temporary names, a file there")
            << "no-temp" << true << false << alone << QStringList{"STOR " + t1, "STOR " + t2, "STOR " + t3, "SIZE " + f};
        QTest::newRow("no temporary names, a new file")
            << "no-temp" << false << true << alone
            << QStringList{"STOR " + t1, "STOR " + t2, "STOR " + t3, "SIZE " + f, "LIST /d/", "STOR " + f};
        QTest::newRow("no room") << "full" << true << false << alone << QStringList{"STOR " + t1};
        QTest::newRow("no rename at all") << "no-rename" << true << false << alone
                                          << QStringList{"STOR " + t1, "RNFR " + t1, "SIZE " + f, "DELE " + t1};
        // 250 to a rename that did not happen: failed, and the temporary file is named, not deleted.
        QTest::newRow("rename only claimed") << "claim" << true << false << QStringList{".f.bin.R.vestrigal-upload", "f.bin"}
                                             << QStringList{"STOR " + t1, "RNFR " + t1, "RNTO " + f, "SIZE " + f};
        // The connection goes during the upload: the temporary file cannot be deleted, so it is named.
        QTest::newRow("connection lost") << "drop-stor" << true << false << alone << QStringList{"STOR " + t1};
        // A folder of that name is never deleted.
        QTest::newRow("a folder in the way")
            << "folder" << false << false << alone
            << QStringList{"STOR " + t1, "RNFR " + t1, "RNTO " + f, "SIZE " + f, "LIST /d/", "SIZE " + f, "LIST /d/",
                           "DELE " + t1};
    }
    void putFileNeverCostsTheServersCopy()
    {
        QFETCH(QString, quirk);
        QFETCH(bool, oldFile);
        QFETCH(bool, ok);
        QFETCH(QStringList, names);
        QFETCH(QStringList, sent);
        FakeFolderPeer peer;
        peer.quirks = {quirk};
        peer.targets = {"/d/f.bin"};
        if (oldFile)
            peer.files.insert("/d/f.bin", "old");
        if (quirk == "folder")
            peer.folders.insert("/d/f.bin");
        FtpSession session;
        QVERIFY(session.open(optionsFor("127.0.0.1", peer.port())));
        QSignalSpy notices(&session, &FtpSession::notice);
        QTemporaryDir dir;
        QVERIFY(writeText(dir.filePath("f.bin"), "new contents"));
        QCOMPARE(session.putFile(dir.filePath("f.bin"), "/d/f.bin", FtpTransferType::Binary), ok);
        QCOMPARE(peer.transcript(), sent);
        QCOMPARE(peer.namesIn("/d/"), names);
        if (quirk != "folder")
            QCOMPARE(peer.contents("/d/f.bin"), ok ? QByteArray("new contents") : QByteArray(oldFile ? "old" : ""));
        if (quirk == "claim" || quirk == "drop-stor") // the temporary file, named
            QVERIFY(!notices.isEmpty() &&
                    notices.last().at(0).toString().contains(QRegularExpression("/d/\\.f\\.bin\\.[a-z0-9]{12}\\.")));
        if (!ok)
            QVERIFY(!session.lastResponseInfo().isEmpty());
    }

    // The temporary name is this upload's own: a file already there under the old fixed name is
    // left alone, and two uploads of one file never share a name.
    void theTemporaryNameIsNeverAnotherFile()
    {
        QTemporaryDir dir;
        const QString record = dir.filePath("commands.txt");
        TestFtpServer server({"--commands", record});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QVERIFY(server.writeFile(".f.bin.vestrigal-upload", "someone else's"));
        FtpSession session;
        QVERIFY(session.open(optionsFor(server.host(), server.port(), server.user(), server.password())));
        QVERIFY(writeText(dir.filePath("f.bin"), "new contents"));
        QVERIFY(session.putFile(dir.filePath("f.bin"), "/f.bin", FtpTransferType::Binary));
        QVERIFY(session.putFile(dir.filePath("f.bin"), "/f.bin", FtpTransferType::Binary));
        QCOMPARE(server.readFile("f.bin"), QByteArray("new contents"));
        QCOMPARE(server.readFile(".f.bin.vestrigal-upload"), QByteArray("someone else's"));
        QCOMPARE(QDir(server.rootPath()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({".f.bin.vestrigal-upload", "f.bin"}));
        QFile commands(record);
        QVERIFY(commands.open(QIODevice::ReadOnly));
        const QStringList stored = QString::fromUtf8(commands.readAll()).split('\n').filter("STOR ");
        QCOMPARE(stored.size(), 2);
        QVERIFY2(stored[0] != stored[1], qPrintable(stored.join(", ")));
    }
};

QTEST_GUILESS_MAIN(TestFtpUploads)
#include "tst_ftpuploads.moc"
