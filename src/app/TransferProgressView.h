#pragma once

#include "QueueModel.h"
#include "TransferJob.h"
#include "TransferProgress.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStyledItemDelegate>
#include <QTimer>

class TransferEngine;
class AppState;
class FileListView;
class StatusPanels;

// Paints a progress bar behind the queue's Status text ("58% Transferring") on rows that carry
// a percentage.
class ProgressDelegate : public QStyledItemDelegate
{
public:
    static constexpr int PercentRole = QueueModel::PercentRole;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// Shows what the queue is doing while it works: a bar in each row under way, bytes done of its
// total as the row's tooltip, speed and time left in the status line, and at the end of a run
// what moved and how long it took.
class TransferProgressView : public QObject
{
    Q_OBJECT
public:
    TransferProgressView(AppState &state, StatusPanels &status, FileListView &queueList, TransferEngine &engine,
                         QueueModel &queue);

    // The engine has stopped working the queue.
    void engineStopped();

private:
    void onProgressed(int row, int percent, qint64 bytesDone);
    void onEntryEnded(TransferOutcome outcome, qint64 bytes);
    void tick();

    AppState &m_state;
    StatusPanels &m_status;
    TransferEngine &m_engine;
    QueueModel &m_queue;
    TransferProgress m_progress;
    QElapsedTimer m_clock;
    QTimer m_ticks;
    bool m_showsRate = false; // the status line shows the speed, to be cleared when it is no more
};
