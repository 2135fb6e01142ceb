#pragma once

#include <QString>

// The program's data folders, all beside the program (or under VESTRIGAL_HOME).
// Every folder path ends with "/".
struct AppFolders
{
    QString app;
    QString logs;
    QString profiles;
    QString temp;
    QString helpFile;

    // The folder of the running executable, unless VESTRIGAL_HOME names another.
    static AppFolders locate();
    static AppFolders under(const QString &appFolder);

    // Creates the logs, profiles and temp folders that are missing; false when one could not be made.
    bool createMissing() const;
};
