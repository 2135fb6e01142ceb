// Times the local pane listing a folder of 100,000 files (rows, types, icons and dates, as the window
// shows them) and `ls -l` listing the same folder in the same run, and prints "name value unit" lines.
// The folder is made in a temporary folder (or under the folder given as the first argument).

#include "AppState.h"
#include "FileIconCache.h"
#include "LocalPane.h"
#include "ScriptedPrompter.h"
#include "formmain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int Files = 100'000;

void fail(const char *why)
{
    std::fprintf(stderr, "bench_local: %s\n", why);
    std::exit(1);
}

// Names of many types, as a real folder has them; a third of the files are empty.
void makeFiles(const QString &folder)
{
    static const char *const extensions[] = {"txt", "jpg",  "png", "c", "h",  "cpp", "pdf", "zip",
                                             "gz",  "html", "xyz", "",  "md", "mp3", "odt", "sys"};
    for (int i = 0; i < Files; ++i) {
        const QString extension = QString::fromLatin1(extensions[i % 16]);
        QFile file(folder + QStringLiteral("file%1").arg(i) + (extension.isEmpty() ? "" : "." + extension));
        if (!file.open(QIODevice::WriteOnly))
            fail("cannot make the files");
        if (i % 3 != 0)
            file.write("some content\n");
    }
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

// The median of a few runs: the machines are noisy.
double median(const std::function<double()> &run)
{
    double runs[3];
    for (double &r : runs)
        r = run();
    std::sort(std::begin(runs), std::end(runs));
    return runs[1];
}

double lsSeconds(const QString &folder)
{
    return seconds([&folder] {
        QProcess ls;
        ls.setStandardOutputFile(QProcess::nullDevice());
        ls.start(QStringLiteral("ls"), {QStringLiteral("-l"), folder});
        if (!ls.waitForFinished(60'000) || ls.exitCode() != 0)
            fail("ls -l failed");
    });
}

void checkRows(formmain &window)
{
    const QStandardItemModel *model = window.ListView3->model();
    if (model->rowCount() != Files + 1) // and ".."
        fail("the list does not hold every file");
    for (int row : {1, Files / 2, Files}) {
        if (model->item(row, 0)->icon().isNull() || model->item(row, 2)->text().isEmpty() ||
            model->item(row, 3)->text() == QLatin1String("-"))
            fail("a row lacks its icon, type or date");
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setUpIconTheme();
    const QStringList args = app.arguments();
    QTemporaryDir work((args.size() > 1 ? args.at(1) : QDir::tempPath()) + QStringLiteral("/bench-local-XXXXXX"));
    const QString folder = work.path() + QStringLiteral("/files/");
    if (!work.isValid() || !QDir().mkpath(folder))
        fail("cannot make the work folder");
    makeFiles(folder);

    AppState state(AppFolders::under(work.path() + QStringLiteral("/home")));
    state.folders.createMissing();
    formmain window(state, std::make_unique<ScriptedPrompter>());
    window.show();
    state.currentLocalFolder = folder;
    const double listing = median([&] {
        return seconds([&] {
            window.localPane().ClientGetDirectoryContents();
            QApplication::processEvents(); // the views lay the rows out
        });
    });
    checkRows(window);
    const double ls = median([&] { return lsSeconds(folder); });
    std::printf("local_list_100k_s %.3f s\n", listing);
    std::printf("local_list_100k_vs_ls %.2f ratio\n", listing / ls);
    return 0;
}
