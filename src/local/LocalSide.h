#pragma once

#include <QString>

// The local side as the other panes reach it.
class LocalSide
{
public:
    virtual ~LocalSide() = default;
    // Lists the current local folder again.
    virtual void ClientGetDirectoryContents() = 0;
    // New folders were made below `folder`: its tree node is listed again and opened.
    virtual void showNewFolders(const QString &folder) = 0;
    // Folders were moved into `folder`: an open node of it shows them.
    virtual void showMovedFolders(const QString &folder) = 0;
};
