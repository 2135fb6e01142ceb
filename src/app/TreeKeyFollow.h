#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QTimer>

class QTreeView;

// Moving through a folder tree with the keys lists the folder under the cursor once the keys
// rest for a moment, as a click would; the folders passed on the way are not listed.
class TreeKeyFollow : public QObject
{
    Q_OBJECT
public:
    static constexpr int PauseMs = 350;

    explicit TreeKeyFollow(QTreeView *tree);

signals:
    void settled(const QModelIndex &index); // the folder to list, as a click on it

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onPause();

    QTreeView *m_tree;
    QTimer m_pause;
    QPersistentModelIndex m_before; // the node current when the keys began
};
