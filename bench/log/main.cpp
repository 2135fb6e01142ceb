// Times lines added to the session log with keep log on in RTF, as a session adds them, and
// prints "name value unit" lines. The log file goes to a temporary folder (or the folder given
// as the first argument) and is checked against a full write at the end.

#include "LogFileWriter.h"
#include "SessionLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double secondsFor(int lines, const QString &folder)
{
    QTemporaryDir dir(folder + QStringLiteral("/bench-log-XXXXXX"));
    SessionLog log;
    const LogTarget target{dir.filePath(QStringLiteral("log0.rtf")), LogFormat::Rtf, true};
    LogFileWriter writer(log, [&target] { return target; });
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < lines; ++i) {
        if (i % 2 == 0)
            log.logLine(QStringLiteral("Command: RETR report-%1.txt").arg(i), SessionLog::Command);
        else
            log.logServerReply(QStringLiteral("226 Transfer complete.\r\n"));
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    QFile file(target.fileName);
    if (writer.isFailing() || !file.open(QIODevice::ReadOnly) ||
        file.readAll() != LogFileWriter::fileContent(log, LogFormat::Rtf)) {
        std::fprintf(stderr, "bench_log: the log file does not hold the log\n");
        std::exit(1);
    }
    return seconds;
}

// The median of a few runs: the machines are noisy.
double medianSeconds(int lines, const QString &folder)
{
    double runs[3];
    for (double &run : runs)
        run = secondsFor(lines, folder);
    std::sort(std::begin(runs), std::end(runs));
    return runs[1];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args.at(1) : QDir::tempPath();
    const double small = medianSeconds(10'000, folder);
    const double large = medianSeconds(100'000, folder);
    std::printf("log_10k_lines_s %.3f s\n", small);
    std::printf("log_100k_lines_s %.3f s\n", large);
    std::printf("log_growth %.2f ratio\n", large / small);
    return 0;
}
