// Loads a remote text file into the editor (fetch in ASCII mode, decoding, the text box) RUNS
// times, and after each load replaces every "foo" by "bar" through the replace window. Prints
// the median seconds of the loads and of the replacements on one line.
//
// bench_editor HOST PORT USER PASSWORD FILE [RUNS]
#include "FtpSession.h"
#include "ScriptedPrompter.h"
#include "formascii.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 6) {
        std::fprintf(stderr, "usage: bench_editor HOST PORT USER PASSWORD FILE [RUNS]\n");
        return 2;
    }
    FtpOptions options;
    options.host = args[1];
    options.port = quint16(args[2].toUInt());
    options.user = args[3];
    options.password = args[4];
    FtpSession session;
    if (!session.open(options)) {
        std::fprintf(stderr, "bench_editor: could not connect: %s\n", qPrintable(session.lastResponseInfo()));
        return 1;
    }
    QTemporaryDir temp;
    ScriptedPrompter prompter;
    const int runs = args.size() > 6 ? std::max(1, args[6].toInt()) : 3;
    std::vector<double> loads, replaces;
    for (int i = 0; i < runs; ++i) {
        {
            // Where the time of a load goes, for stderr.
            QElapsedTimer part;
            part.start();
            RemoteTextFile file(temp.path() + QLatin1Char('/'));
            file.load(&session, args[5]);
            const qint64 fetched = part.nsecsElapsed();
            TextArea box;
            box.setText(file.text());
            std::fprintf(stderr, "fetch and decode %.3f s, text box %.3f s\n", fetched / 1e9,
                         (part.nsecsElapsed() - fetched) / 1e9);
        }
        formascii editor([&session] { return &session; }, [] { return QString(); }, prompter, args[5],
                         temp.path() + QLatin1Char('/'));
        editor.timeLoad->stop();
        QElapsedTimer timer;
        timer.start();
        editor.timeLoad_Timer();
        loads.push_back(timer.nsecsElapsed() / 1e9);
        if (!prompter.shown.isEmpty()) {
            std::fprintf(stderr, "bench_editor: %s\n", qPrintable(prompter.shown.last().text));
            return 1;
        }
        editor.menu_replace_Click();
        editor.replaceWindow()->txtSearch->setText(QStringLiteral("foo"));
        editor.replaceWindow()->txtReplace->setText(QStringLiteral("bar"));
        timer.restart();
        editor.replaceWindow()->btnReplaceall_Click();
        replaces.push_back(timer.nsecsElapsed() / 1e9);
        std::fprintf(stderr, "load %.3f s, replace all %.3f s: %s\n", loads.back(), replaces.back(),
                     qPrintable(prompter.shown.last().text));
        prompter.shown.clear();
    }
    std::printf("%.4f %.4f\n", median(loads), median(replaces));
    return 0;
}
