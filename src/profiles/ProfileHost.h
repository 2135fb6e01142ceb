#pragma once

#include "ProfileConnection.h"

class Prompter;

// What the profile manager needs of the main window: its quick-connect fields, its active-mode
// check box, its connect operation and its prompter. Nothing else of it is reachable.
class ProfileHost
{
public:
    virtual ~ProfileHost() = default;

    // Server, port, user name, password, proxy, time-out and keep-alive, in that order.
    virtual void setConnectionFields(const ProfileConnection &connection) = 0;
    virtual void setActiveMode(bool active) = 0;
    // Runs the main window's connect with its fields as they stand; returns when it has ended.
    virtual void runConnect(const QString &startFolder) = 0;
    virtual Prompter &prompter() = 0;
};
