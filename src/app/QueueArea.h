#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

class EndedModel;
class QAction;
class QStackedWidget;
class QTabBar;
class QTreeView;

// The queue pane: tabs over the queue list ("Queued"), the failed list and the finished list, one
// shown at a time. The tabs' titles follow the lists' counts. The lists' commands are actions on
// their views' popup menus; what they do is the queue's business.
class QueueArea : public QWidget
{
    Q_OBJECT
public:
    enum Tab { Queued, Failed, Finished };

    // queueList becomes the first tab's page.
    QueueArea(QWidget *queueList, QWidget *parent);

    void setLists(EndedModel *failed, EndedModel *finished);
    QTabBar *tabs() const { return m_tabs; }
    QTreeView *view(Tab tab) const { return tab == Failed ? m_failedView : m_finishedView; }
    QList<int> selectedRows(Tab tab) const; // of the failed or the finished list, in list order

    QAction *retrySelected, *retryAll, *removeFailed, *clearFinished;

    // A queue of small files changes the counts hundreds of times a second, and each new title lays
    // the tab bar out again: the first change shows at once, the next ones at most this often.
    static constexpr int TitlesMs = 100;

private:
    QTreeView *makeView(const QList<QAction *> &actions);
    void countsChanged();
    void showTitles();

    QTabBar *m_tabs;
    QStackedWidget *m_pages;
    QTreeView *m_failedView;
    QTreeView *m_finishedView;
    EndedModel *m_failed = nullptr;
    EndedModel *m_finished = nullptr;
    QTimer m_titlesPause;
    bool m_titlesStale = false;
};
