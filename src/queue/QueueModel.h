#pragma once

#include "QueueEntry.h"

#include <QObject>
#include <QPersistentModelIndex>

class QIcon;
class QStandardItemModel;

// The queue is the rows of the queue list's model and nothing else: this class reads and writes
// those rows by column key (lname, sname, load, size, type, time, stat, tsize). The count and
// the byte total follow every change of the rows, so the totals line costs nothing per entry.
class QueueModel : public QObject
{
    Q_OBJECT
public:
    static const QStringList &columnKeys();

    // Columns are found by the key the list keeps in its header (Qt::UserRole); a model without
    // keys gets the eight columns in their usual order.
    explicit QueueModel(QStandardItemModel &rows, QObject *parent = nullptr);

    QStandardItemModel &rows() const { return m_rows; }
    int count() const;
    qint64 totalBytes() const { return m_bytes; }
    // "Queue: Running N files, M bytes" or "Queue: Paused N files, M bytes".
    QString totalsLine(bool running) const;

    void append(const QueueEntry &entry, const QIcon &icon);
    QueueEntry entry(int row) const;
    QString status(int row) const;
    void setStatus(int row, const QString &text);
    void setAllStatuses(const QString &text);
    // A handle that follows the row while others come and go; invalid once the row is removed.
    QPersistentModelIndex handle(int row) const;
    bool remove(const QPersistentModelIndex &handle);
    void removeRow(int row);
    void clear();

signals:
    void changed(); // rows added or removed, or a byte count changed

private:
    int column(const QString &key) const;
    QString text(int row, const QString &key) const;
    qint64 bytesOf(int row) const;
    void recount();
    void onInserted(const QModelIndex &parent, int first, int last);
    void onAboutToRemove(const QModelIndex &parent, int first, int last);
    void onDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);

    QStandardItemModel &m_rows;
    qint64 m_bytes = 0;
};
