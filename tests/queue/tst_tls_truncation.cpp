// Over TLS the end of the data is the server's close_notify: a data connection whose TCP
// connection ends without it was cut short, whatever the final reply says. With no size to hold
// the data to (no SIZE, nothing in the 150 reply, nothing listed), that is the only sign: a queued
// download, cut and whole, against pyftpdlib's TLS handler (listings: tst_ftps).
#include "FtpSession.h"
#include "QueueModel.h"
#include "RecordingTransferHost.h"
#include "TestCertificate.h"
#include "TestFtpServer.h"
#include "TransferEngine.h"

#include <QFile>
#include <QIcon>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

class TestTlsTruncation : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    TestCertificate m_cert;

    bool login(FtpSession &session, const TestFtpServer &server)
    {
        FtpOptions o;
        o.host = server.host();
        o.port = server.port();
        o.user = server.user();
        o.password = server.password();
        o.timeoutMs = 10000;
        o.security = FtpSecurity::Explicit;
        o.trustedCertificate = m_cert.sha256;
        return session.open(o);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_cert = TestCertificate::make(m_dir.path(), "truncation-test");
        QVERIFY2(m_cert.error.isEmpty(), qPrintable(m_cert.error));
    }

    void aQueuedDownloadOfUnknownSize_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("cut without close_notify") << true;
        QTest::newRow("ended with close_notify") << false;
    }
    void aQueuedDownloadOfUnknownSize()
    {
        QFETCH(bool, cut);
        QStringList args{"--tls", m_cert.pemPath, "--no-size"};
        if (cut) // 400,000 bytes, then the TCP connection ends without close_notify
            args << "--cut-tls-retr" << "400000";
        auto server = std::make_unique<TestFtpServer>(args);
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QByteArray data(1000000, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7 + i / 1000);
        QVERIFY(server->writeFile("big.bin", data));
        FtpSession session;
        QVERIFY2(login(session, *server), qPrintable(session.lastResponseInfo()));
        QVERIFY(session.protectsData());
        QCOMPARE(session.fileSize("big.bin"), qint64(-1));

        QTemporaryDir local;
        QStandardItemModel rows;
        QueueModel queue(rows);
        RecordingTransferHost host;
        host.connection = &session;
        queue.append({local.filePath("big.bin"), "/big.bin", QueueEntry::Direction::Down, "", "", "-", "Pending", 0},
                     QIcon());
        TransferEngine engine(queue, host);
        engine.ProcessTransfer();
        QCOMPARE(queue.count(), 0);
        QFile file(local.filePath("big.bin"));
        if (cut) {
            QCOMPARE(host.log.last(), QString("Transfer failed."));
            QVERIFY2(host.log.filter("close_notify").size() == 1, qPrintable(host.log.join('\n')));
            QVERIFY(!file.exists());
        } else {
            QCOMPARE(host.log.last(), QString("Transfer complete."));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readAll() == data);
        }
        QVERIFY(session.isOpen()); // in step: the next command gets its own reply
        QList<FtpEntry> entries;
        QVERIFY2(session.list("/", "*.*", entries), qPrintable(session.lastResponseInfo()));
        QCOMPARE(entries.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTlsTruncation)
#include "tst_tls_truncation.moc"
