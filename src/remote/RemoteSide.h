#pragma once

#include "ConnectionGuard.h"

class RemoteSession;
class PlaceholderFiles;

// The remote side as the other panes reach it: its connection and the guard that shares it.
class RemoteSide
{
public:
    virtual ~RemoteSide() = default;
    virtual RemoteSession *session() const = 0;
    // True when connected; otherwise tells the user so, as every remote command does.
    virtual bool requireConnection() = 0;
    // The connection for one remote command; an empty turn (and a status text) when it is held.
    virtual ConnectionGuard::Turn commandTurn() = 0;
    virtual ConnectionGuard &guard() = 0;
    virtual PlaceholderFiles &placeholders() = 0;
    // Lists the current remote folder again.
    virtual void FtpGetDirectoryContents() = 0;
};
