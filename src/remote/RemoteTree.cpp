#include "RemoteTree.h"

#include "FileIconCache.h"
#include "ListRoles.h"
#include "RemoteListing.h"
#include "ServerNames.h"

#include <QStandardItemModel>

QStandardItem *RemoteTree::reset(const QString &host)
{
    m_model.clear();
    auto *root = new QStandardItem(m_icons.folderIcon(), host);
    root->setData(QStringLiteral("/"), ListRoles::Key);
    m_model.appendRow(root);
    return root;
}

QStandardItem *RemoteTree::node(const QString &key, bool create)
{
    QStandardItem *node = m_model.item(0);
    if (!node)
        return nullptr;
    QString path = QStringLiteral("/");
    for (const QString &part : key.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += part + QLatin1Char('/');
        QStandardItem *child = nullptr;
        for (int r = 0; r < node->rowCount() && !child; ++r)
            if (node->child(r)->data(ListRoles::Key).toString() == path)
                child = node->child(r);
        if (!child) {
            if (!create)
                return nullptr;
            child = new QStandardItem(m_icons.folderIcon(), part);
            child->setData(path, ListRoles::Key);
            node->appendRow(child);
        }
        node = child;
    }
    return node;
}

void RemoteTree::drop(const QString &key)
{
    QStandardItem *found = node(key, false);
    if (found && found->parent())
        found->parent()->removeRow(found->row());
}

RemoteTable RemoteTable::of(const QString &folder, const QList<FtpEntry> &entries, FileIconCache &icons)
{
    RemoteTable table;
    table.rows.reserve(entries.size() + 1);
    if (folder != QLatin1String("/"))
        table.rows.append(RemoteListing::parentRow(folder, icons));
    for (const FtpEntry &entry : entries) {
        if (entry.name == QLatin1String(".") || entry.name == QLatin1String(".."))
            continue;
        // A name with "\" is an ordinary folder on the server; only what could never name one
        // entry gets no node.
        if (entry.isFolder && ServerNames::isServerName(entry.name))
            table.folders.append(folder + entry.name + QLatin1Char('/'));
        else if (!entry.isFolder)
            table.files.append(entry.name);
        ++table.count;
        table.bytes += RemoteListing::rowBytes(entry);
        table.rows.append(RemoteListing::entryRow(folder, entry, icons));
    }
    return table;
}

QString RemoteTable::totalsLine() const
{
    return QStringLiteral("Remote: %1 files, %2 bytes").arg(count).arg(bytes);
}
