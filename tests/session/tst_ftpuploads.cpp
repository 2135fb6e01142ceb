// putFile against servers that refuse temporary names or renames, or only claim to rename: the
// server's copy is replaced only by a whole new file, a temporary file of ours never lands on
// another name, and a failure is reported as one.

#include "FakeFolderPeer.h"
#include "FtpSession.h"
#include "support/FtpTestKit.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace FtpTestKit;

class TestFtpUploads : public QObject
{
    Q_OBJECT

private slots:
    void putFileNeverCostsTheServersCopy_data()
    {
        QTest::addColumn<QString>("quirk");
        QTest::addColumn<bool>("oldFile"); // /d/f.bin holds "old" before the upload
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("names"); // in /d/ afterwards
        QTest::addColumn<QString>("sent");      // the commands after login, without TYPE and EPSV (below)
        const QStringList alone{"f.bin"};
        QTest::newRow("renamed") << "" << true << true << alone << "STOR T1,RNFR T1,RNTO F,SIZE F";
        QTest::newRow("no rename over a file")
            << "no-overwrite" << true << true << alone << "STOR T1,RNFR T1,RNTO F,SIZE F,DELE F,RNFR T1,RNTO F,SIZE F";
        QTest::newRow("no hidden names") << "no-dot" << true << true << alone
                                         << "STOR T1,STOR T2,RNFR T2,RNTO F,SIZE F";
        // Nobody to ask: the old file is not replaced in place.
        QTest::newRow("no temporary names, a file there")
            << "no-temp" << true << false << alone << "STOR T1,STOR T2,STOR T3,SIZE F";
        QTest::newRow("no temporary names, a new file")
            << "no-temp" << false << true << alone << "STOR T1,STOR T2,STOR T3,SIZE F,LIST /d/,STOR F";
        QTest::newRow("no room") << "full" << true << false << alone << "STOR T1";
        QTest::newRow("no rename at all") << "no-rename" << true << false << alone << "STOR T1,RNFR T1,SIZE F,DELE T1";
        // 250 to a rename that did not happen: failed, and the temporary file is named, not deleted.
        QTest::newRow("rename only claimed")
            << "claim" << true << false << QStringList{".f.bin.R.vestrigal-upload", "f.bin"}
            << "STOR T1,RNFR T1,RNTO F,SIZE F";
        // The connection goes during the upload: the temporary file cannot be deleted, so it is named.
        QTest::newRow("connection lost") << "drop-stor" << true << false << alone << "STOR T1";
        // A folder of that name is never deleted.
        QTest::newRow("a folder in the way")
            << "folder" << false << false << alone << "STOR T1,RNFR T1,RNTO F,SIZE F,LIST /d/,SIZE F,LIST /d/,DELE T1";
    }
    void putFileNeverCostsTheServersCopy()
    {
        QFETCH(QString, quirk);
        QFETCH(bool, oldFile);
        QFETCH(bool, ok);
        QFETCH(QStringList, names);
        QFETCH(QString, sent);
        FakeFolderPeer peer;
        peer.quirks = {quirk};
        peer.targets = {"/d/f.bin"};
        if (oldFile)
            peer.files.insert("/d/f.bin", "old");
        if (quirk == "folder")
            peer.folders.insert("/d/f.bin");
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        QSignalSpy notices(&session, &FtpSession::notice);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("f.bin"), "new contents"));
        QCOMPARE(session.putFile(dir.filePath("f.bin"), "/d/f.bin", FtpTransferType::Binary), ok);
        // T1, T2, T3: the temporary names tried in turn; F: the target.
        sent.replace("T1", "/d/.f.bin.R.vestrigal-upload").replace("T2", "/d/f.bin.R.vestrigal-upload");
        QCOMPARE(peer.transcript(), sent.replace("T3", "/d/R.tmp").replace(" F", " /d/f.bin").split(','));
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
        FakeFolderPeer peer;
        peer.files.insert("/d/.f.bin.vestrigal-upload", "someone else's");
        FtpSession session;
        QVERIFY(session.open(peer.options()));
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("f.bin"), "new contents"));
        QVERIFY(session.putFile(dir.filePath("f.bin"), "/d/f.bin", FtpTransferType::Binary));
        QVERIFY(session.putFile(dir.filePath("f.bin"), "/d/f.bin", FtpTransferType::Binary));
        QCOMPARE(peer.contents("/d/f.bin"), QByteArray("new contents"));
        QCOMPARE(peer.contents("/d/.f.bin.vestrigal-upload"), QByteArray("someone else's"));
        QCOMPARE(peer.namesIn("/d/"), QStringList({".f.bin.vestrigal-upload", "f.bin"}));
        QList<QByteArray> stored;
        for (const QByteArray &c : peer.commands())
            if (c.startsWith("STOR "))
                stored << c;
        QCOMPARE(stored.size(), 2);
        QVERIFY2(stored[0] != stored[1], stored.join(", ").constData());
    }
};

QTEST_GUILESS_MAIN(TestFtpUploads)
#include "tst_ftpuploads.moc"
