// Loads each picture named on the command line through the program's picture loader (our PCX
// and TGA decoders) RUNS times and prints the median seconds of each, one per line.
//
// bench_viewer RUNS FILE...
#include "PictureFormats.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_viewer RUNS FILE...\n");
        return 2;
    }
    const int runs = std::max(1, args[1].toInt());
    for (const QString &file : args.mid(2)) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer timer;
            timer.start();
            const QImage image = PictureFormats::loadPicture(file);
            times.push_back(timer.nsecsElapsed() / 1e9);
            if (image.isNull()) {
                std::fprintf(stderr, "bench_viewer: could not decode %s\n", qPrintable(file));
                return 1;
            }
        }
        std::sort(times.begin(), times.end());
        std::fprintf(stderr, "%s: median %.3f s of %d\n", qPrintable(file), times[times.size() / 2], runs);
        std::printf("%.4f\n", times[times.size() / 2]);
    }
    return 0;
}
