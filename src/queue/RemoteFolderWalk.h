#pragma once

#include "FtpTypes.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class RemoteSession;

// Finds every file below a remote folder, at any depth, with the local path that mirrors its place
// under the folder. Each folder is listed once and its entries remembered before any of its
// sub-folders is listed, so every file is found exactly once whatever order the server lists in.
// A name that could not be a local file name is passed to skipped() instead and goes no further.
// The walk keeps its own stack; a tree deeper than the local file system can hold ends at the
// first path too long for it. A symbolic link is entered as a folder when the server lets us, and
// found as a file when it will not; a link back into the folders being walked (or to one walked
// already) is left out, and at most kMaxLinks links are followed one inside another, for servers
// that hide where a link leads.
class RemoteFolderWalk
{
public:
    using FileFound = std::function<void(const QString &remotePath, const QString &localPath, const FtpEntry &entry)>;
    using Skipped = std::function<void(const QString &remotePath)>;
    using Problem = std::function<void(const QString &text)>; // a line for the log
    using Pump = std::function<bool()>;                       // lets events run; false when the walk must end as failed

    static constexpr int kMaxLinks = 4;

    RemoteFolderWalk(RemoteSession &session, Pump pump) : m_session(session), m_pump(std::move(pump)) {}

    // remoteFolder and localFolder end with "/". False, after telling problem() why, at the first
    // folder the server will not list or whose local path would be too long; false too when the
    // connection could not be used (closed, lost, or busy with a transfer). Entries found before stay.
    bool walk(const QString &remoteFolder, const QString &localFolder, const FileFound &found, const Skipped &skipped,
              const Problem &problem = {});

private:
    struct Level;

    bool listed(const QString &folder, QList<FtpEntry> &entries, const Problem &problem);
    enum class LinkTo { Folder, File, Loop };
    LinkTo followLink(const QString &remote, const QList<Level> &stack, QString &real);
    // The one place where a name from the server becomes part of a local path.
    // The one place a server's name becomes a local path; nothing for a name that could not be one.
    static std::optional<QString> localChild(const QString &localFolder, const FtpEntry &entry);

    RemoteSession &m_session;
    Pump m_pump;
    QStringList m_linkedFolders; // the real folders that links led to
};
