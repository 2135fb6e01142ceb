// Moves files through the main window's queue with the default settings (1024-byte blocks,
// progress shown, 2 simultaneous transfers): downloads REMOTE_FILE into LOCAL_DIR/down.bin, uploads
// that file as UPLOAD (REMOTE_FILE.up when not given), then downloads the remote folder TREE into
// LOCAL_DIR/TREE/. REMOTE_FILE "-" moves the tree alone, TREE "-" the file alone. Prints one line,
// "download_s upload_s tree_s peak_rss_MiB tree_entry_KiB", the last being the growth of the peak
// memory from before the tree was queued to after it moved, over the files queued.
// VESTRIGAL_BENCH_BLOCK sets another block size for both ways; VESTRIGAL_BENCH_SIMULTANEOUS another
// number of simultaneous transfers; VESTRIGAL_BENCH_KEEP_LOG=0 turns keep log off;
// VESTRIGAL_BENCH_QUEUE_ONLY=1 queues the tree without moving it; VESTRIGAL_BENCH_SERVER_CORE=N adds a
// sixth field, the seconds core N (the server's, which nothing else uses) was busy while the tree
// moved. VESTRIGAL_BENCH_RESUME=1 only downloads REMOTE_FILE into LOCAL_DIR/down.bin from a server
// that cuts it, queueing it again while it is not whole, and prints "resume_ratio attempts": the
// bytes all attempts moved over the size.
//
// bench_queue HOST PORT USER PASSWORD REMOTE_FILE TREE LOCAL_DIR [UPLOAD]
#include "../RunQueue.h"
#include "ProcessMemory.h"
#include "AppState.h"
#include "FileIconCache.h"
#include "LocalPane.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "RemotePane.h"
#include "TransferEngine.h"
#include "ScriptedPrompter.h"
#include "formmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The seconds the given core has been busy since boot (user, nice, system, irq and softirq time), from
// /proc/stat; -1 when it cannot be read.
double coreBusySeconds(int core)
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (core < 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray name = "cpu" + QByteArray::number(core) + ' ';
    for (QByteArray line = stat.readLine(); !line.isEmpty(); line = stat.readLine()) {
        if (!line.startsWith(name))
            continue;
        const QList<QByteArray> ticks = line.simplified().split(' ');
        if (ticks.size() < 8)
            return -1;
        const long long busy = ticks[1].toLongLong() + ticks[2].toLongLong() + ticks[3].toLongLong() +
                               ticks[6].toLongLong() + ticks[7].toLongLong();
        return double(busy) / double(sysconf(_SC_CLK_TCK));
    }
    return -1;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the queue as the engine would after an enqueue, until no file moves; the seconds it took. The processor time it
// took goes to stderr: far less than the wall time means the client was waiting, not working.
double runQueue(formmain &window, const char *what)
{
    QElapsedTimer clock;
    clock.start();
    const double cpu = cpuSeconds();
    runWindowQueue(window);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    std::fprintf(stderr, "%s: %.3f s, client CPU %.3f s\n", what, seconds, cpuSeconds() - cpu);
    return seconds;
}

// Downloads REMOTE into LOCAL_DIR/down.bin and uploads that file back; their seconds in DOWN and UP.
// VESTRIGAL_BENCH_LARGE=down only downloads; =up only uploads LOCAL_DIR/source.bin.
bool moveLargeFile(formmain &window, const QStringList &args, const QString &remote, const QString &localDir,
                   double &down, double &up)
{
    const QString only = qEnvironmentVariable("VESTRIGAL_BENCH_LARGE");
    QString source = localDir + QStringLiteral("source.bin");
    if (only != QLatin1String("up")) {
        source = localDir + QStringLiteral("down.bin");
        window.queuePane().QueueRemoteFile(remote, source);
        if (window.queuePane().queue().count() != 1) { // the row comes from the remote list
            std::fprintf(stderr, "bench_queue: %s is not in the remote list\n", qPrintable(remote));
            return false;
        }
        down = runQueue(window, "download");
        if (only == QLatin1String("down"))
            return true;
        ::sync(); // the upload starts without the download's pages to write back
    }
    window.localPane().ClientGetDirectoryContents();
    const QString upload = args.size() > 8 ? QLatin1Char('/') + args[8] : remote + QStringLiteral(".up");
    window.queuePane().QueueLocalFile(source, upload);
    up = runQueue(window, "upload");
    return true;
}

// The bytes every attempt moved (the engine's count of each attempt, the overlap a resume checks
// included) over the file's size, and the attempts it took; the file is queued again while it is
// not whole, as a user would.
bool resumeLargeFile(formmain &window, const QString &remote, const QString &localDir)
{
    qint64 moved = 0;
    QObject::connect(&window.queuePane().engine(), &TransferEngine::entryEnded,
                     [&](TransferOutcome, qint64 bytes) { moved += bytes; });
    const QString target = localDir + QStringLiteral("down.bin");
    qint64 size = -1;
    int attempts = 0;
    while (attempts < 5 && QFileInfo(target).size() != size) {
        window.queuePane().QueueRemoteFile(remote, target);
        if (window.queuePane().queue().count() != 1)
            return false;
        size = window.queuePane().queue().entry(0).bytes;
        runQueue(window, "resumed download");
        ++attempts;
        std::fprintf(stderr, "after attempt %d: %lld bytes moved in all\n", attempts, static_cast<long long>(moved));
        window.localPane().ClientGetDirectoryContents();
    }
    std::printf("%.4f %d\n", size > 0 ? double(moved) / double(size) : 0.0, attempts);
    return QFileInfo(target).size() == size;
}

} // namespace

int main(int argc, char *argv[])
{
    tuneProcessMemory(); // as the program does
    QApplication app(argc, argv);
    setUpIconTheme();
    const QStringList args = QApplication::arguments();
    if (args.size() < 8) {
        std::fprintf(stderr, "usage: bench_queue HOST PORT USER PASSWORD REMOTE_FILE TREE LOCAL_DIR [UPLOAD]\n");
        return 2;
    }
    QTemporaryDir home;
    AppState state(AppFolders::under(home.path()));
    state.folders.createMissing();
    auto *prompter = new ScriptedPrompter;
    if (const int block = qEnvironmentVariableIntValue("VESTRIGAL_BENCH_BLOCK"); block > 0)
        state.settings.downloadBufferSize = state.settings.uploadBufferSize = block;
    if (const int simultaneous = qEnvironmentVariableIntValue("VESTRIGAL_BENCH_SIMULTANEOUS"); simultaneous > 0)
        state.settings.simultaneousTransfers = simultaneous;
    if (qEnvironmentVariableIsSet("VESTRIGAL_BENCH_KEEP_LOG")) // 0: what writing the log file costs
        state.settings.keepLog = qEnvironmentVariableIntValue("VESTRIGAL_BENCH_KEEP_LOG") != 0;
    formmain window(state, std::unique_ptr<Prompter>(prompter));
    window.queuePane().restoreQueue(); // the queue is kept as the program keeps it
    window.txtServer->setText(args[1]);
    window.txtPort->setText(args[2]);
    window.txtUsername->setText(args[3]);
    window.txtPassword->setText(args[4]);
    window.remotePane().btnConnect_Click();
    if (!state.connected()) {
        std::fprintf(stderr, "bench_queue: could not connect\n");
        return 1;
    }
    const QString remote = QLatin1Char('/') + args[5];
    const QString localDir = args[7] + QLatin1Char('/');
    state.currentLocalFolder = localDir;
    window.localPane().ClientGetDirectoryContents();

    if (qEnvironmentVariableIntValue("VESTRIGAL_BENCH_RESUME") > 0) {
        state.settings.transferRetries = 0; // each attempt is queued again here, and counted as it ends
        return resumeLargeFile(window, remote, localDir) ? 0 : 1;
    }

    double down = 0;
    double up = 0;
    if (args[5] != QLatin1String("-") && !moveLargeFile(window, args, remote, localDir, down, up))
        return 1;

    if (args[6] == QLatin1String("-")) {
        std::printf("%.4f %.4f 0 %.1f 0\n", down, up, peakRssMiB());
        return 0;
    }
    int engineFilesEnded = 0;
    QObject::connect(&window.queuePane().engine(), &TransferEngine::entryEnded, [&] { ++engineFilesEnded; });
    const double rssBeforeTree = peakRssMiB();
    QElapsedTimer clock;
    clock.start();
    const double treeCpu = cpuSeconds();
    bool named = false;
    int serverCore = qEnvironmentVariableIntValue("VESTRIGAL_BENCH_SERVER_CORE", &named);
    serverCore = named ? serverCore : -1;
    const double serverBusy = coreBusySeconds(serverCore);
    const bool queueOnly = qEnvironmentVariableIntValue("VESTRIGAL_BENCH_QUEUE_ONLY") > 0;
    state.queueRunning = !queueOnly; // a paused queue only gathers: the files stay where they are
    const QString tree = QLatin1Char('/') + args[6] + QLatin1Char('/');
    if (!window.queuePane().QueueRemoteFolder(state.session, tree, localDir + args[6] + QLatin1Char('/')))
        return 1;
    // Files move while the walk goes on: those still queued at its end, and those moved by then.
    const int files = window.queuePane().queue().count() + engineFilesEnded;
    const double queued = double(clock.nsecsElapsed()) / 1e9;
    if (!queueOnly)
        runQueue(window, "tree transfers");
    const double treeSeconds = double(clock.nsecsElapsed()) / 1e9;
    const double serverSeconds = serverBusy < 0 ? 0 : coreBusySeconds(serverCore) - serverBusy;
    const double entryKiB = files > 0 ? (peakRssMiB() - rssBeforeTree) * 1024.0 / files : 0;
    std::fprintf(stderr,
                 "tree: %d files queued in %.3f s; %.2f KiB each; %d messages; client CPU %.3f s in all; server core "
                 "busy %.2f s\n",
                 files, queued, entryKiB, int(prompter->shown.size()), cpuSeconds() - treeCpu, serverSeconds);
    if (!prompter->shown.isEmpty() || (!queueOnly && window.queuePane().queue().count() != 0))
        return 1;
    std::printf("%.4f %.4f %.4f %.1f %.3f %.2f\n", down, up, treeSeconds, peakRssMiB(), entryKiB, serverSeconds);
    return 0;
}
