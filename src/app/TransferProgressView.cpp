#include "TransferProgressView.h"

#include "AppState.h"
#include "QueueModel.h"
#include "TransferEngine.h"
#include "FileListView.h"
#include "StatusPanels.h"

#include <QApplication>
#include <QPainter>
#include <QStandardItemModel>
#include <QTreeView>

void ProgressDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QVariant percent = index.data(PercentRole);
    if (!percent.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // Selection and focus as usual, then the bar with the cell's own text on it.
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    QStyleOptionProgressBar bar;
    bar.rect = option.rect.adjusted(1, 1, -1, -1);
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = qBound(0, percent.toInt(), 100);
    bar.text = index.data(Qt::DisplayRole).toString();
    bar.textVisible = true;
    bar.textAlignment = Qt::AlignCenter;
    bar.state = option.state | QStyle::State_Horizontal;
    bar.palette = option.palette;
    bar.fontMetrics = option.fontMetrics;
    style->drawControl(QStyle::CE_ProgressBar, &bar, painter, widget);
}

TransferProgressView::TransferProgressView(AppState &state, StatusPanels &status, FileListView &queueList,
                                           TransferEngine &engine, QueueModel &queue)
    : QObject(&engine), m_state(state), m_status(status), m_list(queueList), m_engine(engine), m_queue(queue)
{
    // For the whole view: the columns are made later, and only the Status cell carries a percentage.
    queueList.reportView()->setItemDelegate(new ProgressDelegate(&queueList));
    m_ticks.setInterval(int(TransferProgress::RefreshMs));
    connect(&m_ticks, &QTimer::timeout, this, &TransferProgressView::tick);
    connect(&engine, &TransferEngine::progressed, this, &TransferProgressView::onProgressed);
    m_clock.start();
}

void TransferProgressView::onProgressed(int percent, qint64)
{
    if (!m_progress.isRunning()) {
        m_progress.begin(m_clock.elapsed());
        m_ticks.start();
    }
    if (m_engine.transferUnderWay() && m_queue.count() > 0)
        if (QStandardItem *status = m_queue.rows().item(0, m_list.column(QStringLiteral("stat"))))
            status->setData(percent, ProgressDelegate::PercentRole);
    tick();
}

// Between the engine's own steps: the status line at most twice a second, the tooltip with it.
void TransferProgressView::tick()
{
    if (!m_engine.transferUnderWay() || m_queue.count() == 0)
        return;
    // A held transfer keeps "42% Paused" and the status line as they are.
    if (!m_state.queueRunning) {
        m_progress.held();
        return;
    }
    const qint64 done = m_engine.bytesDone();
    const qint64 total = m_queue.entry(0).bytes;
    if (!m_progress.sample(m_clock.elapsed(), done, total))
        return;
    const QString tip = TransferProgress::bytesOfText(done, total);
    for (int c = 0; c < m_queue.rows().columnCount(); ++c)
        if (QStandardItem *item = m_queue.rows().item(0, c))
            item->setToolTip(tip);
    const QString rate = m_progress.rateText();
    if (!rate.isEmpty())
        m_status.SetStatusLine(rate);
}

void TransferProgressView::fileDone()
{
    if (m_progress.isRunning() && m_engine.blockSize() != TransferEngine::Stop)
        m_progress.fileDone(m_engine.bytesDone());
}

void TransferProgressView::engineStopped()
{
    if (!m_progress.isRunning() || m_engine.isActive())
        return;
    m_ticks.stop();
    const QString summary = m_progress.finish(m_clock.elapsed());
    // A paused or broken-off queue keeps what it said; a finished one says what it did, after
    // the command that started it has ended (it may close with "Ready.").
    if (summary.isEmpty() || m_queue.count() > 0)
        return;
    QTimer::singleShot(0, this, [this, summary] {
        if (!m_engine.isActive() && m_queue.count() == 0)
            m_status.SetStatusLine(summary);
    });
}
