#pragma once

#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>

#include "LocalSide.h"
#include "PaneServices.h"
#include "RemoteSide.h"

class QAbstractItemView;
class QDropEvent;
class QStandardItem;
class FileListView;
class QStandardItemModel;
class QTreeView;
class QueuePane;

// Dragging rows of the two file lists onto a folder of either side: onto the other side the
// files and folders are queued for transfer, onto the same side they are moved. The drag stays
// inside the main window; the dropped rows are the ones selected when the drag began.
class DragDrop : public QObject
{
    Q_OBJECT
public:
    enum class Source { None, RemoteList, LocalList };
    struct Row
    {
        QString key;  // full path, as the list keys its rows
        QString text; // the name shown
        bool folder = false;
        int row = -1; // in the source list when the drag began
    };

    struct Controls
    {
        FileListView *ListView1, *ListView3;
        QTreeView *TreeView1, *TreeView2;
        QStandardItemModel *localTree, *remoteTree;
    };
    DragDrop(const PaneServices &services, const Controls &controls, RemoteSide &remote, LocalSide &local,
             QueuePane &queue);

    // What a drag carries; beginDrag() takes the selected rows of a list.
    void beginDrag(Source source);
    void endDrag();
    Source source() const { return m_source; }
    const QList<Row> &rows() const { return m_rows; }

    // Whether a row or node may take a drop (the drop highlight follows this).
    bool acceptsRemoteRow(int row) const;
    bool acceptsLocalRow(int row) const;
    bool acceptsLocalNode(const QStandardItem *node) const;
    bool acceptsRemoteNode(const QStandardItem *node) const;
    // The empty area of a list stands for the folder the list shows: rows of the other side only.
    bool acceptsRemoteList() const;
    bool acceptsLocalList() const;

    // The drops, as a real drop calls them.
    void dropOnRemoteRow(int row);
    void dropOnLocalRow(int row);
    void dropOnLocalNode(QStandardItem *node);
    void dropOnRemoteNode(QStandardItem *node);
    void dropOnRemoteList();
    void dropOnLocalList();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(QAbstractItemView *view, bool source);
    bool onMouse(QAbstractItemView *view, QEvent *event);
    bool onDrag(QAbstractItemView *view, QEvent *event);
    void startDrag(QAbstractItemView *view);
    QModelIndex targetAt(QAbstractItemView *view, const QPoint &pos) const;
    void highlight(const QModelIndex &index);
    void drop(QAbstractItemView *view, const QModelIndex &target);
    void queueUploads(const QString &remoteFolder, const QString &failure);
    void queueDownloads(const QString &localFolder, const QString &failure);
    void moveRemote(const QString &remoteFolder, const QString &failure);
    void moveLocal(const QString &localFolder);
    bool draggedOnto(const QString &key) const;

    PaneServices m_s;
    Controls m_ui;
    RemoteSide &m_remote;
    LocalSide &m_local;
    QueuePane &m_queue;
    Source m_source = Source::None;
    QList<Row> m_rows;
    bool m_armed = false;
    QPoint m_pressedAt;
    QPersistentModelIndex m_highlighted;
};
