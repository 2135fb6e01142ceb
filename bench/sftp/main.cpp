// Moves one file or one folder tree over SFTP through the main window's queue with the default
// settings, logging in with the keys of KEYFOLDER (laid out like ~/.ssh, its known_hosts holding
// the server's key). Wall time and peak memory are measured from outside.
//
// sftp_bench download PORT KEYFOLDER REMOTE_FILE LOCAL_FILE
// sftp_bench upload   PORT KEYFOLDER REMOTE_FILE LOCAL_FILE
// sftp_bench tree     PORT KEYFOLDER REMOTE_FOLDER LOCAL_FOLDER
#include "../RunQueue.h"
#include "AppState.h"
#include "FileIconCache.h"
#include "LocalPane.h"
#include "ProcessMemory.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "RemotePane.h"
#include "ScriptedPrompter.h"
#include "TransferEngine.h"
#include "formmain.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>

namespace {

bool runQueue(formmain &window)
{
    runWindowQueue(window);
    return window.queuePane().queue().count() == 0;
}

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: sftp_bench download|upload|tree PORT KEYFOLDER REMOTE LOCAL\n");
        return 2;
    }
    // The keys and known_hosts are looked for in ~/.ssh: a home of our own whose .ssh is KEYFOLDER.
    QTemporaryDir home;
    QFile::link(QFileInfo(QString::fromLocal8Bit(argv[3])).absoluteFilePath(), home.path() + QStringLiteral("/.ssh"));
    qputenv("HOME", QFile::encodeName(home.path()));
    tuneProcessMemory();
    QApplication app(argc, argv);
    setUpIconTheme();
    const QString mode = QString::fromLatin1(argv[1]);
    const QString remote = QString::fromLocal8Bit(argv[4]);
    const QString local = QFileInfo(QString::fromLocal8Bit(argv[5])).absoluteFilePath();
    AppState state(AppFolders::under(home.path() + QStringLiteral("/app")));
    state.folders.createMissing();
    auto *prompter = new ScriptedPrompter;
    formmain window(state, std::unique_ptr<Prompter>(prompter));
    window.txtServer->setText(QStringLiteral("sftp://127.0.0.1"));
    window.txtPort->setText(QString::fromLatin1(argv[2]));
    window.txtUsername->setText(QStringLiteral("root"));
    window.remotePane().connectAt(mode == QLatin1String("tree") ? remote : folderOf(remote));
    if (!state.connected()) {
        std::fprintf(stderr, "sftp_bench: could not connect\n");
        return 1;
    }
    state.currentLocalFolder = folderOf(local);
    window.localPane().ClientGetDirectoryContents();
    if (mode == QLatin1String("download"))
        window.queuePane().QueueRemoteFile(remote, local);
    else if (mode == QLatin1String("upload"))
        window.queuePane().QueueLocalFile(local, remote);
    else if (!window.queuePane().QueueRemoteFolder(state.session, remote + QLatin1Char('/'), local + QLatin1Char('/')))
        return 1;
    if (mode != QLatin1String("tree") && window.queuePane().queue().count() != 1) {
        std::fprintf(stderr, "sftp_bench: %s was not queued\n", qPrintable(mode == QLatin1String("upload") ? local : remote));
        return 1;
    }
    const bool ok = runQueue(window) && prompter->shown.isEmpty();
    if (!ok)
        std::fprintf(stderr, "sftp_bench: the queue did not end well (%d messages)\n", int(prompter->shown.size()));
    return ok ? 0 : 1;
}
