#pragma once

#include "ProfileFile.h"

#include <QList>
#include <QString>
#include <functional>

// One node of the profile tree. Keys are full paths; a folder's key ends with "/".
struct ProfileNode
{
    enum Image { Root = 1, Folder = 2, File = 3 };

    QString key;
    QString parentKey; // empty for the root
    QString text;
    int image = File;

    bool isFolder() const { return key.endsWith(QLatin1Char('/')); }
};

// The profile store: the profiles folder and its subfolders, each profile one file. There is no
// index; the tree is listed afresh from the disk. Profile files hold passwords in plain text,
// so files are made readable by their owner only and the folders private.
class ProfileStore
{
public:
    enum class Created { Done, Ignored, Exists, BadName, Failed };
    enum class Saved { Done, NotAProfile, Failed };

    explicit ProfileStore(const QString &profilesFolder); // ends with "/"

    const QString &root() const { return m_root; }
    // Makes the profiles folder if it is missing and keeps it private (0700).
    bool secureRoot() const;

    // The whole tree, the root first, then depth first; entries of a folder by name, case aside.
    QList<ProfileNode> GetProfiles() const;
    void ListSubProfiles(const QString &hdir, QList<ProfileNode> &nodes, int depth = 0) const;

    // A new profile file of the default fields in `folder`: Ignored for an empty name or
    // "Profiles", Exists when the file is there (left as it is), BadName when the file system
    // would refuse the name.
    Created createProfile(const QString &folder, const QString &name) const;
    Created createFolder(const QString &folder, const QString &name) const;
    // Replaces a profile file's content as a whole; the file stays private. Only a file that reads
    // as a whole profile is replaced: a damaged one, a missing one or another kind of file
    // (notes.txt in the folder) is NotAProfile and left as it is.
    Saved writeProfile(const QString &path, const Profile &profile) const;
    // Deletes a profile file or a folder with everything in it; true when it is gone.
    bool removeNode(const ProfileNode &node) const;
    // Deletes the nodes in order (the root never), skipping those already gone. After a node
    // that stays, `goOn` is asked whether to delete the rest. The names of the nodes that stayed.
    QStringList removeNodes(const QList<ProfileNode> &nodes,
                            const std::function<bool(const ProfileNode &)> &goOn) const;
    static bool stillThere(const ProfileNode &node);

    // Why a name cannot be a file or folder name here; empty when it can.
    static QString nameProblem(const QString &name, const QString &suffix = {});

    // Tests replace the deletion to see failures handled (root removes everything here).
    std::function<bool(const ProfileNode &)> remover;

private:
    QString m_root;
};
