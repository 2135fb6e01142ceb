#pragma once

#include <QString>
#include <functional>

class RemoteSession;

// The connection a tool window fetches and stores through, asked for at the moment it is
// needed: null while not connected, and a new one after reconnecting.
using SessionSource = std::function<RemoteSession *()>;

// The server folder the user is in (ending with "/"), asked for at the moment a name typed or
// chosen is taken as being in it.
using FolderSource = std::function<QString()>;
