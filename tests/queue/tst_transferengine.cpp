// The engine against a scripted server: downloads that end badly (a 4xx reply after part of the
// data, fewer bytes than the listing or the 150 reply announced, in either mode) are reported as
// failed and never touch the file that was there; an ASCII download that is shorter here only
// because its CRs were taken out is whole.
#include "FtpSession.h"
#include "QueueModel.h"
#include "RecordingTransferHost.h"
#include "TransferEngine.h"
#include "session/ScriptedFtpPeer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

using Peer = ScriptedFtpPeer;

using RecordingHost = RecordingTransferHost;

class TestTransferEngine : public QObject
{
    Q_OBJECT

private slots:
    void downloadsThatEndBadlyFailAndKeepTheFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("listed");
        QTest::addColumn<QList<Peer::Step>>("script");
        QTest::addColumn<QByteArray>("result"); // the file afterwards; empty = the old one stays
        QTest::newRow("426 after part") << "f.bin" << qint64(7)
                                        << QList<Peer::Step>{Peer::reply("150 Sending.\r\n"), Peer::data("partial"),
                                                             Peer::closeData(), Peer::reply("426 Connection lost.\r\n")}
                                        << QByteArray();
        QTest::newRow("short of listed") << "f.bin" << qint64(10)
                                         << QList<Peer::Step>{Peer::reply("150 Sending.\r\n"), Peer::data("abc"),
                                                              Peer::closeData(), Peer::reply("226 Done.\r\n")}
                                         << QByteArray();
        QTest::newRow("ascii short of listed")
            << "f.txt" << qint64(10)
            << QList<Peer::Step>{Peer::reply("150 Sending.\r\n"), Peer::data("a\r\nb"), Peer::closeData(),
                                 Peer::reply("226 Done.\r\n")}
            << QByteArray();
        QTest::newRow("short of the 150 reply")
            << "f.bin" << qint64(0)
            << QList<Peer::Step>{Peer::reply("150 Sending f.bin (10 bytes).\r\n"), Peer::data("abc"), Peer::closeData(),
                                 Peer::reply("226 Done.\r\n")}
            << QByteArray();
        QTest::newRow("ascii is shorter") << "f.txt" << qint64(4)
                                          << QList<Peer::Step>{Peer::reply("150 Sending.\r\n"), Peer::data("a\r\nb"),
                                                               Peer::closeData(), Peer::reply("226 Done.\r\n")}
                                          << QByteArray("a\nb");
    }
    void downloadsThatEndBadlyFailAndKeepTheFile()
    {
        QFETCH(QString, name);
        QFETCH(qint64, listed);
        QFETCH(QList<Peer::Step>, script);
        QFETCH(QByteArray, result);
        Peer peer;
        peer.on("RETR", script);
        FtpSession session;
        FtpOptions options;
        options.host = "127.0.0.1";
        options.port = peer.port();
        options.user = "user";
        options.password = "pass-word";
        options.timeoutMs = 5000;
        QVERIFY(session.open(options));

        QTemporaryDir dir;
        const QString local = dir.filePath(name);
        QFile old(local);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("precious") == 8);
        old.close();
        QStandardItemModel rows;
        QueueModel queue(rows);
        queue.append({local, "/" + name, QueueEntry::Direction::Down, "", "", "-", "Pending", listed}, QIcon());
        RecordingHost host;
        host.connection = &session;
        TransferEngine engine(queue, host);
        engine.ProcessTransfer();

        QCOMPARE(queue.count(), 0);
        QVERIFY(host.messages.isEmpty());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), result.isEmpty() ? QByteArray("precious") : result);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{name}); // no part file left
        const QString verdict = result.isEmpty() ? "Transfer failed." : "Transfer complete.";
        QCOMPARE(host.log.last(), verdict);
        QCOMPARE(host.log.count("Transfer complete.") + host.log.count("Transfer failed."), 1);
        if (name == "f.bin" && listed == 7)
            QVERIFY(host.log.contains("426 Connection lost."));
    }
};

QTEST_MAIN(TestTransferEngine)
#include "tst_transferengine.moc"
