#pragma once

#include <functional>

class FtpSession;

// The connection a tool window fetches and stores through, asked for at the moment it is
// needed: null while not connected, and a new one after reconnecting.
using SessionSource = std::function<FtpSession *()>;
