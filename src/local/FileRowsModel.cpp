#include "FileRowsModel.h"

#include "ListRoles.h"

#include <QSignalBlocker>
#include <algorithm>

namespace {

QVariant sortValue(const QStandardItem *item)
{
    if (!item)
        return {};
    const QVariant v = item->data(ListRoles::Sort);
    return v.isValid() ? v : item->data(Qt::DisplayRole);
}

bool valueLess(const QVariant &a, const QVariant &b)
{
    if (a.typeId() == QMetaType::QString || b.typeId() == QMetaType::QString)
        return QString::localeAwareCompare(a.toString(), b.toString()) < 0;
    return QVariant::compare(a, b) == QPartialOrdering::Less;
}

} // namespace

QVariant FileRowsModel::data(const QModelIndex &index, int role) const
{
    const QVariant value = QStandardItemModel::data(index, role);
    if (role == Qt::ToolTipRole && index.column() == 0 && !value.isValid())
        return QStandardItemModel::data(index, Qt::DisplayRole);
    return value;
}

void FileRowsModel::setRows(const QList<QList<QStandardItem *>> &rows)
{
    beginResetModel();
    {
        const QSignalBlocker quiet(this); // the reset tells the views everything at once
        removeRows(0, rowCount());
        for (const auto &row : rows)
            appendRow(row);
    }
    endResetModel();
}

// Takes the rows out, orders them and puts them back: linear apart from the sort itself.
void FileRowsModel::sortRows(int column, bool ascending)
{
    QList<QList<QStandardItem *>> rows;
    rows.reserve(rowCount());
    while (rowCount() > 0)
        rows.append(takeRow(rowCount() - 1));
    std::reverse(rows.begin(), rows.end());
    std::stable_sort(rows.begin(), rows.end(), [column, ascending](const auto &a, const auto &b) {
        const bool aParent = a.first()->data(ListRoles::ParentRow).toBool();
        const bool bParent = b.first()->data(ListRoles::ParentRow).toBool();
        if (aParent != bParent)
            return aParent;
        const QVariant va = sortValue(a.value(column)), vb = sortValue(b.value(column));
        return ascending ? valueLess(va, vb) : valueLess(vb, va);
    });
    for (const auto &row : rows)
        appendRow(row);
}
