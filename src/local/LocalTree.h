#pragma once

#include "LocalPlaces.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QSet>
#include <QStandardItemModel>
#include <functional>

class FileIconCache;

// The local folder tree on its model: Desktop at the top with My documents and My computer under it,
// the volumes under My computer, and folders filled in lazily, one level at a time, as nodes expand.
// A node not yet listed that has subfolders holds one placeholder child (no text, no folder).
// Every node but My computer and the placeholders carries its folder path (ending "/") in PathRole;
// the program finds a folder's node in the volumes' branch first.
class LocalTree
{
public:
    enum Role { PathRole = Qt::UserRole, KindRole };
    enum class Kind { Placeholder, Desktop, Documents, Computer, FixedDisk, Removable, Optical, Folder };

    LocalTree(QStandardItemModel &model, FileIconCache &icons);

    // Lets window events run now and then while a large folder's subfolders are added.
    void setEventPump(std::function<void()> pump) { m_pump = std::move(pump); }

    // Rebuilds the whole tree. False (and an empty My computer) when there is no volume at all.
    bool build(const LocalPlaces &places);
    // Expands every level on the way down to the folder that has a node, from the given level on
    // (0 is the root "/"); returns the folders of those nodes in order.
    QStringList walkDown(const QString &folder, int fromLevel = 0);

    // Adds the node's subfolders that it does not hold yet, hidden ones included, by name.
    void listFolders(QStandardItem *node);
    // A placeholder first child gives way to the node's subfolders.
    void expand(QStandardItem *node);
    // The children give way to one placeholder (not for My computer and Desktop). When the current folder
    // lay in a child, returns the node's folder, which becomes the current one; else an empty text.
    QString collapse(QStandardItem *node, const QString &currentFolder);
    // After a change on disk: the children are listed afresh (expanded) or become one placeholder.
    void reload(QStandardItem *node, bool expanded);
    // A renamed folder: the node takes the new path and name, and its children are rebuilt.
    void setFolder(QStandardItem *node, const QString &folder, bool expanded);

    QStandardItem *folderNode(const QString &folder) const;
    QStandardItem *desktopNode() const;
    QStandardItem *computerNode() const;
    static QString folderOf(const QStandardItem *node);
    static Kind kindOf(const QStandardItem *node);

private:
    QStandardItem *addNode(QStandardItem *parent, const QString &text, const QString &folder, Kind kind);
    void addPlaceholder(QStandardItem *node);
    static bool hasSubfolder(const QString &folder);
    void pumpNowAndThen();
    QIcon icon(Kind kind);
    static QStandardItem *childLeadingTo(const QStandardItem *node, const QString &folder);
    static QStandardItem *findBelow(const QStandardItem *node, const QString &folder);

    QStandardItemModel &m_model;
    FileIconCache &m_icons;
    std::function<void()> m_pump;
    QElapsedTimer m_sincePump;
    bool m_quiet = false; // while building or walking: no events run
    QSet<QString> m_volumeRoots;
    QHash<int, QIcon> m_kindIcons;
};
