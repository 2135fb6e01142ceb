#pragma once

#include "QueueStore.h"

#include <QAbstractTableModel>
#include <QList>

// The failed list or the finished list beside the queue: entries that have ended, in the order
// they ended, as the store keeps them (so the store can fill it at start-up). A failed row says
// why and when; a finished row how much it moved and how long that took.
class EndedModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum class Kind { Failed, Finished };
    // Detail: the reason (failed) or the time taken (finished); When: the time it ended.
    enum Column { LocalName, RemoteName, Direction, Size, Detail, When, ColumnCount };

    explicit EndedModel(Kind kind, QObject *parent = nullptr);

    Kind kind() const { return m_kind; }
    int count() const { return int(m_rows.size()); }
    // The tab's title: "Failed (3)", "Finished (12)".
    QString title() const;
    const StoredEntry &at(int row) const { return m_rows.at(row); }
    const QList<StoredEntry> &entries() const { return m_rows; }

    void append(const StoredEntry &entry);
    void setEntries(const QList<StoredEntry> &entries);
    // The rows given (in any order, repeats and rows out of range ignored) leave the list; their
    // entries come back in list order.
    QList<StoredEntry> take(QList<int> rows);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void countChanged(); // rows added or removed: the title changed

private:
    QString text(const StoredEntry &entry, int column) const;

    const Kind m_kind;
    QList<StoredEntry> m_rows;
};
