#pragma once

#include "AppFolders.h"
#include "FtpTypes.h"
#include "Settings.h"

#include <QString>

class RemoteSession;

// The program-wide values: created once in main() (or by a test) and passed by reference.
// Every start begins with the same values; nothing here is ever saved.
class AppState
{
public:
    explicit AppState(const AppFolders &folders);

    AppFolders folders;
    Settings settings;
    QString currentLogFile;

    // The open FTP connection, owned by the main window; null while not connected.
    RemoteSession *session = nullptr;
    bool connected() const { return session != nullptr; }
    RemoteProtocol protocol = RemoteProtocol::Ftp; // of the open connection

    QString currentLocalFolder;  // ends with "/"
    QString currentRemoteFolder; // empty until connected, then ends with "/"
    QString remoteFilter = QStringLiteral("*.*");
    QString localFilter = QStringLiteral("*.*");
    bool queueRunning = true;
    bool listingFree = true;
    bool splitterDragging = false;
};
