#pragma once

#include "RemoteSession.h"

#include <memory>

// A new, unopened session for the protocol the options name.
namespace RemoteSessions {
std::unique_ptr<RemoteSession> make(RemoteProtocol protocol, QObject *parent = nullptr);
}
