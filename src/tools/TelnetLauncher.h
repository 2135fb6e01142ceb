#pragma once

#include <QStringList>
#include <functional>

// Starts telnet in the user's terminal emulator without waiting for it.
class TelnetLauncher
{
public:
    struct Command
    {
        QString program;
        QStringList arguments;
        QString error; // set when nothing can be started; a message for the user
    };

    using Starter = std::function<bool(const QString &program, const QStringList &arguments)>;

    // Looks in `searchPath` (a PATH value); `preferredTerminal` is the TERMINAL variable.
    static Command find(const QString &searchPath, const QString &preferredTerminal);
    // Finds and starts; returns the message to show, or an empty text when telnet started.
    static QString launch(const Starter &start);
};
