// A transfer onto a file that exists: what each answer makes of it (as a table, and through the
// engine against the test server), the answer kept for the rest of the queue, and the entry that
// waits for its answer while others move.
#include "FileExists.h"
#include "ListText.h"
#include "TestFtpServer.h"
#include "support/QueueRun.h"
#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTest>

using namespace TestSupport;
using Action = FileExists::Action;
using Kind = FileExists::Decision::Kind;

namespace {

const QDateTime kBase = QDateTime::fromSecsSinceEpoch(1700000000);
const QByteArray kSource = pattern(200000);

// What is at the target before: 1 other bytes, 2 another size, 3 the source's first half, 4 the
// whole source, 5 other bytes of half the size.
QByteArray targetBytes(int kind)
{
    const qsizetype sizes[] = {0, 200000, 150000, 100000, 200000, 100000};
    return kind == 3 || kind == 4 ? kSource.left(sizes[kind]) : pattern(sizes[kind] + 1).mid(1);
}

void setTime(const QString &path, const QDateTime &time)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime));
}

// A server, a local folder and a queue that asks about every file there already.
struct Exists
{
    TestFtpServer server;
    TempTree local;
    QueueRun q;

    explicit Exists(const QStringList &serverArgs = {}) : server(serverArgs)
    {
        q.open(FtpTestKit::options(server));
        q.host.transferSettings.fileExists = 0;
    }
};

struct Row
{
    const char *tag;
    bool up;
    int answer;         // the button chosen
    int target;         // see targetBytes
    int age;            // hours the source is newer than the target
    const char *result; // new: the target is the source; old: untouched; renamed: the source beside it;
                        // grown: a longer start of the source
    const char *sent;   // REST and APPE
    int cut = 0;        // the bytes the server moves before it drops the connection
    int setting = 0;    // what the settings answer: 0 asks
};

} // namespace

Q_DECLARE_METATYPE(Row)

class TestFileExists : public QObject
{
    Q_OBJECT

private slots:
    void decided_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QList<qint64>>("facts");   // source size and time, target size and time (-1 unknown), binary
        QTest::addColumn<QList<qint64>>("decided"); // kind, from
        const auto row = [](const char *tag, Action a, QList<qint64> f, Kind k, qint64 from = 0) {
            QTest::newRow(tag) << int(a) << f << QList<qint64>{qint64(k), from};
        };
        row("newer, times unknown", Action::OverwriteIfNewer, {5, -1, 5, 100, 1}, Kind::Skip);
        row("newer, the same second", Action::OverwriteIfNewer, {5, 100, 5, 100, 1}, Kind::Skip);
        row("newer by a second", Action::OverwriteIfNewer, {5, 101, 5, 100, 1}, Kind::Overwrite);
        row("size, source unknown", Action::OverwriteIfSizeDiffers, {-1, 1, -1, 1, 1}, Kind::Overwrite);
        row("resume, ascii", Action::Resume, {10, 1, 4, 1, 0}, Kind::Overwrite);
        row("resume, empty target", Action::Resume, {10, 1, 0, 1, 1}, Kind::Overwrite);
        row("resume, shorter target", Action::Resume, {10, 1, 4, 1, 1}, Kind::Resume, 4);
        row("resume, longer target", Action::Resume, {10, 1, 11, 1, 1}, Kind::Skip);
    }
    void decided()
    {
        QFETCH(int, action);
        QFETCH(QList<qint64>, facts);
        const auto at = [](qint64 t) { return t < 0 ? QDateTime() : kBase.addSecs(t); };
        const FileExists::Decision d = FileExists::decide(Action(action), {facts[0], at(facts[1])},
                                                          {facts[2], at(facts[3])}, facts[4] != 0, "/a", {});
        QTEST((QList<qint64>{qint64(d.kind), d.from}), "decided");
    }

    void aFreeName()
    {
        for (auto [path, free] :
             std::initializer_list<std::pair<QString, const char *>>{{"/d/a.txt", "/d/a (2).txt"},
                                                                     {"/d/.hidden", "/d/.hidden (1)"},
                                                                     {"/d.x/README", "/d.x/README (1)"},
                                                                     {"/d/a.tar.gz", "/d/a (1).tar.gz"},
                                                                     {"/d/a.b.c", "/d/a.b (1).c"}})
            QCOMPARE(FileExists::freeName(path, [&](const QString &p) { return p == path || p == "/d/a (1).txt"; }),
                     QString(free));
    }

    void eachAnswer_data()
    {
        QTest::addColumn<Row>("row");
        for (const Row &r : std::initializer_list<Row>{
                 {"down, overwrite", false, 0, 1, 0, "new", ""},
                 {"down, newer", false, 1, 1, 1, "new", ""},
                 {"down, older", false, 1, 1, -1, "old", ""},
                 {"down, same size", false, 2, 1, 0, "old", ""},
                 {"down, other size", false, 2, 2, 0, "new", ""},
                 {"down, resume", false, 3, 3, 0, "new", "REST 95904"},
                 {"down, resume a whole file", false, 3, 4, 0, "old", ""},
                 {"down, resume another start", false, 3, 5, 0, "new", "REST 95904"},
                 {"down, resume cut", false, 3, 3, 0, "grown", "REST 95904", 50000},
                 {"down, rename", false, 4, 1, 0, "renamed", ""},
                 {"down, skip", false, 5, 1, 0, "old", ""},
                 {"down, renamed by the setting", false, 0, 1, 0, "renamed", "", 0, int(Action::Rename)},
                 {"up, overwrite", true, 0, 1, 0, "new", ""},
                 {"up, newer", true, 1, 1, 1, "new", ""},
                 {"up, older", true, 1, 1, -1, "old", ""},
                 {"up, same size", true, 2, 1, 0, "old", ""},
                 {"up, other size", true, 2, 2, 0, "new", ""},
                 {"up, resume", true, 3, 3, 0, "new", "REST 100000"},
                 {"up, resume cut", true, 3, 3, 0, "grown", "REST 100000", 50000},
                 {"up, rename", true, 4, 1, 0, "renamed", ""},
                 {"up, skip", true, 5, 1, 0, "old", ""}})
            QTest::newRow(r.tag) << r;
    }
    void eachAnswer()
    {
        QFETCH(Row, row);
        Exists e(row.cut ? QStringList{row.up ? "--drop-stor-after" : "--drop-retr-after", QString::number(row.cut)}
                         : QStringList());
        auto &[server, local, q] = e;
        QVERIFY2(server.isRunning(), qPrintable(server.errorText()));
        const QByteArray before = targetBytes(row.target);
        const QDateTime sourceTime = kBase.addSecs(3600 * row.age);
        const QString file = local / "f.bin";
        QVERIFY(writeFile(file, row.up ? kSource : before));
        setTime(file, row.up ? sourceTime : kBase);
        QVERIFY(server.writeFile("f.bin", row.up ? before : kSource));
        q.host.remoteFiles["/f.bin"] = {before.size(), kBase};
        q.host.questions.choices = {row.answer};
        q.host.transferSettings.fileExists = quint8(row.setting);
        row.up ? q.upload(file, "/f.bin") : q.download(file, "/f.bin", kSource.size(), ListText::dateText(sourceTime));
        q.run();
        QCOMPARE(q.host.questions.shown.size(), row.setting ? 0 : 1);
        QCOMPARE(q.queue.count(), 0);
        const QString result = row.result;
        const auto at = [&](const QString &name) { return row.up ? server.readFile(name) : contentOf(local / name); };
        const QByteArray after = at("f.bin");
        if (result == "grown")
            QVERIFY(after.size() > before.size() && kSource.startsWith(after));
        else
            QVERIFY(after == (result == "new" ? kSource : before));
        QVERIFY(result != "renamed" || at("f (1).bin") == kSource);
        QCOMPARE(namesIn(row.up ? server.rootPath() : local.path()),
                 result == "renamed" ? QStringList({"f (1).bin", "f.bin"}) : QStringList{"f.bin"});
        QCOMPARE(q.host.log.filter("exists: skipped.").size(), result == "old" ? 1 : 0);
        const QRegularExpression verbs("^\\[\\d+\\] (REST \\d+|APPE)( .*)?$");
        QCOMPARE(q.host.commands.filter(verbs).replaceInStrings(verbs, "\\1").join(','), QString(row.sent));
    }

    // Asked once for three files; the answer holds until the queue has run empty.
    void anAnswerForTheRest()
    {
        Exists e;
        auto &[server, local, q] = e;
        q.host.questions.choices = {4, 5};
        q.host.questions.checks = {true};
        // x holds the one connection: b and c are met only after the answer.
        for (const QString name : {"a", "x", "b", "c", "d"}) {
            QVERIFY(server.writeFile(name, kSource.left(10)));
            QVERIFY(name == "x" || writeFile(local / name, "old"));
            if (name != "d")
                q.download(local / name, "/" + name, 10);
        }
        q.run();
        QCOMPARE(q.host.questions.shown.size(), 1);
        QCOMPARE(namesIn(local.path()), (QStringList{"a", "a (1)", "b", "b (1)", "c", "c (1)", "d", "x"}));
        q.download(local / "d", "/d", 10);
        q.run();
        QCOMPARE(q.host.questions.shown.size(), 2);
        QCOMPARE(contentOf(local / "d"), QByteArray("old"));
    }

    // The entry that asks waits for the answer while another moves on a connection of its own.
    void othersMoveWhileAsked()
    {
        Exists e;
        auto &[server, local, q] = e;
        q.host.transferSettings.simultaneous = 2;
        QVERIFY(server.writeFile("a", kSource) && server.writeFile("b", kSource) && writeFile(local / "a", "old"));
        QString status;
        bool movedMeanwhile = false;
        q.host.questions.choices = {0};
        q.host.questions.meanwhile = [&] {
            status = q.queue.status(0);
            const QDeadlineTimer deadline(10000);
            while (!q.host.log.contains("Transfer complete.") && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            movedMeanwhile = q.host.log.contains("Transfer complete.");
        };
        q.download(local / "a", "/a", kSource.size());
        q.download(local / "b", "/b", kSource.size());
        q.run();
        QCOMPARE(status, QString("Waiting for an answer"));
        QVERIFY(movedMeanwhile);
        QCOMPARE(q.host.log.count("Transfer complete."), 2);
        QVERIFY(contentOf(local / "a") == kSource && contentOf(local / "b") == kSource);
    }
};

QTEST_MAIN(TestFileExists)
#include "tst_fileexists.moc"
