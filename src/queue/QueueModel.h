#pragma once

#include "QueueEntry.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QSet>

// One entry as the queue model keeps it: the repeated texts are shared, the icon is an index.
struct QueueRow
{
    static constexpr quint16 NoIcon = 0xffff;
    QString local;
    QString remote;
    QString sizeText;
    QString type;
    QString time;
    QString status;
    QString tip;
    qint64 bytes = 0;
    quint16 icon = NoIcon;
    qint8 percent = -1;
    QueueEntry::Direction direction = QueueEntry::Direction::Down;
};
Q_DECLARE_TYPEINFO(QueueRow, Q_RELOCATABLE_TYPE); // a growing queue is moved by realloc, not copied

// The queue and the model the queue list shows: one compact row per entry, in queue order, in
// eight fixed columns (lname, sname, load, size, type, time, stat, tsize; the header gives each
// key under Qt::UserRole). Texts that repeat from row to row (size, type, time, status) share one
// string, and icons are kept once per picture. The count and the byte total follow every change
// of the rows, so the totals line costs nothing per entry.
class QueueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // The percentage of a running row on its status cell (the progress delegate paints it).
    static constexpr int PercentRole = Qt::UserRole + 20;
    enum Column { LocalName, RemoteName, Load, Size, Type, Time, Status, Bytes, ColumnCount };

    static const QStringList &columnKeys();

    explicit QueueModel(QObject *parent = nullptr);

    int count() const { return int(m_rows.size()); }
    qint64 totalBytes() const { return m_bytes; }
    // "Queue: Running N files, M bytes" or "Queue: Paused N files, M bytes".
    QString totalsLine(bool running) const;

    void append(const QueueEntry &entry, const QIcon &icon);
    // Many entries in one insertion (icons[i] for entries[i]; missing icons are none).
    void append(const QList<QueueEntry> &entries, const QList<QIcon> &icons);
    QueueEntry entry(int row) const;
    QString status(int row) const;
    void setStatus(int row, const QString &text);
    void setAllStatuses(const QString &text);
    // What a running row shows: its percentage (-1: none) and a tooltip over the whole row.
    void setPercent(int row, int percent);
    void setToolTip(int row, const QString &tip);
    // A handle that follows the row while others come and go; invalid once the row is removed.
    QPersistentModelIndex handle(int row) const;
    bool remove(const QPersistentModelIndex &handle);
    void removeRow(int row);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                       int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

signals:
    void changed(); // rows added or removed

private:
    QueueRow rowOf(const QueueEntry &entry, const QIcon &icon);
    QString shared(const QString &text);
    quint16 iconIndex(const QIcon &icon);
    QString text(const QueueRow &row, int column) const;

    QList<QueueRow> m_rows;
    qint64 m_bytes = 0;
    QString m_titles[ColumnCount];
    QList<QIcon> m_icons;            // each picture once; rows hold an index
    QHash<qint64, quint16> m_iconAt; // by QIcon::cacheKey
    QSet<QString> m_texts;           // recent texts, so that equal ones share one string
};
