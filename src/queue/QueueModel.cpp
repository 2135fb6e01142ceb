#include "QueueModel.h"

#include <QIcon>
#include <QStandardItemModel>

const QStringList &QueueModel::columnKeys()
{
    static const QStringList keys = {QStringLiteral("lname"), QStringLiteral("sname"), QStringLiteral("load"),
                                     QStringLiteral("size"),  QStringLiteral("type"),  QStringLiteral("time"),
                                     QStringLiteral("stat"),  QStringLiteral("tsize")};
    return keys;
}

QueueModel::QueueModel(QStandardItemModel &rows, QObject *parent) : QObject(parent), m_rows(rows)
{
    connect(&m_rows, &QAbstractItemModel::rowsInserted, this, &QueueModel::onInserted);
    connect(&m_rows, &QAbstractItemModel::rowsAboutToBeRemoved, this, &QueueModel::onAboutToRemove);
    connect(&m_rows, &QAbstractItemModel::rowsRemoved, this, &QueueModel::changed);
    connect(&m_rows, &QAbstractItemModel::modelReset, this, [this] {
        recount();
        emit changed();
    });
    connect(&m_rows, &QAbstractItemModel::dataChanged, this, &QueueModel::onDataChanged);
    recount();
}

int QueueModel::column(const QString &key) const
{
    for (int c = 0; c < m_rows.columnCount(); ++c)
        if (m_rows.headerData(c, Qt::Horizontal, Qt::UserRole).toString() == key)
            return c;
    return int(columnKeys().indexOf(key));
}

int QueueModel::count() const
{
    return m_rows.rowCount();
}

QString QueueModel::totalsLine(bool running) const
{
    return QStringLiteral("Queue: %1 %2 files, %3 bytes")
        .arg(running ? QStringLiteral("Running") : QStringLiteral("Paused"))
        .arg(count())
        .arg(m_bytes);
}

void QueueModel::append(const QueueEntry &entry, const QIcon &icon)
{
    const QString texts[] = {entry.localPath,
                             entry.remotePath,
                             QueueEntry::directionText(entry.direction),
                             entry.sizeText,
                             entry.type,
                             entry.time,
                             entry.status,
                             QString::number(entry.bytes)};
    QList<QStandardItem *> items(qMax(m_rows.columnCount(), int(columnKeys().size())), nullptr);
    for (int i = 0; i < columnKeys().size(); ++i) {
        auto *item = new QStandardItem(texts[i]);
        item->setEditable(false);
        items[column(columnKeys()[i])] = item;
    }
    items[column(QStringLiteral("lname"))]->setIcon(icon); // icons are shared: one per type
    for (QStandardItem *&item : items)
        if (!item)
            item = new QStandardItem;
    m_rows.appendRow(items);
}

QString QueueModel::text(int row, const QString &key) const
{
    const QStandardItem *item = m_rows.item(row, column(key));
    return item ? item->text() : QString();
}

QueueEntry QueueModel::entry(int row) const
{
    QueueEntry e;
    e.localPath = text(row, QStringLiteral("lname"));
    e.remotePath = text(row, QStringLiteral("sname"));
    e.direction = QueueEntry::directionOf(text(row, QStringLiteral("load")));
    e.sizeText = text(row, QStringLiteral("size"));
    e.type = text(row, QStringLiteral("type"));
    e.time = text(row, QStringLiteral("time"));
    e.status = text(row, QStringLiteral("stat"));
    e.bytes = bytesOf(row);
    return e;
}

QString QueueModel::status(int row) const
{
    return text(row, QStringLiteral("stat"));
}

void QueueModel::setStatus(int row, const QString &text)
{
    if (QStandardItem *item = m_rows.item(row, column(QStringLiteral("stat"))))
        item->setText(text);
}

void QueueModel::setAllStatuses(const QString &text)
{
    for (int r = 0; r < count(); ++r)
        setStatus(r, text);
}

QPersistentModelIndex QueueModel::handle(int row) const
{
    return QPersistentModelIndex(m_rows.index(row, 0));
}

bool QueueModel::remove(const QPersistentModelIndex &handle)
{
    if (!handle.isValid() || handle.model() != &m_rows)
        return false;
    return m_rows.removeRow(handle.row());
}

void QueueModel::removeRow(int row)
{
    m_rows.removeRow(row);
}

void QueueModel::clear()
{
    m_rows.removeRows(0, count());
}

// A number that does not read as one counts as 0, as a whole number of bytes otherwise.
qint64 QueueModel::bytesOf(int row) const
{
    return text(row, QStringLiteral("tsize")).toLongLong();
}

void QueueModel::recount()
{
    m_bytes = 0;
    for (int r = 0; r < count(); ++r)
        m_bytes += bytesOf(r);
}

void QueueModel::onInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    for (int r = first; r <= last; ++r)
        m_bytes += bytesOf(r);
    emit changed();
}

void QueueModel::onAboutToRemove(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    for (int r = first; r <= last; ++r)
        m_bytes -= bytesOf(r);
}

void QueueModel::onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    const int bytesColumn = column(QStringLiteral("tsize"));
    if (topLeft.parent().isValid() || bytesColumn < topLeft.column() || bytesColumn > bottomRight.column())
        return; // progress texts land here a hundred times a file: nothing to count
    recount();
    emit changed();
}
