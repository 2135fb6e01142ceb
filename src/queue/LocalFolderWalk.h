#pragma once

#include <QFileInfo>
#include <QString>
#include <functional>

// Finds every file below a local folder, at any depth, with the remote path that mirrors its place
// under the folder. Folders themselves give nothing, so empty ones are not reproduced. Folders
// reached through a symbolic link are not entered (a link can lead back up the tree).
class LocalFolderWalk
{
public:
    using FileFound = std::function<void(const QString &localPath, const QString &remotePath, const QFileInfo &file)>;
    // Lets window events run between entries; false ends the walk as failed.
    using Pump = std::function<bool()>;
    // A name the server could not take as one entry (a control character in it) goes no further.
    using Skipped = std::function<void(const QString &localPath)>;

    static constexpr int MaxDepth = 64;

    // localFolder and remoteFolder end with "/". False when the pump stopped the walk.
    static bool walk(const QString &localFolder, const QString &remoteFolder, const FileFound &found, const Pump &pump,
                     const Skipped &skipped = {});
};
