#include "QueueArea.h"

#include "EndedModel.h"

#include <QAction>
#include <QHeaderView>
#include <QStackedWidget>
#include <QTabBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

QueueArea::QueueArea(QWidget *queueList, QWidget *parent)
    : QWidget(parent), retrySelected(new QAction(QStringLiteral("Retry selected"), this)),
      retryAll(new QAction(QStringLiteral("Retry all"), this)), removeFailed(new QAction(QStringLiteral("Remove"), this)),
      clearFinished(new QAction(QStringLiteral("Clear"), this)), m_tabs(new QTabBar(this)),
      m_pages(new QStackedWidget(this))
{
    setObjectName(QStringLiteral("QueueArea"));
    m_tabs->setObjectName(QStringLiteral("QueueTabs"));
    m_tabs->setDrawBase(false);
    m_tabs->setExpanding(false);
    for (const char *title : {"Queued", "Failed (0)", "Finished (0)"})
        m_tabs->addTab(QString::fromLatin1(title));
    removeFailed->setShortcut(QKeySequence::Delete);
    removeFailed->setShortcutContext(Qt::WidgetShortcut);
    m_failedView = makeView({retrySelected, retryAll, removeFailed});
    m_finishedView = makeView({clearFinished});
    m_pages->addWidget(queueList);
    m_pages->addWidget(m_failedView);
    m_pages->addWidget(m_finishedView);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_tabs);
    layout->addWidget(m_pages, 1);
    connect(m_tabs, &QTabBar::currentChanged, m_pages, &QStackedWidget::setCurrentIndex);
    m_titlesPause.setSingleShot(true);
    m_titlesPause.setInterval(TitlesMs);
    connect(&m_titlesPause, &QTimer::timeout, this, [this] {
        if (std::exchange(m_titlesStale, false)) {
            showTitles();
            m_titlesPause.start();
        }
    });
}

QTreeView *QueueArea::makeView(const QList<QAction *> &actions)
{
    auto *view = new QTreeView(this);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    view->addActions(actions);
    return view;
}

void QueueArea::setLists(EndedModel *failed, EndedModel *finished)
{
    m_failed = failed;
    m_finished = finished;
    m_failedView->setModel(failed);
    m_finishedView->setModel(finished);
    // The reason, or the time taken, gets the room the names leave.
    for (QTreeView *view : {m_failedView, m_finishedView}) {
        view->header()->setStretchLastSection(false);
        view->header()->setSectionResizeMode(EndedModel::Detail, QHeaderView::Stretch);
    }
    for (EndedModel *list : {failed, finished})
        connect(list, &EndedModel::countChanged, this, &QueueArea::countsChanged);
    showTitles();
}

void QueueArea::countsChanged()
{
    if (m_titlesPause.isActive()) {
        m_titlesStale = true;
        return;
    }
    showTitles();
    m_titlesPause.start();
}

void QueueArea::showTitles()
{
    m_tabs->setTabText(Failed, m_failed->title());
    m_tabs->setTabText(Finished, m_finished->title());
}

QList<int> QueueArea::selectedRows(Tab tab) const
{
    QList<int> rows;
    for (const QModelIndex &index : view(tab)->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}
