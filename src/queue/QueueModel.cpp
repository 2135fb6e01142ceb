#include "QueueModel.h"

namespace {

constexpr qsizetype kRecentTexts = 1024; // enough for the types, sizes and times of a folder or two

} // namespace

const QStringList &QueueModel::columnKeys()
{
    static const QStringList keys = {QStringLiteral("lname"), QStringLiteral("sname"), QStringLiteral("load"),
                                     QStringLiteral("size"),  QStringLiteral("type"),  QStringLiteral("time"),
                                     QStringLiteral("stat"),  QStringLiteral("tsize")};
    return keys;
}

QueueModel::QueueModel(QObject *parent) : QAbstractTableModel(parent) {}

QString QueueModel::totalsLine(bool running) const
{
    return QStringLiteral("Queue: %1 %2 files, %3 bytes")
        .arg(running ? QStringLiteral("Running") : QStringLiteral("Paused"))
        .arg(count())
        .arg(m_bytes);
}

// Equal texts share one string; the set forgets when it grows, so a tree of a thousand dates
// costs no more than it saves.
QString QueueModel::shared(const QString &text)
{
    if (text.isEmpty())
        return {};
    if (const auto found = m_texts.constFind(text); found != m_texts.cend())
        return *found;
    if (m_texts.size() >= kRecentTexts)
        m_texts.clear();
    m_texts.insert(text);
    return text;
}

quint16 QueueModel::iconIndex(const QIcon &icon)
{
    if (icon.isNull())
        return QueueRow::NoIcon;
    if (const auto found = m_iconAt.constFind(icon.cacheKey()); found != m_iconAt.cend())
        return *found;
    if (m_icons.size() >= QueueRow::NoIcon)
        return QueueRow::NoIcon;
    m_icons.append(icon);
    return *m_iconAt.insert(icon.cacheKey(), quint16(m_icons.size() - 1));
}

QueueRow QueueModel::rowOf(const QueueEntry &entry, const QIcon &icon)
{
    QueueRow row;
    row.local = entry.localPath;
    row.remote = entry.remotePath;
    row.sizeText = shared(entry.sizeText);
    row.type = shared(entry.type);
    row.time = shared(entry.time);
    row.status = shared(entry.status);
    row.bytes = entry.bytes;
    row.icon = iconIndex(icon);
    row.direction = entry.direction;
    return row;
}

void QueueModel::append(const QueueEntry &entry, const QIcon &icon)
{
    append(QList<QueueEntry>{entry}, QList<QIcon>{icon});
}

void QueueModel::append(const QList<QueueEntry> &entries, const QList<QIcon> &icons)
{
    if (entries.isEmpty())
        return;
    beginInsertRows({}, count(), count() + int(entries.size()) - 1);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        m_rows.append(rowOf(entries[i], icons.value(i)));
        m_bytes += entries[i].bytes;
    }
    endInsertRows();
    emit changed();
}

QueueEntry QueueModel::entry(int row) const
{
    if (row < 0 || row >= count())
        return {};
    const QueueRow &r = m_rows[row];
    return {r.local, r.remote, r.direction, r.sizeText, r.type, r.time, r.status, r.bytes};
}

QString QueueModel::status(int row) const
{
    return row >= 0 && row < count() ? m_rows[row].status : QString();
}

void QueueModel::setStatus(int row, const QString &text)
{
    if (row < 0 || row >= count())
        return;
    m_rows[row].status = text;
    const QModelIndex cell = index(row, Status);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void QueueModel::setAllStatuses(const QString &text)
{
    if (m_rows.isEmpty())
        return;
    for (QueueRow &row : m_rows)
        row.status = text; // one string for all
    emit dataChanged(index(0, Status), index(count() - 1, Status), {Qt::DisplayRole});
}

void QueueModel::setPercent(int row, int percent)
{
    if (row < 0 || row >= count())
        return;
    m_rows[row].percent = qint8(qBound(-1, percent, 100));
    const QModelIndex cell = index(row, Status);
    emit dataChanged(cell, cell, {PercentRole});
}

void QueueModel::setToolTip(int row, const QString &tip)
{
    if (row < 0 || row >= count() || m_rows[row].tip == tip)
        return;
    m_rows[row].tip = tip;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1), {Qt::ToolTipRole});
}

QPersistentModelIndex QueueModel::handle(int row) const
{
    return QPersistentModelIndex(index(row, 0));
}

bool QueueModel::remove(const QPersistentModelIndex &handle)
{
    if (!handle.isValid() || handle.model() != this)
        return false;
    return removeRows(handle.row(), 1);
}

void QueueModel::removeRow(int row)
{
    removeRows(row, 1);
}

void QueueModel::clear()
{
    removeRows(0, count());
}

bool QueueModel::removeRows(int row, int rows, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || rows <= 0 || row + rows > count())
        return false;
    beginRemoveRows({}, row, row + rows - 1);
    for (int r = row; r < row + rows; ++r)
        m_bytes -= m_rows[r].bytes;
    m_rows.remove(row, rows);
    if (m_rows.isEmpty()) { // an empty queue gives its memory back
        m_rows = {};
        m_icons.clear();
        m_iconAt.clear();
        m_texts.clear();
    }
    endRemoveRows();
    emit changed();
    return true;
}

int QueueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int QueueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString QueueModel::text(const QueueRow &row, int column) const
{
    switch (column) {
    case LocalName: return row.local;
    case RemoteName: return row.remote;
    case Load: return QueueEntry::directionText(row.direction);
    case Size: return row.sizeText;
    case Type: return row.type;
    case Time: return row.time;
    case Status: return row.status;
    case Bytes: return QString::number(row.bytes);
    }
    return {};
}

QVariant QueueModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QueueRow &row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case Qt::DecorationRole:
        if (index.column() == LocalName && row.icon != QueueRow::NoIcon)
            return m_icons[row.icon];
        return {};
    case Qt::ToolTipRole: // the bytes done while it runs; the whole local path otherwise
        if (!row.tip.isEmpty())
            return row.tip;
        return index.column() == LocalName ? QVariant(row.local) : QVariant();
    case PercentRole:
        return index.column() == Status && row.percent >= 0 ? QVariant(int(row.percent)) : QVariant();
    }
    return {};
}

QVariant QueueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return m_titles[section];
    if (role == Qt::UserRole)
        return columnKeys()[section];
    return {};
}

bool QueueModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return false;
    m_titles[section] = value.toString();
    emit headerDataChanged(orientation, section, section);
    return true;
}
