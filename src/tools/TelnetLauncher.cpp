#include "TelnetLauncher.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

namespace {

// Terminal emulators and how each is told to run a program.
struct Terminal
{
    const char *program;
    QStringList runFlag;
};

const QList<Terminal> &knownTerminals()
{
    static const QList<Terminal> terminals = {
        {"x-terminal-emulator", {"-e"}}, {"xterm", {"-e"}},      {"gnome-terminal", {"--"}}, {"konsole", {"-e"}},
        {"xfce4-terminal", {"-x"}},      {"lxterminal", {"-e"}}, {"mate-terminal", {"-x"}},  {"urxvt", {"-e"}},
    };
    return terminals;
}

QString findIn(const QString &program, const QStringList &paths)
{
    return paths.isEmpty() ? QString() : QStandardPaths::findExecutable(program, paths);
}

} // namespace

TelnetLauncher::Command TelnetLauncher::find(const QString &searchPath, const QString &preferredTerminal)
{
    const QStringList paths = searchPath.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    Command command;
    const QString telnet = findIn(QStringLiteral("telnet"), paths);
    if (telnet.isEmpty()) {
        command.error = QStringLiteral("The telnet program was not found. Please install it (Debian package "
                                       "inetutils-telnet) and try again.");
        return command;
    }
    if (!preferredTerminal.isEmpty()) {
        const QString term = findIn(preferredTerminal, paths);
        if (!term.isEmpty())
            return {term, {QStringLiteral("-e"), telnet}, {}};
    }
    for (const Terminal &t : knownTerminals()) {
        const QString term = findIn(QString::fromLatin1(t.program), paths);
        if (!term.isEmpty())
            return {term, t.runFlag + QStringList{telnet}, {}};
    }
    command.error = QStringLiteral("No terminal emulator was found to run telnet in. Please install one "
                                   "(for example xterm) and try again.");
    return command;
}

QString TelnetLauncher::launch(const Starter &start)
{
    const Command command = find(qEnvironmentVariable("PATH"), qEnvironmentVariable("TERMINAL"));
    if (!command.error.isEmpty())
        return command.error;
    if (!start(command.program, command.arguments))
        return QStringLiteral("Could not start %1.").arg(command.program);
    return {};
}
