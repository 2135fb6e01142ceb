#pragma once

#include <QString>

// Starts programs for files. The program uses DesktopFileOpener; tests give a recording one, so that
// no test ever launches a real program through the desktop.
class FileOpener
{
public:
    virtual ~FileOpener() = default;

    // Starts an executable file detached, with the given working folder. True when a process started.
    virtual bool startProgram(const QString &program, const QString &workingFolder) = 0;
    // Opens a file with the desktop's associated program. True when a program was started.
    virtual bool openWithDesktop(const QString &path) = 0;
};

// xdg-open for the desktop's association (or the platform's URL handler where xdg-open is missing).
class DesktopFileOpener : public FileOpener
{
public:
    bool startProgram(const QString &program, const QString &workingFolder) override;
    bool openWithDesktop(const QString &path) override;
};
