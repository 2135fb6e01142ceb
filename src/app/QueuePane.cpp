#include "QueuePane.h"

#include "AppState.h"
#include "FtpSession.h"
#include "QueueModel.h"
#include "RemotePane.h"
#include "TransferEngine.h"
#include "TransferProgressView.h"
#include "formmain.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

QueuePane::QueuePane(formmain &window)
    : QObject(&window), m_window(window), m_queue(new QueueModel(*window.ListView2->model(), this)),
      m_engine(new TransferEngine(*m_queue, *this, this)),
      m_progress(new TransferProgressView(window, *m_engine, *m_queue))
{
    wireCommands();
    connect(m_queue, &QueueModel::changed, this, &QueuePane::showQueueState);
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
        connect(m_window.action(QString::fromLatin1(name)), &QAction::triggered, this, slot);
    FileListView *list = m_window.ListView2;
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
    const bool running = m_window.state().queueRunning;
    m_window.statusPanel(QStringLiteral("queue"))->setText(m_queue->totalsLine(running));
    for (const char *name : {"menu_pause", "menu3_pause"})
        m_window.action(QString::fromLatin1(name))->setEnabled(running);
    for (const char *name : {"menu_resume", "menu3_resume"})
        m_window.action(QString::fromLatin1(name))->setEnabled(!running);
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
    if (m_window.state().queueRunning)
        ProcessTransfer();
}

void QueuePane::btnPause_Click()
{
    AppState &state = m_window.state();
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
    AppState &state = m_window.state();
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
    const QList<int> selected = m_window.ListView2->selectedRows();
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

void QueuePane::btnClear_Click()
{
    m_engine->stop();
    m_queue->clear();
    showQueueState();
}

void QueuePane::menu_clear_Click()
{
    btnClear_Click();
}
