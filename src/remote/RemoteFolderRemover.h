#pragma once

#include <QString>
#include <functional>

class RemoteSession;

// Removes a remote folder with everything in it, depth first, one listing at a time: files are
// deleted, each folder is removed by "rmd" once empty, the innermost first. The walk always
// ends: a subfolder that cannot be entered, or that still cannot be removed once emptied, ends
// it with false. Names that could never be a folder of this one (".", "..", "/" or control
// characters in them) are neither entered nor removed.
class RemoteFolderRemover
{
public:
    struct Reporter
    {
        std::function<void(const QString &)> status;  // the status line
        std::function<void()> reply;                  // the server's last reply
        // Lets window events run; false when the connection went meanwhile.
        std::function<bool()> pump;
    };

    RemoteFolderRemover(RemoteSession &session, Reporter reporter);

    // folder: a name relative to the server's current folder, or a full path.
    bool RemoveRemoteFolder(const QString &folder);

private:
    bool enter(const QString &folder);
    bool emptyCurrentFolder(int depth);
    bool removeSubfolder(const QString &name, int depth);
    bool leave();

    RemoteSession &m_session;
    Reporter m_report;
    bool m_gone = false; // the connection went away: stop everything
};
