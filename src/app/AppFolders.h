#pragma once

#include <QString>

// The program's data folders: beside the program when its help travels with it (a build folder,
// a copy unpacked anywhere), in the user's data folder when it is installed (beside the
// executable is not writable then), or under VESTRIGAL_HOME. Every folder path ends with "/".
struct AppFolders
{
    QString app;
    QString logs;
    QString profiles;
    QString temp;
    QString helpFile;
    QString queueFile; // the transfer queue, failed and finished lists (a QueueStore)

    // For the running executable, unless VESTRIGAL_HOME names another folder.
    static AppFolders locate();
    // For a program in programFolder: an installed one (prefix/bin with its help under
    // prefix/share/vestrigal) keeps its data in dataHome/vestrigal, any other beside itself.
    static AppFolders forProgramIn(const QString &programFolder, const QString &dataHome);
    static AppFolders under(const QString &appFolder);

    // Creates the logs, profiles and temp folders that are missing; false when one could not be made.
    bool createMissing() const;
};
