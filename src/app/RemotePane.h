#pragma once

#include "ConnectionGuard.h"
#include "PaneServices.h"
#include "ProfileConnection.h"
#include "RemoteSession.h"
#include "RemoteListing.h"
#include "RemoteSide.h"
#include "RemoteTree.h"
#include "SessionSource.h"

#include <QObject>
#include <QPointer>

class FileListView;
class Padlock;
class QCheckBox;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QStandardItem;
class QStandardItemModel;
class QTimer;
class QTreeView;
class TransferControl;
class formascii;
class formimage;

// The controls of the main window the remote side works with.
struct RemoteControls
{
    QLineEdit *txtServer, *txtUsername, *txtPassword, *txtPort, *txtProxy, *txtKeep, *txtTimeout;
    QCheckBox *checkType;
    QPushButton *btnConnect;
    QTreeView *TreeView2;
    QStandardItemModel *remoteTree;
    QLineEdit *txtDirectory;
    FileListView *ListView1;
    QTimer *timeKeep, *timeOut;
    Padlock *padlock;
};

// The remote side of the main window: connecting and disconnecting, the timers, the remote
// tree, path field and file list. Every loop here lets window events run between steps and
// re-checks afterwards that the connection it works on is still the open one.
class RemotePane : public QObject, public RemoteSide
{
    Q_OBJECT
public:
    RemotePane(const PaneServices &services, const RemoteControls &controls);
    ~RemotePane() override;
    // The queue, which the connection's end stops and pauses; set once it is built.
    void setTransfers(TransferControl &transfers) { m_transfers = &transfers; }

    RemoteSession *session() const override { return m_session; }
    PlaceholderFiles &placeholders() override { return m_placeholders; }
    // Forgets the connection without QUIT (Exit); any call in progress ends with a failure.
    void forget();
    // Connects at start to a connection given on the command line; false when the text is none.
    bool connectTo(const QString &url);
    // Connects with the fields as they stand and opens `startFolder` (when given) instead of "/".
    void connectAt(const QString &startFolder);
    // True when connected; otherwise tells the user so, as every remote command does.
    bool requireConnection() override;
    // The connection for one remote command, held while the turn lives. An empty turn when
    // another exchange holds it: the status line then says so, and the command does nothing.
    ConnectionGuard::Turn commandTurn() override;
    ConnectionGuard &guard() override { return m_guard; }
    // The quick-connect fields show a connection (all but the active mode).
    void showFields(const ProfileConnection &connection);
    // The open image viewer, if any (one at a time).
    formimage *imageViewer() const;
    // The open text editor, if any (one at a time).
    formascii *textEditor() const;

public slots:
    void btnConnect_Click();
    void btnDisconnect_Click();
    void TimeKeep_Timer();
    void TimeOut_Timer();
    void FtpGetDirectoryContents() override;
    void ListView1_DblClick();
    void TreeView2_NodeClick(const QModelIndex &index);
    void txtDirectory_KeyPress();
    void menu_refresh_server_Click();
    void menu_showall_server_Click();
    void menu_showcustom_server_Click();

private:
    bool stillConnected(const RemoteSession *session) const;
    // Before a command (the session logs it as it goes): lets events run; false when the
    // connection went meanwhile.
    bool announce(const QString &command);
    void logReply();
    void logLogin();
    void closeSession();
    void clearConnection(bool keepQueue);
    // No listing, tree, caption, padlock or connection commands of a connection that is gone.
    void clearRemoteSide();
    ProfileConnection fieldValues() const;
    void enableConnectionCommands(bool enabled);
    void showPadlock();
    void onConnectionLost();
    void resetTree(const QString &host);
    QStandardItem *treeNode(const QString &key, bool create);
    void selectTreeNode(const QString &key);
    void showListed(const QString &folder, const QList<FtpEntry> &entries);
    void fillList(const QString &folder, const QList<FtpEntry> &entries);
    void wireCommands();
    void openImageViewer(const QString &name);
    void openTextEditor(const QString &name);
    // The connection as the tool windows see it: whatever is open when they need it.
    SessionSource sessionSource();

    PaneServices m_s;
    RemoteControls m_ui;
    TransferControl *m_transfers = nullptr;
    QPointer<RemoteSession> m_session;
    RemoteTree m_tree;
    PlaceholderFiles m_placeholders;
    ConnectionGuard m_guard;
    QString m_lastListed;  // the folder the list shows, once a listing succeeded
    QString m_startFolder; // a folder asked for on the command line
    ProfileConnection m_standing; // the fields of the connection that is open
    QString m_fingerprint;        // of the certificate the connection showed, when known
    QPointer<formimage> m_viewer;
    QPointer<formascii> m_editor;
};
