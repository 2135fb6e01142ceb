#pragma once

#include <QList>
#include <QString>

// A mounted volume as the local tree shows it under "My computer".
struct LocalVolume
{
    enum class Kind { FixedDisk, Removable, Optical };
    QString root; // ends with "/"
    Kind kind = Kind::FixedDisk;
};

// The places the local tree starts from: the desktop and documents folders and the mounted volumes.
// Tests build their own; the program asks the system.
struct LocalPlaces
{
    QString desktop;   // ends with "/"
    QString documents; // ends with "/"
    QList<LocalVolume> volumes;

    static LocalPlaces ofThisSystem();
    // The desktop and documents folders of the user; the home folder where one does not exist.
    static QString desktopFolder();
    static QString documentsFolder();
    // Real volumes, "/" first, the others by path; pseudo file systems and volumes of no size left out.
    static QList<LocalVolume> mountedVolumes();
};
