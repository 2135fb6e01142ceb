#pragma once

#include <QStyledItemDelegate>

class QListView;

// Draws the names of the icon views. Under big icons a name takes up to three lines at the grid's
// width; in the small icon and list views one line beside the icon. Only a name that needs more
// room than that is shortened, in the middle, so names that differ still look different.
class IconNameDelegate : public QStyledItemDelegate
{
public:
    explicit IconNameDelegate(QListView *view);

    // The lines the view shows for the row at `index`, as painted.
    QStringList shownLines(const QModelIndex &index) const;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    bool underIcon() const;
    int textWidth(const QSize &cell) const;
    QSize cellSize(const QStyleOptionViewItem &option, const QModelIndex &index) const;

    QListView *m_view;
};
