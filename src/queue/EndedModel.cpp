#include "EndedModel.h"

#include "TransferProgress.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

EndedModel::EndedModel(Kind kind, QObject *parent) : QAbstractTableModel(parent), m_kind(kind) {}

QString EndedModel::title() const
{
    return (m_kind == Kind::Failed ? QStringLiteral("Failed (%1)") : QStringLiteral("Finished (%1)")).arg(count());
}

void EndedModel::append(const StoredEntry &entry)
{
    beginInsertRows({}, count(), count());
    m_rows.append(entry);
    endInsertRows();
    emit countChanged();
}

void EndedModel::setEntries(const QList<StoredEntry> &entries)
{
    beginResetModel();
    m_rows = entries;
    endResetModel();
    emit countChanged();
}

QList<StoredEntry> EndedModel::take(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<StoredEntry> taken;
    for (const int row : std::as_const(rows))
        if (row >= 0 && row < count())
            taken.append(m_rows.at(row));
    // From the bottom up, so that the rows above keep their numbers.
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (*row < 0 || *row >= count())
            continue;
        beginRemoveRows({}, *row, *row);
        m_rows.removeAt(*row);
        endRemoveRows();
    }
    if (!taken.isEmpty())
        emit countChanged();
    return taken;
}

void EndedModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
    emit countChanged();
}

int EndedModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int EndedModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString EndedModel::text(const StoredEntry &entry, int column) const
{
    switch (column) {
    case LocalName:
        return entry.entry.localPath;
    case RemoteName:
        return entry.entry.remotePath;
    case Direction:
        return QueueEntry::directionText(entry.entry.direction);
    case Size:
        return entry.entry.sizeText;
    case Detail:
        if (m_kind == Kind::Failed)
            return entry.reason;
        return TransferProgress::durationText(qint64(std::ceil(entry.seconds)));
    case When:
        return QLocale().toString(entry.endedAt.toLocalTime(), QLocale::ShortFormat);
    default:
        return {};
    }
}

QVariant EndedModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() >= ColumnCount)
        return {};
    const StoredEntry &entry = m_rows.at(index.row());
    if (role == Qt::DisplayRole || (role == Qt::ToolTipRole && index.column() == Detail))
        return text(entry, index.column());
    if (role == Qt::TextAlignmentRole && index.column() == Size)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant EndedModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    const bool failed = m_kind == Kind::Failed;
    switch (section) {
    case LocalName:
        return QStringLiteral("Local name");
    case RemoteName:
        return QStringLiteral("Remote name");
    case Direction:
        return QStringLiteral("Direction");
    case Size:
        return QStringLiteral("Size");
    case Detail:
        return failed ? QStringLiteral("Reason") : QStringLiteral("Time taken");
    default:
        return failed ? QStringLiteral("Failed at") : QStringLiteral("Finished at");
    }
}
