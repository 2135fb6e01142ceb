#pragma once

#include <QString>

class RemoteSession;

// What a path on the server is, as far as the server lets us see: SIZE first, then the folder's
// listing where SIZE gives nothing (servers without it, folders, names it will not size).
struct FtpRemoteItem
{
    enum Kind { Unknown, Absent, File, Folder };
    Kind kind = Unknown; // Unknown: the server could not tell, or the connection went
    qint64 size = -1;    // of a file

    static FtpRemoteItem probe(RemoteSession &session, const QString &path);
};
