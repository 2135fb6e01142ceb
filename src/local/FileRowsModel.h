#pragma once

#include <QStandardItemModel>

// The rows of a file list: all of them set in one reset, a name whose tooltip is its whole text
// (it may be shortened on screen), and an order by one column that keeps ".." first.
class FileRowsModel : public QStandardItemModel
{
public:
    using QStandardItemModel::QStandardItemModel;

    QVariant data(const QModelIndex &index, int role) const override;
    void setRows(const QList<QList<QStandardItem *>> &rows);
    // Values by their sort value (ListRoles::Sort: sizes and dates), texts as the locale orders
    // them; rows of equal value keep their order.
    void sortRows(int column, bool ascending);
};
