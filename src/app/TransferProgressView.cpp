#include "TransferProgressView.h"

#include "AppState.h"
#include "QueueModel.h"
#include "TransferEngine.h"
#include "FileListView.h"
#include "StatusPanels.h"

#include <QApplication>
#include <QPainter>
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
    : QObject(&engine), m_state(state), m_status(status), m_engine(engine), m_queue(queue)
{
    // For the whole view: the columns are made later, and only the Status cell carries a percentage.
    queueList.reportView()->setItemDelegate(new ProgressDelegate(&queueList));
    m_ticks.setInterval(int(TransferProgress::RefreshMs));
    connect(&m_ticks, &QTimer::timeout, this, &TransferProgressView::tick);
    connect(&engine, &TransferEngine::progressed, this, &TransferProgressView::onProgressed);
    connect(&engine, &TransferEngine::entryEnded, this, &TransferProgressView::onEntryEnded);
    m_clock.start();
}

void TransferProgressView::onProgressed(int row, int percent, qint64)
{
    if (!m_progress.isRunning()) {
        m_progress.begin(m_clock.elapsed());
        m_ticks.start();
    }
    m_queue.setPercent(row, percent);
    tick();
}

// The status line over every running transfer, at most twice a second, the rows' tooltips with it.
void TransferProgressView::tick()
{
    if (!m_engine.isActive() || m_queue.count() == 0)
        return;
    // Held: the rows keep "42% Paused"; the speed is gone, not frozen at what it was.
    if (!m_state.queueRunning) {
        if (m_progress.isRunning())
            m_progress.held();
        if (m_showsRate)
            m_status.SetStatusLine(QString());
        m_showsRate = false;
        return;
    }
    const qint64 done = m_engine.bytesMovedInRun();
    const qint64 total = done + qMax<qint64>(0, m_queue.totalBytes() - m_engine.bytesDone());
    if (!m_progress.sample(m_clock.elapsed(), done, total))
        return;
    for (const int row : m_engine.runningRows())
        m_queue.setToolTip(row, TransferProgress::bytesOfText(m_engine.bytesDoneOf(row), m_queue.entry(row).bytes));
    const QString rate = m_progress.rateText();
    if (!rate.isEmpty()) {
        m_status.SetStatusLine(rate);
        m_showsRate = true;
    }
}

void TransferProgressView::onEntryEnded(TransferOutcome outcome, qint64 bytes)
{
    if (m_progress.isRunning() && outcome == TransferOutcome::Done)
        m_progress.fileDone(bytes);
    if (outcome != TransferOutcome::Failed && outcome != TransferOutcome::OpenFailed)
        return;
    if (!m_progress.isRunning()) // a run whose files all fail says so too
        m_progress.begin(m_clock.elapsed());
    m_progress.fileFailed();
}

void TransferProgressView::engineStopped()
{
    if (!m_progress.isRunning() || m_engine.isActive())
        return;
    m_ticks.stop();
    const QString summary = m_progress.finish(m_clock.elapsed());
    // A paused or broken-off queue says nothing more; a finished one says what it did, after
    // the command that started it has ended (it may close with "Ready.").
    if (summary.isEmpty() || m_queue.count() > 0) {
        if (m_showsRate)
            m_status.SetStatusLine(QString());
        m_showsRate = false;
        return;
    }
    m_showsRate = false;
    QTimer::singleShot(0, this, [this, summary] {
        if (!m_engine.isActive() && m_queue.count() == 0)
            m_status.SetStatusLine(summary);
    });
}
