#include "QueuePane.h"

#include "AppState.h"
#include "FileListView.h"
#include "EndedModel.h"
#include "RemoteSession.h"
#include "OpenFailureBox.h"
#include "QueueKeeper.h"
#include "QueueModel.h"
#include "TransferEngine.h"
#include "TransferProgressView.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QTimer>
#include <QTreeView>

QueuePane::QueuePane(const PaneServices &services, const QueueControls &controls, RemoteSide &remote,
                     LocalSide &local)
    : QObject(&services.window), m_s(services), m_ui(controls), m_remote(remote), m_local(local),
      m_queue(new QueueModel(this)), m_engine(new TransferEngine(*m_queue, *this, this)),
      m_progress(new TransferProgressView(services.state, services.status, *controls.ListView2, *m_engine, *m_queue)),
      m_keeper(std::make_unique<QueueKeeper>(*m_queue, *m_engine))
{
    controls.ListView2->useModel(m_queue); // the queue is what the list shows
    wireCommands();
    wireEndedLists();
    m_totalsDue = new QTimer(this);
    m_totalsDue->setSingleShot(true);
    m_totalsDue->setInterval(100);
    connect(m_totalsDue, &QTimer::timeout, this, &QueuePane::showQueueState);
    connect(m_queue, &QueueModel::changed, this, &QueuePane::showTotalsSoon);
}

void QueuePane::showTotalsSoon()
{
    if (!m_totalsDue->isActive())
        m_totalsDue->start();
}

QueuePane::~QueuePane() = default;

void QueuePane::wireCommands()
{
    const QList<QPair<const char *, void (QueuePane::*)()>> commands = {
        {"menu_upload", &QueuePane::btnUpload_Click},     {"menu2_upload", &QueuePane::btnUpload_Click},
        {"menu_download", &QueuePane::btnDownload_Click}, {"menu1_download", &QueuePane::btnDownload_Click},
        {"menu5_upload", &QueuePane::menu5_upload_Click}, {"menu6_download", &QueuePane::menu6_download_Click},
        {"menu_pause", &QueuePane::btnPause_Click},       {"menu3_pause", &QueuePane::btnPause_Click},
        {"menu_resume", &QueuePane::btnResume_Click},     {"menu3_resume", &QueuePane::btnResume_Click},
        {"menu_cancel", &QueuePane::menu_cancel_Click},   {"menu3_cancel", &QueuePane::menu_cancel_Click},
        {"menu_clear", &QueuePane::menu_clear_Click},     {"menu3_clear", &QueuePane::menu_clear_Click},
    };
    for (const auto &[name, slot] : commands)
        m_s.onAction(name, this, slot);
    FileListView *list = m_ui.ListView2;
    // The queue's order is the order of work: its header does not sort it.
    list->reportView()->header()->setSectionsClickable(false);
    list->reportView()->installEventFilter(this);
    list->iconView()->installEventFilter(this);
}

bool QueuePane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        menu_remove_Click();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void QueuePane::showQueueState()
{
    m_totalsDue->stop();
    const bool running = m_s.state.queueRunning;
    m_s.status.showStatus(QStringLiteral("queue"), m_queue->totalsLine(running));
    m_s.enableActions({QStringLiteral("menu_pause"), QStringLiteral("menu3_pause")}, running);
    m_s.enableActions({QStringLiteral("menu_resume"), QStringLiteral("menu3_resume")}, !running);
}

void QueuePane::stopTransfer()
{
    m_engine->closeAll();
}

void QueuePane::ProcessTransfer()
{
    m_engine->ProcessTransfer();
}

void QueuePane::startIfIdle()
{
    showQueueState(); // what was just queued
    if (m_s.state.queueRunning)
        ProcessTransfer();
}

void QueuePane::btnPause_Click()
{
    AppState &state = m_s.state;
    if (!state.queueRunning)
        return;
    state.queueRunning = false;
    m_engine->hold();
    m_queue->setAllStatuses(QStringLiteral("Paused"));
    // "42% Transferring" becomes "42% Paused".
    for (const int row : m_engine->runningRows())
        if (const int percent = m_engine->percentOf(row); percent >= 0)
            m_queue->setStatus(row, QString::number(percent) + QStringLiteral("% Paused"));
    showQueueState();
}

void QueuePane::btnResume_Click()
{
    AppState &state = m_s.state;
    if (state.queueRunning)
        return;
    state.queueRunning = true;
    m_queue->setAllStatuses(QStringLiteral("Pending"));
    for (const int row : m_engine->runningRows())
        if (const int percent = m_engine->percentOf(row); percent >= 0)
            m_queue->setStatus(row, QString::number(percent) + QStringLiteral("% Transferring"));
    showQueueState();
    m_engine->resume(); // held transfers go on from where they stopped; free connections take more
}

void QueuePane::menu_cancel_Click()
{
    const QList<int> selected = m_ui.ListView2->selectedRows();
    m_keeper->forgetRows(selected);
    // Rows being transferred are stopped, and removed when their transfers have ended.
    for (auto row = selected.crbegin(); row != selected.crend(); ++row)
        if (!m_engine->stopRow(*row))
            m_queue->removeRow(*row);
    showQueueState();
    startIfIdle();
}

void QueuePane::menu_remove_Click()
{
    menu_cancel_Click();
}

void QueuePane::clearQueue()
{
    m_keeper->forgetAll();
    m_queue->clear();
}

void QueuePane::btnClear_Click()
{
    m_keeper->forgetAll();
    m_engine->stop();
    m_queue->clear();
    showQueueState();
}

void QueuePane::menu_clear_Click()
{
    btnClear_Click();
}
