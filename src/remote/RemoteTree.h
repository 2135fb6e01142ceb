#pragma once

#include "FtpTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

class FileIconCache;
class QStandardItem;
class QStandardItemModel;

// The remote folder tree as a model: one root node for the server ("/"), below it a node per
// folder, keyed by its path ("/pub/x/"). Nodes are made as listings show folders.
class RemoteTree
{
public:
    RemoteTree(QStandardItemModel &model, FileIconCache &icons) : m_model(model), m_icons(icons) {}

    // Only the root node, captioned with the host.
    QStandardItem *reset(const QString &host);
    // The node of a folder key; missing nodes along the path are made when asked to.
    QStandardItem *node(const QString &key, bool create);
    // A folder that could not be entered has no node: it may be gone from the server.
    void drop(const QString &key);

private:
    QStandardItemModel &m_model;
    FileIconCache &m_icons;
};

// What a listing of one folder shows: the rows of the list (".." first, below "/"), the
// folders that get a tree node, the files, and the totals.
struct RemoteTable
{
    QList<QList<QStandardItem *>> rows;
    QStringList folders; // keys of the subfolders that may have a node
    QStringList files;
    qint64 count = 0;
    qint64 bytes = 0;

    static RemoteTable of(const QString &folder, const QList<FtpEntry> &entries, FileIconCache &icons);
    QString totalsLine() const;
};
