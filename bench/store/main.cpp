// Times the transfer queue's store with 100,000 entries of realistic paths: added in one call (one
// transaction, as a folder walk adds them), then the file opened again and loaded, as at the
// program's start (the open checks the whole file). Prints "name value unit" lines, the medians of
// three runs. The file goes to a temporary folder (or the folder given as the first argument).

#include "QueueStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Entries = 100'000;

void fail(const char *why)
{
    std::fprintf(stderr, "bench_store: %s\n", why);
    std::exit(1);
}

// A download of a site's tree: 100 files a folder, names of several kinds.
QList<QueueEntry> entries()
{
    static const char *const names[] = {"IMG_%1.jpg",       "report-%1.pdf", "index-%1.html", "track %1.mp3",
                                        "backup_%1.tar.gz", "README-%1.md",  "main%1.cpp",    "Übersicht %1.odt"};
    QList<QueueEntry> list;
    list.reserve(Entries);
    for (int i = 0; i < Entries; ++i) {
        const QString folder =
            QStringLiteral("projects/site-2026/assets/section-%1/part-%2/").arg(i / 2000).arg(i / 100);
        const QString name = QString::fromUtf8(names[i % 8]).arg(i, 6, 10, QLatin1Char('0'));
        const qint64 bytes = qint64(i) * 7919 % 50'000'000;
        list.append({QStringLiteral("/home/someone/Downloads/") + folder + name,
                     QStringLiteral("/var/www/") + folder + name, QueueEntry::Direction::Down,
                     QLocale::c().toString(bytes), QStringLiteral("File"), QStringLiteral("07.12.2026 10:15"),
                     QString(), bytes});
    }
    return list;
}

double median(double (&runs)[3])
{
    std::sort(std::begin(runs), std::end(runs));
    return runs[1];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args.at(1) : QDir::tempPath();
    const QList<QueueEntry> list = entries();
    double add[3], load[3];
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir dir(folder + QStringLiteral("/bench-store-XXXXXX"));
        const QString path = dir.filePath(QStringLiteral("queue.sqlite"));
        QElapsedTimer timer;
        {
            QueueStore store;
            if (store.open(path) != QueueStore::Outcome::Opened)
                fail("the store did not open");
            timer.start();
            if (store.add(list).size() != Entries)
                fail("the entries were not added");
            add[run] = double(timer.nsecsElapsed()) / 1e9;
        }
        QueueStore store;
        timer.start();
        if (store.open(path) != QueueStore::Outcome::Opened)
            fail("the store did not open again");
        const QueueStore::Lists lists = store.load();
        load[run] = double(timer.nsecsElapsed()) / 1e9;
        if (lists.queued.size() != Entries || lists.queued.last().entry.localPath != list.last().localPath)
            fail("the entries loaded are not those added");
    }
    std::printf("queue_store_100k_add_s %.3f s\n", median(add));
    std::printf("queue_store_100k_load_s %.3f s\n", median(load));
    return 0;
}
