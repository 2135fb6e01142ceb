#include "LocalTree.h"

#include "FileIconCache.h"
#include "LocalPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QPersistentModelIndex>

#include <utility>

namespace {

constexpr QDir::Filters Subfolders = QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
constexpr qint64 PumpEveryMs = 50;

LocalTree::Kind kindFor(LocalVolume::Kind kind)
{
    switch (kind) {
    case LocalVolume::Kind::Removable:
        return LocalTree::Kind::Removable;
    case LocalVolume::Kind::Optical:
        return LocalTree::Kind::Optical;
    case LocalVolume::Kind::FixedDisk:
        break;
    }
    return LocalTree::Kind::FixedDisk;
}

QString themeName(LocalTree::Kind kind)
{
    switch (kind) {
    case LocalTree::Kind::Desktop:
        return QStringLiteral("user-desktop");
    case LocalTree::Kind::Documents:
        return QStringLiteral("folder-documents");
    case LocalTree::Kind::Computer:
        return QStringLiteral("computer");
    case LocalTree::Kind::FixedDisk:
        return QStringLiteral("drive-harddisk");
    case LocalTree::Kind::Removable:
        return QStringLiteral("drive-removable-media");
    case LocalTree::Kind::Optical:
        return QStringLiteral("drive-optical");
    case LocalTree::Kind::Folder:
    case LocalTree::Kind::Placeholder:
        break;
    }
    return QStringLiteral("folder");
}

} // namespace

LocalTree::LocalTree(QStandardItemModel &model, FileIconCache &icons) : m_model(model), m_icons(icons)
{
    m_sincePump.start();
}

bool LocalTree::build(const LocalPlaces &places)
{
    m_quiet = true; // no events in between: a second build must not start under this one
    m_model.removeRows(0, m_model.rowCount());
    m_volumeRoots.clear();
    for (const LocalVolume &volume : places.volumes)
        m_volumeRoots.insert(LocalPaths::asFolder(volume.root));
    QStandardItem *desktop =
        addNode(m_model.invisibleRootItem(), QStringLiteral("Desktop"), places.desktop, Kind::Desktop);
    listFolders(addNode(desktop, QStringLiteral("My documents"), places.documents, Kind::Documents));
    QStandardItem *computer = addNode(desktop, QStringLiteral("My computer"), QString(), Kind::Computer);
    for (const LocalVolume &volume : places.volumes) {
        const QString root = LocalPaths::asFolder(volume.root);
        listFolders(addNode(computer, root, root, kindFor(volume.kind)));
    }
    listFolders(desktop);
    m_quiet = false;
    return !places.volumes.isEmpty();
}

QStringList LocalTree::walkDown(const QString &folder, int fromLevel)
{
    // A handful of levels: no events in between, so nothing can change the tree under the walk.
    const bool wasQuiet = std::exchange(m_quiet, true);
    QStringList expanded;
    const QStringList levels = LocalPaths::levels(folder);
    for (qsizetype i = fromLevel; i < levels.size(); ++i) {
        if (QStandardItem *node = folderNode(levels[i])) {
            expand(node);
            expanded << levels[i];
        }
    }
    m_quiet = wasQuiet;
    return expanded;
}

void LocalTree::listFolders(QStandardItem *node)
{
    const QString folder = folderOf(node);
    if (folder.isEmpty())
        return;
    QSet<QString> present;
    for (int row = 0; row < node->rowCount(); ++row)
        present.insert(folderOf(node->child(row)));
    const QPersistentModelIndex kept(node->index());
    const QStringList names = QDir(folder).entryList(Subfolders, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        const QString path = folder + name + QLatin1Char('/');
        if (present.contains(path) || m_volumeRoots.contains(path))
            continue; // a mounted volume shows under My computer only
        QStandardItem *child = addNode(node, name, path, Kind::Folder);
        if (hasSubfolder(path))
            addPlaceholder(child);
        pumpNowAndThen();
        // The events may have collapsed or rebuilt the tree under us.
        node = kept.isValid() ? m_model.itemFromIndex(kept) : nullptr;
        if (folderOf(node) != folder)
            return;
    }
}

void LocalTree::expand(QStandardItem *node)
{
    if (!node || kindOf(node) == Kind::Computer)
        return;
    const QStandardItem *first = node->child(0);
    if (first && kindOf(first) == Kind::Placeholder) {
        node->removeRow(0);
        listFolders(node);
    }
}

QString LocalTree::collapse(QStandardItem *node, const QString &currentFolder)
{
    if (!node || !node->hasChildren() || kindOf(node) == Kind::Computer || kindOf(node) == Kind::Desktop)
        return QString();
    QString moved;
    for (int row = 0; row < node->rowCount(); ++row) {
        const QString child = folderOf(node->child(row));
        if (!child.isEmpty() && currentFolder.startsWith(child))
            moved = folderOf(node);
    }
    node->removeRows(0, node->rowCount());
    addPlaceholder(node); // the next expansion lists the subfolders afresh
    return moved;
}

void LocalTree::reload(QStandardItem *node, bool expanded)
{
    if (folderOf(node).isEmpty())
        return;
    // Folders and placeholders only: the desktop keeps My documents and My computer.
    for (int row = node->rowCount() - 1; row >= 0; --row) {
        const Kind kind = kindOf(node->child(row));
        if (kind == Kind::Folder || kind == Kind::Placeholder)
            node->removeRow(row);
    }
    if (expanded)
        listFolders(node);
    else if (hasSubfolder(folderOf(node)))
        addPlaceholder(node);
}

void LocalTree::setFolder(QStandardItem *node, const QString &folder, bool expanded)
{
    if (!node)
        return;
    node->setData(LocalPaths::asFolder(folder), PathRole);
    node->setText(LocalPaths::fileName(folder));
    reload(node, expanded);
}

QStandardItem *LocalTree::folderNode(const QString &folder) const
{
    const QString path = LocalPaths::asFolder(folder);
    // The volumes' branch first: from the deepest volume holding the folder, one level at a time.
    QStandardItem *node = nullptr;
    const QStandardItem *computer = computerNode();
    for (int row = 0; computer && row < computer->rowCount(); ++row) {
        QStandardItem *volume = computer->child(row);
        if (path.startsWith(folderOf(volume)) && (!node || folderOf(volume).size() > folderOf(node).size()))
            node = volume;
    }
    while (node && folderOf(node) != path)
        node = childLeadingTo(node, path);
    return node ? node : findBelow(m_model.invisibleRootItem(), path);
}

QStandardItem *LocalTree::desktopNode() const
{
    return m_model.item(0);
}

QStandardItem *LocalTree::computerNode() const
{
    const QStandardItem *desktop = desktopNode();
    for (int row = 0; desktop && row < desktop->rowCount(); ++row) {
        if (kindOf(desktop->child(row)) == Kind::Computer)
            return desktop->child(row);
    }
    return nullptr;
}

QString LocalTree::folderOf(const QStandardItem *node)
{
    return node ? node->data(PathRole).toString() : QString();
}

LocalTree::Kind LocalTree::kindOf(const QStandardItem *node)
{
    return node ? Kind(node->data(KindRole).toInt()) : Kind::Placeholder;
}

QStandardItem *LocalTree::addNode(QStandardItem *parent, const QString &text, const QString &folder, Kind kind)
{
    auto *node = new QStandardItem(icon(kind), text);
    node->setData(folder, PathRole);
    node->setData(int(kind), KindRole);
    node->setEditable(kind == Kind::Folder); // only plain folders are renamed in place
    parent->appendRow(node);
    return node;
}

void LocalTree::addPlaceholder(QStandardItem *node)
{
    auto *placeholder = new QStandardItem;
    placeholder->setData(int(Kind::Placeholder), KindRole);
    placeholder->setFlags(Qt::ItemIsEnabled);
    node->appendRow(placeholder);
}

bool LocalTree::hasSubfolder(const QString &folder)
{
    return QDirIterator(folder, Subfolders).hasNext();
}

void LocalTree::pumpNowAndThen()
{
    if (!m_pump || m_quiet || m_sincePump.elapsed() < PumpEveryMs)
        return;
    m_sincePump.restart();
    m_pump();
}

QIcon LocalTree::icon(Kind kind)
{
    if (kind == Kind::Placeholder)
        return QIcon();
    const auto found = m_kindIcons.constFind(int(kind));
    if (found != m_kindIcons.cend())
        return *found;
    QIcon icon = kind == Kind::Folder ? QIcon() : QIcon::fromTheme(themeName(kind));
    if (icon.isNull())
        icon = m_icons.folderIcon();
    return *m_kindIcons.insert(int(kind), icon);
}

QStandardItem *LocalTree::childLeadingTo(const QStandardItem *node, const QString &folder)
{
    for (int row = 0; row < node->rowCount(); ++row) {
        const QString child = folderOf(node->child(row));
        if (!child.isEmpty() && folder.startsWith(child))
            return node->child(row);
    }
    return nullptr;
}

QStandardItem *LocalTree::findBelow(const QStandardItem *node, const QString &folder)
{
    for (int row = 0; row < node->rowCount(); ++row) {
        QStandardItem *child = node->child(row);
        if (folderOf(child) == folder)
            return child;
        if (QStandardItem *found = findBelow(child, folder))
            return found;
    }
    return nullptr;
}
