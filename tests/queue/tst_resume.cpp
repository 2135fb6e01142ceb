// Resuming against the real test server: a first attempt the server cuts after some bytes, then a
// second that continues it where that is sound and starts again where it is not.
#include "TestFtpServer.h"
#include "support/QueueRun.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace TestSupport;

namespace {

constexpr qsizetype kSize = 1200000; // smaller uploads are sent whole again
const QString kAgain = "again from the beginning";

QByteArray text(qsizetype size)
{
    QByteArray out;
    for (int line = 0; out.size() < size; ++line)
        out += "line " + QByteArray::number(line) + '\n';
    return out.left(size);
}

QByteArray flipped(QByteArray data)
{
    for (char &c : data)
        c = char(c ^ 0x5a);
    return data;
}

// REST and APPE as sent, without the connection's number and the name.
QString resumeCommands(const QStringList &commands)
{
    QStringList out;
    for (const QString &c : commands) {
        const QString verb = c.section(' ', 1, 1);
        if (verb == "REST" || verb == "APPE")
            out << (verb == "REST" ? c.section(' ', 1) : verb);
    }
    return out.join(',');
}

} // namespace

class TestResume : public QObject
{
    Q_OBJECT

private slots:
    void aCutTransferResumes_data()
    {
        QTest::addColumn<bool>("up");
        QTest::addColumn<QString>("name"); // ".txt" goes in ASCII
        QTest::addColumn<int>("cut");      // the bytes the server moves before it drops the connection
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("change");   // the source between the attempts: 1 other bytes, 2 another size
        QTest::addColumn<QString>("sent"); // REST and APPE of both attempts
        QTest::addColumn<QString>("line"); // in the log
        const QString noRest = "The server does not resume: starting again from the beginning.";
        const QString changed = "The file on the server changed since the part was received: starting again from the "
                                "beginning.";
        QTest::newRow("down at 0") << false << "f.bin" << 0 << QStringList() << 0 << ""
                                   << "";
        QTest::newRow("down at 1") << false << "f.bin" << 1 << QStringList() << 0 << ""
                                   << "";
        QTest::newRow("down in the first block") << false << "f.bin" << 20000 << QStringList() << 0 << "REST 15904"
                                                 << "Resuming at 15 904 bytes.";
        QTest::newRow("down at a block's end") << false << "f.bin" << 65536 << QStringList() << 0 << "REST 61440"
                                               << "Resuming at 61 440 bytes.";
        QTest::newRow("down near the end") << false << "f.bin" << 1199999 << QStringList() << 0 << "REST 1195903"
                                           << "Resuming at 1 195 903 bytes.";
        QTest::newRow("down, no REST") << false << "f.bin" << 100000 << QStringList{"--no-rest"} << 0 << "REST 95904"
                                       << noRest;
        QTest::newRow("down, other bytes")
            << false << "f.bin" << 100000 << QStringList() << 1 << "REST 95904" << changed;
        QTest::newRow("down, another size") << false << "f.bin" << 100000 << QStringList() << 2 << "" << changed;
        QTest::newRow("down, ascii") << false << "f.txt" << 100000 << QStringList() << 0 << ""
                                     << "";
        QTest::newRow("up at 0") << true << "f.bin" << 0 << QStringList() << 0 << ""
                                 << "";
        QTest::newRow("up at 1") << true << "f.bin" << 1 << QStringList() << 0 << "REST 1"
                                 << "Resuming at 1 bytes.";
        QTest::newRow("up in the first block") << true << "f.bin" << 20000 << QStringList() << 0 << "REST 20000"
                                               << "Resuming at 20 000 bytes.";
        QTest::newRow("up at a block's end") << true << "f.bin" << 65536 << QStringList() << 0 << "REST 65536"
                                             << "Resuming at 65 536 bytes.";
        QTest::newRow("up near the end") << true << "f.bin" << 1199999 << QStringList() << 0 << "REST 1199999"
                                         << "Resuming at 1 199 999 bytes.";
        QTest::newRow("up, no REST") << true << "f.bin" << 100000 << QStringList{"--no-rest"} << 0 << "REST 100000,APPE"
                                     << "Resuming at 100 000 bytes.";
        QTest::newRow("up, other bytes") << true << "f.bin" << 100000 << QStringList() << 1 << ""
                                         << "";
        QTest::newRow("up, ascii") << true << "f.txt" << 100000 << QStringList() << 0 << ""
                                   << "";
    }
    void aCutTransferResumes()
    {
        QFETCH(bool, up);
        QFETCH(QString, name);
        QFETCH(int, cut);
        QFETCH(QStringList, options);
        QFETCH(int, change);
        QFETCH(QString, sent);
        QFETCH(QString, line);
        TestFtpServer server(options << (up ? "--drop-stor-after" : "--drop-retr-after") << QString::number(cut));
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        QueueRun q;
        q.open(FtpTestKit::options(server));
        TempTree local;
        const QString file = local / name;
        const bool ascii = name.endsWith(".txt");
        const QByteArray content = ascii ? text(kSize) : pattern(kSize);
        const QByteArray other = flipped(pattern(kSize + (change == 2 ? 1000 : 0)));
        QVERIFY(up ? writeFile(file, content) : server.writeFile(name, content));
        for (int attempt = 0; attempt < 2; ++attempt) {
            up ? q.upload(file, "/" + name) : q.download(file, "/" + name, kSize);
            q.run();
            if (attempt == 1)
                break;
            QCOMPARE(q.host.log.count("Transfer failed."), 1);
            const bool part = !up && !ascii && cut > 0;
            QCOMPARE(namesIn(local.path()), part || up ? QStringList{name + (part ? ".part" : "")} : QStringList());
            if (!up && ascii) // as a binary attempt would have left it
                QVERIFY(writeFile(file + ".part", content.left(cut)));
            if (change)
                QVERIFY(up ? writeFile(file, other) : server.writeFile(name, other));
        }
        QCOMPARE(q.host.log.count("Transfer complete."), 1);
        QVERIFY((up ? server.readFile(name) : contentOf(file)) == (change ? other : content));
        QCOMPARE(resumeCommands(q.host.commands), sent);
        QCOMPARE(q.host.log.filter(kAgain).size(), line.contains(kAgain) ? 1 : 0);
        QVERIFY2(line.isEmpty() || q.host.log.contains(line), qPrintable(q.host.log.join('\n')));
        if (!(up && change)) // else the first attempt's temporary file, named in the log
            QCOMPARE(namesIn(up ? server.rootPath() : local.path()), QStringList{name});
    }
};

QTEST_MAIN(TestResume)
#include "tst_resume.moc"
