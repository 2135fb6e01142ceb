// Downloads one URL through the HTTP download manager's queue, driven by the event loop as the
// window drives it, and prints "name value unit" lines.
//
// bench_http URL LOCAL

#include "HttpQueue.h"
#include "ScriptedPrompter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_http URL LOCAL\n");
        return 2;
    }
    const QString local = QString::fromLocal8Bit(argv[2]);
    ScriptedPrompter prompter;
    HttpQueue queue(prompter);
    QString outcome;
    QEventLoop loop;
    QObject::connect(&queue, &HttpQueue::finished, [&](const QString &, const QString &o) {
        outcome = o;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    if (!queue.add(QString::fromLocal8Bit(argv[1]), local))
        return 1;
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (outcome != QLatin1String("done")) {
        std::fprintf(stderr, "bench_http: %s: %s\n", qPrintable(outcome),
                     qPrintable(prompter.messageTexts().join(' ')));
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("http_download_MBps %.1f MB/s\n", QFileInfo(local).size() / seconds / 1e6);
    std::printf("http_download_peak_rss_MiB %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
