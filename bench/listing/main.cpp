// Lists a remote folder through the main window's listing (placeholders, types, icons, rows,
// tree) with a fresh program folder each time, and prints the median time.
// With LARGE_FILE (in the remote root) and LOCAL_DIR, lists the folder instead in one window,
// idle and then while the queue downloads LARGE_FILE into LOCAL_DIR on its own connection, in turn,
// and prints the two medians, "idle_s during_s".
//
// bench_listing HOST PORT USER PASSWORD FOLDER [RUNS [LARGE_FILE LOCAL_DIR]]
#include "AppState.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "TransferEngine.h"
#include "FileIconCache.h"
#include "RemotePane.h"
#include "ScriptedPrompter.h"
#include "formmain.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

bool connectTo(formmain &window, const QStringList &args)
{
    window.txtServer->setText(args[1]);
    window.txtPort->setText(args[2]);
    window.txtUsername->setText(args[3]);
    window.txtPassword->setText(args[4]);
    window.remotePane().btnConnect_Click();
    return window.state().connected();
}

// Lists FOLDER; the seconds it took, -1 when the list stays empty.
double timedListing(formmain &window, const QString &folder, const char *what)
{
    window.state().currentRemoteFolder = folder;
    QElapsedTimer timer;
    timer.start();
    window.remotePane().FtpGetDirectoryContents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const int rows = window.ListView1->model()->rowCount();
    std::fprintf(stderr, "listed %d rows in %.3f s%s\n", rows, seconds, what);
    return rows > 0 ? seconds : -1;
}

double listOnce(const QStringList &args)
{
    QTemporaryDir home;
    AppState state(AppFolders::under(home.path()));
    state.folders.createMissing();
    formmain window(state, std::make_unique<ScriptedPrompter>());
    if (!connectTo(window, args))
        return -1;
    return timedListing(window, args[5], "");
}

double median(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Lists FOLDER once idle, then once while the queue downloads LARGE_FILE, RUNS times.
bool listDuringTransfer(const QStringList &args, int runs)
{
    QTemporaryDir home;
    AppState state(AppFolders::under(home.path()));
    state.folders.createMissing();
    formmain window(state, std::make_unique<ScriptedPrompter>());
    if (!connectTo(window, args))
        return false;
    TransferEngine &engine = window.queuePane().engine();
    const QString target = args[8] + QStringLiteral("/down.bin");
    QList<double> idle, during;
    timedListing(window, args[5], " (not timed: the first pays for icons and types)");
    for (int run = 0; run < runs; ++run) {
        idle.append(timedListing(window, args[5], " idle"));
        timedListing(window, QStringLiteral("/"), " (the root, to queue from)");
        window.queuePane().QueueRemoteFile(QLatin1Char('/') + args[7], target);
        window.queuePane().ProcessTransfer();
        while (engine.isActive() && engine.bytesDone() < (qint64(16) << 20)) // under way, past its start
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!engine.isActive()) {
            std::fprintf(stderr, "bench_listing: the download ended before the listing started\n");
            return false;
        }
        during.append(timedListing(window, args[5], " during the download"));
        const bool overlapped = engine.isActive();
        const qint64 movedBy = engine.bytesDone();
        while (engine.isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        std::fprintf(stderr, "the download was at %lld MiB when the listing ended\n", movedBy >> 20);
        if (!overlapped || idle.constLast() < 0 || during.constLast() < 0 || QFileInfo(target).size() == 0) {
            std::fprintf(stderr, "bench_listing: the listing did not run while the download did\n");
            return false;
        }
        QFile::remove(target);
    }
    std::printf("%.4f %.4f\n", median(idle), median(during));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpIconTheme();
    const QStringList args = QApplication::arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: bench_listing HOST PORT USER PASSWORD FOLDER [RUNS [LARGE_FILE LOCAL_DIR]]\n");
        return 2;
    }
    const int runs = args.size() > 6 ? args[6].toInt() : 3;
    if (args.size() > 8)
        return listDuringTransfer(args, runs) ? 0 : 1;
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t = listOnce(args);
        if (t < 0) {
            std::fprintf(stderr, "bench_listing: could not connect\n");
            return 1;
        }
        times.append(t);
    }
    std::printf("%.4f\n", median(times));
    return 0;
}
