#include "RemotePane.h"

#include "AppState.h"
#include "BusyPointer.h"
#include "ConnectionSettings.h"
#include "Events.h"
#include "FileListView.h"
#include "FileIconCache.h"
#include "RemoteSessions.h"
#include "SftpSession.h"
#include "QueueModel.h"
#include "TransferControl.h"
#include "RemoteLogin.h"
#include "RemotePaths.h"
#include "SessionLog.h"
#include "TreeKeyFollow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

namespace {

const QString NotConnected = QStringLiteral("You must be connected to a remote server for this operation.");

} // namespace

RemotePane::RemotePane(const PaneServices &services, const RemoteControls &controls)
    : QObject(&services.window), m_s(services), m_ui(controls),
      m_tree(*controls.remoteTree, services.icons), m_placeholders(services.state.folders.temp)
{
    // A transfer holds the connection too, from its first block to its last.
    m_guard.setOtherwiseBusy([this] { return m_session && m_session->isBusy(); });
    connect(&m_guard, &ConnectionGuard::listingDue, this, &RemotePane::FtpGetDirectoryContents);
    wireCommands();
}

RemotePane::~RemotePane()
{
    // The window's widgets may be gone already; the session is our child and goes with us.
    if (m_session)
        m_session->close();
}

void RemotePane::wireCommands()
{
    auto on = [this](const char *name, void (RemotePane::*slot)()) { m_s.onAction(name, this, slot); };
    connect(m_ui.btnConnect, &QAbstractButton::clicked, this, &RemotePane::btnConnect_Click);
    // Enter in any quick-connect field connects, as the button does.
    for (QLineEdit *field : {m_ui.txtServer, m_ui.txtUsername, m_ui.txtPassword, m_ui.txtPort})
        connect(field, &QLineEdit::returnPressed, this, &RemotePane::btnConnect_Click);
    on("menu_qconnect", &RemotePane::btnConnect_Click);
    on("menu_disconnect", &RemotePane::btnDisconnect_Click);
    on("menu_refresh_server", &RemotePane::menu_refresh_server_Click);
    on("menu_showall_server", &RemotePane::menu_showall_server_Click);
    on("menu1_showall", &RemotePane::menu_showall_server_Click);
    on("menu_showcustom_server", &RemotePane::menu_showcustom_server_Click);
    on("menu1_showcustom", &RemotePane::menu_showcustom_server_Click);
    on("menu_sview", &RemotePane::ListView1_DblClick);
    on("menu1_sview", &RemotePane::ListView1_DblClick);
    connect(m_ui.timeKeep, &QTimer::timeout, this, &RemotePane::TimeKeep_Timer);
    connect(m_ui.timeOut, &QTimer::timeout, this, &RemotePane::TimeOut_Timer);
    connect(m_ui.ListView1, &FileListView::activated, this, &RemotePane::ListView1_DblClick);
    connect(m_ui.TreeView2, &QTreeView::clicked, this, &RemotePane::TreeView2_NodeClick);
    connect(new TreeKeyFollow(m_ui.TreeView2), &TreeKeyFollow::settled, this, &RemotePane::TreeView2_NodeClick);
    connect(m_ui.txtDirectory, &QLineEdit::returnPressed, this, &RemotePane::txtDirectory_KeyPress);
}

bool RemotePane::requireConnection()
{
    if (m_s.state.connected())
        return true;
    m_s.prompter.message(NotConnected, Prompter::Icon::Warning);
    return false;
}

ConnectionGuard::Turn RemotePane::commandTurn()
{
    ConnectionGuard::Turn turn = m_guard.take();
    if (!turn)
        m_s.status.SetStatusLine(
            QStringLiteral("The server is busy with another operation: try again when it has ended."));
    return turn;
}

bool RemotePane::stillConnected(const RemoteSession *session) const
{
    return session && m_session == session && m_s.state.session == session;
}

bool RemotePane::announce(const QString &)
{
    const RemoteSession *session = m_session;
    pumpEvents();
    return stillConnected(session);
}

void RemotePane::logReply()
{
    if (m_session)
        m_s.log.logServerReply(m_session->lastResponseInfo());
}

void RemotePane::logLogin()
{
    if (m_session)
        RemoteLogin::logLogin(*m_session, m_s.log);
}

void RemotePane::closeSession()
{
    m_guard.reset(); // whatever held the old connection holds nothing now
    m_lastListed.clear();
    m_s.state.session = nullptr;
    if (RemoteSession *session = m_session) {
        m_session = nullptr;
        session->close();
        session->deleteLater(); // a call still waiting inside it unwinds first
    }
}

void RemotePane::forget()
{
    if (m_transfers)
        m_transfers->stopTransfer(); // a transfer under way ends through its own steps
    m_ui.timeKeep->stop();
    m_ui.timeOut->stop();
    closeSession();
}

bool RemotePane::connectTo(const QString &text)
{
    const auto url = ConnectionUrl::parse(text);
    if (!url)
        return false;
    m_ui.txtServer->setText(url->serverField());
    m_ui.txtPort->setText(url->port);
    m_ui.txtUsername->setText(url->user);
    m_ui.txtPassword->setText(url->password);
    connectAt(url->path);
    return true;
}

void RemotePane::connectAt(const QString &startFolder)
{
    m_startFolder = startFolder.isEmpty() ? QString() : RemotePaths::fromTyped(startFolder);
    btnConnect_Click();
    m_startFolder.clear(); // also when the connection did not open
}

void RemotePane::btnConnect_Click()
{
    AppState &state = m_s.state;
    if (state.connected()) {
        const auto answer = m_s.prompter.message(
            QStringLiteral("You are already connected on a server. Do you want to disconnect and connect to the new "
                           "server? Click OK to connect to the new server, otherwise click Cancel to stay connected."),
            Prompter::Icon::Warning, Prompter::Buttons::OkCancel);
        if (answer != Prompter::Answer::Ok) {
            // The fields show the connection that stays, not the one refused.
            showFields(m_standing);
            m_ui.checkType->setChecked(m_standing.active);
            return;
        }
        forget();
        m_s.log.clear();
    }
    QString problem;
    const auto settings = ConnectionSettings::fromFields(
        m_ui.txtServer->text(), m_ui.txtPort->text(), m_ui.txtUsername->text(),
        m_ui.txtPassword->text(), m_ui.txtProxy->text(), m_ui.txtTimeout->text(), m_ui.txtKeep->text(),
        m_ui.checkType->isChecked(), &problem);
    if (!settings) {
        m_s.prompter.message(problem, Prompter::Icon::Warning);
        return;
    }
    m_s.status.SetStatusLine(QStringLiteral("Connecting..."));
    BusyPointer busy;
    RemoteSession *session = RemoteSessions::make(settings->protocol, this).release();
    m_session = session;
    const ConnectionGuard::Turn turn = m_guard.take(); // the new connection is ours until it has listed
    connect(session, &RemoteSession::connectionClosed, this, &RemotePane::onConnectionLost, Qt::QueuedConnection);
    // Every command the connection sends is logged here, as sent, before its reply.
    connect(session, &RemoteSession::commandSent, this,
            [this](const QString &text) { m_s.log.logLine(QStringLiteral("Command: ") + text, SessionLog::Command); });
    const bool opened = session->open(RemoteLogin::prepare(*session, *settings, state.folders.app +
                                                           KnownCertificates::fileName(), m_s.prompter, m_s.log,
                                                           m_fingerprint));
    if (m_session != session) // closed while it connected (Exit, another connect)
        return;
    if (!opened) {
        // The reason goes to the log before the box opens, and into the box: the user sees at once
        // whether the host, the port or the password was wrong.
        const QString text = RemoteLogin::failureMessage(session->lastResponseInfo());
        m_s.status.SetStatusLine(QStringLiteral("Not logged in."));
        logLogin();
        m_s.prompter.message(text, Prompter::Icon::Warning);
        if (m_session == session)
            closeSession();
        clearRemoteSide();
        return;
    }
    state.session = session;
    state.protocol = session->protocol();
    m_standing = fieldValues();
    logLogin();
    showPadlock();
    const bool ftp = session->protocol() == RemoteProtocol::Ftp;
    for (const char *command : {"CWD /", "PWD", "SYST", "FEAT", "TYPE A", "PASV"}) {
        if (!ftp)
            break;
        if (!announce(QString::fromLatin1(command)))
            return;
        session->command(QString::fromLatin1(command));
        logReply();
    }
    // An SFTP login starts in the user's home folder, as every SSH client does.
    if (auto *sftp = qobject_cast<SftpSession *>(session); sftp && m_startFolder.isEmpty())
        m_startFolder = RemotePaths::fromTyped(sftp->currentFolder());
    m_s.log.logLine(QStringLiteral("Connected to remote host."), SessionLog::Event);
    m_s.window.setWindowTitle(QStringLiteral("Vestrigal - ") + m_ui.txtServer->text());
    for (auto [timer, ms] : {std::pair{m_ui.timeOut, settings->timeLimitMs}, {m_ui.timeKeep, settings->keepAliveMs}}) {
        timer->setInterval(ms);
        if (ms != 0)
            timer->start();
    }
    state.currentRemoteFolder = QStringLiteral("/");
    resetTree(m_ui.txtServer->text());
    if (!m_startFolder.isEmpty()) {
        state.currentRemoteFolder = m_startFolder;
        m_startFolder.clear();
        selectTreeNode(state.currentRemoteFolder);
    }
    FtpGetDirectoryContents();
    if (!stillConnected(session))
        return;
    enableConnectionCommands(true);
    // After a disconnect the queue stays paused; without a word, a new transfer would just wait.
    if (!state.queueRunning)
        m_s.status.SetStatusLine(QStringLiteral("The queue is paused: Queue > Resume starts it."));
    else
        m_transfers->startIfIdle(); // entries left by the last connection go on over this one
}

void RemotePane::btnDisconnect_Click()
{
    if (!requireConnection())
        return;
    if (m_transfers->queue().count() > 0) {
        const auto answer = m_s.prompter.message(
            QStringLiteral("Some files are still in queue. Do you still want to disconnect? Queued files will be "
                           "cleared! Click OK to disconnect, otherwise click cancel."),
            Prompter::Icon::Warning, Prompter::Buttons::OkCancel);
        if (answer != Prompter::Answer::Ok)
            return;
    }
    if (m_session->protocol() == RemoteProtocol::Ftp && announce(QStringLiteral("QUIT"))) {
        m_session->command(QStringLiteral("QUIT"));
        logReply();
    }
    m_s.log.logLine(QStringLiteral("Disconnected from server."), SessionLog::Event);
    clearConnection(false);
}

// What a disconnect leaves: no connection, no remote rows or nodes, the queue paused and empty.
// A connection that was lost keeps the queue, paused, so that it can go on after reconnecting.
void RemotePane::clearConnection(bool keepQueue)
{
    forget();
    m_s.state.queueRunning = false;
    m_s.status.SetStatusLine(QStringLiteral("Not logged in."));
    if (keepQueue)
        m_transfers->queue().setAllStatuses(QStringLiteral("Paused"));
    else
        m_transfers->clearQueue();
    m_transfers->showQueueState();
    clearRemoteSide();
}

// The server closed the connection, or it broke: the window must not go on as if connected.
void RemotePane::onConnectionLost()
{
    if (!m_session || sender() != m_session || m_s.state.session != m_session)
        return;
    m_s.log.logLine(QStringLiteral("The connection to the server was lost."), SessionLog::Event);
    clearConnection(true);
}

void RemotePane::TimeKeep_Timer()
{
    const AppState &state = m_s.state;
    // Transfers run on connections of their own: the browsing one idles meanwhile and needs its
    // keep-alive most then. It never disturbs an exchange in progress, whose traffic keeps it alive.
    if (!m_session || !state.connected() || m_guard.isBusy())
        return;
    if (m_session->protocol() == RemoteProtocol::Ftp)
        m_session->command(QStringLiteral("PWD"), RemoteSession::Echo::Quiet);
    else
        m_session->keepAlive();
    logReply();
}

void RemotePane::TimeOut_Timer()
{
    btnDisconnect_Click();
}

void RemotePane::resetTree(const QString &host)
{
    m_ui.TreeView2->expand(m_tree.reset(host)->index());
}

QStandardItem *RemotePane::treeNode(const QString &key, bool create)
{
    return m_tree.node(key, create);
}

void RemotePane::selectTreeNode(const QString &key)
{
    if (QStandardItem *node = treeNode(key, true)) {
        m_ui.TreeView2->setCurrentIndex(node->index());
        m_ui.TreeView2->expand(node->index());
    }
}
