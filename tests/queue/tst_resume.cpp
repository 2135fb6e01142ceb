// Resuming against the real test server: a first attempt the server cuts after some bytes, then a
// second that continues it where that is sound and starts again where it is not.
#include "TestFtpServer.h"
#include "support/QueueRun.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QTest>

using namespace TestSupport;

namespace {

constexpr qsizetype kSize = 1200000; // smaller uploads are sent whole again
const QString kAgain = "again from the beginning";

struct Row
{
    const char *tag;
    bool up;
    const char *name; // ".txt" goes in ASCII
    int cut;          // the bytes the server moves before it drops both connections
    bool rest;        // the server knows REST
    int change;       // the source between the attempts: 1 other bytes, 2 another size
    const char *sent; // REST and APPE of both attempts
    const char *line; // in the log
};

} // namespace

Q_DECLARE_METATYPE(Row)

class TestResume : public QObject
{
    Q_OBJECT

private slots:
    void aCutTransferResumes_data()
    {
        QTest::addColumn<Row>("row");
        const char *noRest = "The server does not resume: starting again from the beginning.";
        const char *changed = "The file on the server changed since the part was received: starting again from the "
                              "beginning.";
        for (const Row &r : std::initializer_list<Row>{
                 {"down at 0", false, "f.bin", 0, true, 0, "", ""},
                 {"down at 1", false, "f.bin", 1, true, 0, "", ""},
                 {"down in the first block", false, "f.bin", 20000, true, 0, "REST 15904", "Resuming at 15 904 bytes."},
                 {"down at a block's end", false, "f.bin", 65536, true, 0, "REST 61440", "Resuming at 61 440 bytes."},
                 {"down near the end", false, "f.bin", 1199999, true, 0, "REST 1195903",
                  "Resuming at 1 195 903 bytes."},
                 {"down, no REST", false, "f.bin", 100000, false, 0, "REST 95904", noRest},
                 {"down, other bytes", false, "f.bin", 100000, true, 1, "REST 95904", changed},
                 {"down, another size", false, "f.bin", 100000, true, 2, "", changed},
                 {"down, ascii", false, "f.txt", 100000, true, 0, "", ""},
                 {"up at 0", true, "f.bin", 0, true, 0, "", ""},
                 {"up at 1", true, "f.bin", 1, true, 0, "REST 1", "Resuming at 1 bytes."},
                 {"up in the first block", true, "f.bin", 20000, true, 0, "REST 20000", "Resuming at 20 000 bytes."},
                 {"up at a block's end", true, "f.bin", 65536, true, 0, "REST 65536", "Resuming at 65 536 bytes."},
                 {"up near the end", true, "f.bin", 1199999, true, 0, "REST 1199999", "Resuming at 1 199 999 bytes."},
                 {"up, no REST", true, "f.bin", 100000, false, 0, "REST 100000,APPE", "Resuming at 100 000 bytes."},
                 {"up, other bytes", true, "f.bin", 100000, true, 1, "", ""},
                 {"up, ascii", true, "f.txt", 100000, true, 0, "", ""}})
            QTest::newRow(r.tag) << r;
    }
    void aCutTransferResumes()
    {
        QFETCH(Row, row);
        const QString name = row.name;
        TestFtpServer server(QStringList{row.up ? "--drop-stor-after" : "--drop-retr-after", QString::number(row.cut)}
                             << (row.rest ? QStringList() : QStringList{"--no-rest"}));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QueueRun q;
        q.open(FtpTestKit::options(server));
        TempTree local;
        const QString file = local / name;
        const bool ascii = name.endsWith(".txt");
        const QByteArray content =
            ascii ? QByteArray("a line of text\n").repeated(kSize / 15 + 1).left(kSize) : pattern(kSize);
        const QByteArray other = pattern(kSize + 1 + (row.change == 2 ? 1000 : 0)).mid(1); // every byte differs
        QVERIFY(row.up ? writeFile(file, content) : server.writeFile(name, content));
        for (int attempt = 0; attempt < 2; ++attempt) {
            row.up ? q.upload(file, "/" + name) : q.download(file, "/" + name, kSize);
            q.run();
            if (attempt == 1)
                break;
            QCOMPARE(q.host.log.count("Transfer failed."), 1);
            const bool part = !row.up && !ascii && row.cut > 0;
            QCOMPARE(namesIn(local.path()), part || row.up ? QStringList{name + (part ? ".part" : "")} : QStringList());
            if (!row.up && ascii) // as a binary attempt would have left it
                QVERIFY(writeFile(file + ".part", content.left(row.cut)));
            if (row.change)
                QVERIFY(row.up ? writeFile(file, other) : server.writeFile(name, other));
        }
        QCOMPARE(q.host.log.count("Transfer complete."), 1);
        QVERIFY((row.up ? server.readFile(name) : contentOf(file)) == (row.change ? other : content));
        // "[2] REST 95904", "[2] APPE /.f.bin.<name>": "REST 95904,APPE"
        const QRegularExpression verbs("^\\[\\d+\\] (REST \\d+|APPE)( .*)?$");
        QCOMPARE(q.host.commands.filter(verbs).replaceInStrings(verbs, "\\1").join(','), QString(row.sent));
        QCOMPARE(q.host.log.filter(kAgain).size(), QString(row.line).contains(kAgain) ? 1 : 0);
        QVERIFY2(!*row.line || q.host.log.contains(row.line), qPrintable(q.host.log.join('\n')));
        if (!(row.up && row.change)) // else the first attempt's temporary file, named in the log
            QCOMPARE(namesIn(row.up ? server.rootPath() : local.path()), QStringList{name});
    }

    // Cut by the server, twice while downloading and once, its connection left standing, while
    // uploading: each retry, on a fresh connection, continues what the cut attempt left, and the file
    // ends whole. Without retries enough, the entry fails: the part file stays for later, the
    // server's temporary file goes.
    void aCutTransferIsRetriedWhereItStopped()
    {
        const QString closed = "The server closed the connection.";
        const QString aborted = "426 Connection closed; transfer aborted.";
        for (const auto &[up, retries] : {std::pair{false, 3}, {false, 1}, {true, 1}, {true, 0}}) {
            const int cuts = up ? 1 : 2;
            TestFtpServer server(up ? QStringList{"--drop-stor-after", "100000", "--drop-stor-reply", aborted}
                                    : QStringList{"--drop-retr-after", "100000", "--drop-retr-times", "2"});
            QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
            QueueRun q;
            q.host.transferSettings.retries = retries;
            q.open(FtpTestKit::options(server));
            TempTree local;
            QVERIFY(up ? writeFile(local / "f.bin", pattern(kSize)) : server.writeFile("f.bin", pattern(kSize)));
            up ? q.upload(local / "f.bin", "/f.bin") : q.download(local / "f.bin", "/f.bin", kSize);
            q.run();
            QStringList retried;
            for (int n = 1; n <= qMin(retries, cuts); ++n)
                retried << QString("Retrying /f.bin in %1 s (%2 of %3): ").arg(n * 5).arg(n).arg(retries) +
                               (up ? aborted : closed);
            QCOMPARE(q.host.log.filter("Retrying"), retried);
            QCOMPARE(q.host.log.count("Transfer failed."), qMin(retries, cuts) + (retries < cuts ? 1 : 0));
            QCOMPARE(q.host.commands.filter(QRegularExpression("REST \\d+")).size(), qMin(retries, cuts));
            QCOMPARE(q.host.log.count("Transfer complete."), retries < cuts ? 0 : 1);
            if (retries >= cuts)
                QVERIFY((up ? server.readFile("f.bin") : contentOf(local / "f.bin")) == pattern(kSize));
            QCOMPARE(namesIn(up ? server.rootPath() : local.path()),
                     retries >= cuts ? QStringList{"f.bin"} : up ? QStringList() : QStringList{"f.bin.part"});
        }
    }

    // An upload cancelled while it waits for its retry: the temporary file its attempt left goes.
    void aCancelledRetryDeletesWhatItLeft()
    {
        TestFtpServer server({"--drop-stor-after", "100000", "--drop-stor-reply", "426 Aborted."});
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QueueRun q;
        q.host.transferSettings.retries = 3;
        q.host.transferSettings.retryUnitMs = 1000;
        q.open(FtpTestKit::options(server));
        TempTree local;
        QVERIFY(writeFile(local / "f.bin", pattern(kSize)));
        q.upload(local / "f.bin", "/f.bin");
        q.engine.ProcessTransfer();
        QTRY_COMPARE(q.host.log.filter("Retrying").size(), 1);
        QCOMPARE(namesIn(server.rootPath()).size(), 1); // the temporary file, kept for the retry
        QVERIFY(!q.engine.stopRow(0)); // Cancel
        q.queue.removeRow(0);
        q.run();
        QCOMPARE(namesIn(server.rootPath()), QStringList());
    }
};

QTEST_MAIN(TestResume)
#include "tst_resume.moc"
