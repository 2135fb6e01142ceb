#pragma once

#include "FtpTypes.h"

#include <QString>
#include <functional>

class FtpSession;

// Finds every file below a remote folder, at any depth, with the local path that mirrors its place
// under the folder. Each folder is listed once and its entries remembered before any of its
// sub-folders is listed, so every file is found exactly once whatever order the server lists in.
// A name that could not be a local file name is passed to skipped() instead and goes no further.
class RemoteFolderWalk
{
public:
    using FileFound = std::function<void(const QString &remotePath, const QString &localPath, const FtpEntry &entry)>;
    using Skipped = std::function<void(const QString &remotePath)>;
    using Pump = std::function<bool()>; // lets events run; false when the walk must end as failed

    static constexpr int MaxDepth = 64;

    RemoteFolderWalk(FtpSession &session, Pump pump) : m_session(session), m_pump(std::move(pump)) {}

    // remoteFolder and localFolder end with "/". A folder the server will not list counts as
    // empty; false when the connection could not be used (closed, lost, or busy with a transfer).
    bool walk(const QString &remoteFolder, const QString &localFolder, const FileFound &found, const Skipped &skipped);

private:
    bool listed(const QString &folder, QList<FtpEntry> &entries);

    FtpSession &m_session;
    Pump m_pump;
};
