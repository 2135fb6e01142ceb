#pragma once

#include <QFileInfo>
#include <QString>
#include <functional>

// Finds every file below a local folder, at any depth, with the remote path that mirrors its place
// under the folder. Folders themselves give nothing, so empty ones are not reproduced. Folders
// reached through a symbolic link are not entered (a link can lead back up the tree). The walk keeps
// its own stack, so depth costs memory, never the call stack.
class LocalFolderWalk
{
public:
    using FileFound = std::function<void(const QString &localPath, const QString &remotePath, const QFileInfo &file)>;
    // Lets window events run between entries; false ends the walk as failed.
    using Pump = std::function<bool()>;
    using Problem = std::function<void(const QString &text)>; // a line for the log
    // A name the server could not take as one entry (a control character in it) goes no further.
    using Skipped = std::function<void(const QString &localPath)>;

    // localFolder and remoteFolder end with "/". A folder that cannot be read is reported to
    // problem() and passed over; the walk goes on, and returns false at the end. False at once
    // when the pump stopped the walk.
    static bool walk(const QString &localFolder, const QString &remoteFolder, const FileFound &found, const Pump &pump,
                     const Problem &problem = {}, const Skipped &skipped = {});
};
