#pragma once

#include "ProfileFile.h"

#include <QString>
#include <optional>

// What connecting with a profile hands to the main window. A server field holding an address
// such as "ftp://host:port/path" (or ftpes://, ftps://, sftp://) connects as the command line does: the address's host, and
// its port, user and password where it names them; the profile's fields give the rest.
struct ProfileConnection
{
    QString server;
    QString port;
    QString username;
    QString password;
    QString proxy;
    QString timeout;
    QString keepAlive;
    bool active = false;
    QString startFolder; // remote folder to open; empty for the server's first folder

    // Nothing, with `error` set, when the server field is an address that cannot be used.
    static std::optional<ProfileConnection> from(const Profile &profile, QString *error);
};
