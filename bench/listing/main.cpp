// Lists a remote folder through the main window's listing (placeholders, types, icons, rows,
// tree) with a fresh program folder each time, and prints the median time.
//
// bench_listing HOST PORT USER PASSWORD FOLDER [RUNS]
#include "AppState.h"
#include "FileIconCache.h"
#include "RemotePane.h"
#include "ScriptedPrompter.h"
#include "formmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

double listOnce(const QStringList &args)
{
    QTemporaryDir home;
    AppState state(AppFolders::under(home.path()));
    state.folders.createMissing();
    formmain window(state, std::make_unique<ScriptedPrompter>());
    window.txtServer->setText(args[1]);
    window.txtPort->setText(args[2]);
    window.txtUsername->setText(args[3]);
    window.txtPassword->setText(args[4]);
    window.remotePane().btnConnect_Click();
    if (!state.connected())
        return -1;
    state.currentRemoteFolder = args[5];
    QElapsedTimer timer;
    timer.start();
    window.remotePane().FtpGetDirectoryContents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::fprintf(stderr, "listed %d rows in %.3f s\n", window.ListView1->model()->rowCount(), seconds);
    return seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpIconTheme();
    const QStringList args = QApplication::arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: bench_listing HOST PORT USER PASSWORD FOLDER [RUNS]\n");
        return 2;
    }
    const int runs = args.size() > 6 ? args[6].toInt() : 3;
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t = listOnce(args);
        if (t < 0) {
            std::fprintf(stderr, "bench_listing: could not connect\n");
            return 1;
        }
        times.append(t);
    }
    std::sort(times.begin(), times.end());
    std::printf("%.4f\n", times[times.size() / 2]);
    return 0;
}
