#pragma once

#include "ListRoles.h"

#include <QStackedWidget>

class QAbstractItemModel;
class QAbstractItemView;
class QListView;
class QStandardItem;
class QStandardItemModel;
class FileRowsModel;
class QItemSelectionModel;
class QTreeView;

// A file list with the four views of a desktop list control over one model:
// report (a tree view with columns) and icons, small icons and list (a list view).
// The model and the selection are shared, so switching views loses nothing.
class FileListView : public QStackedWidget
{
    Q_OBJECT
public:
    // The numbering of the list control's view property.
    enum ViewMode { Icons = 0, SmallIcons = 1, List = 2, Report = 3 };
    enum Role {
        KeyRole = ListRoles::Key,
        SortRole = ListRoles::Sort,
        ParentRowRole = ListRoles::ParentRow,
        KindRole = ListRoles::Kind
    };

    struct Column
    {
        QString title;
        QString key;
        int widthPixels;
    };

    explicit FileListView(const QString &name, QWidget *parent = nullptr);

    // The list's own rows; the model shown unless another was set with useModel.
    QStandardItemModel *model() const;
    // Shows another model (its header gives each column's key under Qt::UserRole); the views
    // keep sharing one selection. The list's own rows stay unused meanwhile.
    void useModel(QAbstractItemModel *model);
    QAbstractItemModel *shownModel() const { return m_shown; }
    // Replaces every row at once: one reset instead of a signal per row, for long listings.
    void setRows(const QList<QList<QStandardItem *>> &rows);
    QItemSelectionModel *selectionModel() const;
    QTreeView *reportView() const { return m_report; }
    QListView *iconView() const { return m_icons; }

    void setColumns(const QList<Column> &columns);
    void setColumnWidths(const QList<int> &widthsPixels);
    // Column number of a key ("name", "size", "tsize", ...), -1 when there is none.
    int column(const QString &key) const;

    ViewMode viewMode() const { return m_mode; }
    void setViewMode(ViewMode mode);

    // A header click: sorts by that column; the same column again toggles the order.
    // The ".." row stays first.
    void headerClicked(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    // Rows in the order shown; the key of a row.
    QString rowKey(int row) const;
    // What the row stands for, as it was built (a file when there is no such row).
    ListRoles::RowKind rowKind(int row) const;
    QList<int> selectedRows() const;
    // The ".." row; -1 when the list has none (a root folder).
    int parentRow() const;
    // Goes to the parent folder as a double-click on ".." does (Backspace, Alt+Up).
    void activateParentRow();

signals:
    void contextMenuRequested(const QPoint &globalPos);
    void activated(const QModelIndex &index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wireView(QAbstractItemView *view);
    void watchRows(QAbstractItemModel *model);
    void activate(const QModelIndex &index);
    // In the icon views, cells follow the longest name, up to a maximum: under big icons a name
    // takes up to three lines; longer names are shortened in the middle.
    void fitItemsToNames();
    void sortRows();

    FileRowsModel *m_model;
    QAbstractItemModel *m_shown;
    QTreeView *m_report;
    QListView *m_icons;
    QStringList m_keys;
    ViewMode m_mode = Report;
    bool m_fitDue = false;
    bool m_sorted = false; // no mark, and the server's order, until the user sorts
    int m_sortColumn = 0; // as if the name column had been clicked last: a first click there reverses
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
