#pragma once

#include "LocalSide.h"
#include "PaneServices.h"
#include "RemoteSide.h"
#include "TransferControl.h"
#include "TransferHost.h"

#include <QElapsedTimer>
#include <QObject>
#include <memory>
#include <optional>

class RemoteSession;
class FileListView;
class QFileInfo;
class QTimer;
class QStandardItemModel;
class QTreeView;
class EndedModel;
class OpenFailureBox;
class QueueArea;
class QueueKeeper;
class QueueModel;
class TransferEngine;
class TransferProgressView;
struct FtpEntry;
struct QueueEntry;
struct StoredEntry;

// The controls of the main window the queue works with: the queue list, and the lists and trees
// whose selection it queues.
struct QueueControls
{
    FileListView *ListView1, *ListView2, *ListView3;
    QTreeView *TreeView1, *TreeView2;
    QStandardItemModel *localTree;
    QueueArea *area; // the queue list's tabs, with the failed and finished lists
};

// The transfer queue of the main window: enqueueing from the lists and trees, the engine that
// works the queue off, and the queue controls. ListView2 shows the queue model itself; the engine
// and the walks live in the queue core, this class gathers what the user gave and shows results.
class QueuePane : public QObject, public TransferControl, private TransferHost
{
    Q_OBJECT
public:
    QueuePane(const PaneServices &services, const QueueControls &controls, RemoteSide &remote, LocalSide &local);
    ~QueuePane() override;

    QueueModel &queue() override { return *m_queue; }
    TransferEngine &engine() { return *m_engine; }
    // The entries that failed and those that finished, shown beside the queue (QueuePane_ended.cpp).
    EndedModel &failedList() { return *m_failed; }
    EndedModel &finishedList() { return *m_finished; }
    // Failed entries go back to the end of the queue, which starts if it runs.
    void retryFailed(const QList<int> &rows);
    QueueKeeper &keeper() { return *m_keeper; }
    // Once the window shows: the queue's file is opened (a message when it cannot be used), the
    // entries left from last time offered, and the queue kept as it changes from then on.
    void restoreQueue();

    // One file by its row key in the local or remote list (drag and drop); the caller starts the engine.
    void QueueLocalFile(const QString &localKey, const QString &remotePath);
    void QueueRemoteFile(const QString &remoteKey, const QString &localPath);
    // Every file below a folder; both paths end with "/". False when the walk could not finish.
    bool QueueLocalFolder(const QString &localFolder, const QString &remoteFolder);
    bool QueueRemoteFolder(RemoteSession *session, const QString &remoteFolder, const QString &localFolder);
    // The local path of a server's name in a local folder; nothing, and one log line, when the
    // name could leave the folder or is no file name here. Every download path is made here.
    std::optional<QString> localPathFor(const QString &localFolder, const QString &name, const QString &remotePath);

    // Starts the engine when the queue runs and no transfer is under way.
    void startIfIdle() override;
    // The connection is about to go: transfers under way stop and their connections close.
    void stopTransfer() override;
    // The totals line and the Pause and Resume items, after the queue or its state changed.
    void showQueueState() override;
    void clearQueue() override;

public slots:
    void btnUpload_Click();
    void btnDownload_Click();
    void menu5_upload_Click();
    void menu6_download_Click();
    void btnPause_Click();
    void btnResume_Click();
    void menu_cancel_Click();
    void menu_remove_Click();
    void btnClear_Click();
    void menu_clear_Click();
    void ProcessTransfer();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void wireCommands();
    void wireEndedLists();
    void showKeptLists(); // the failed and finished lists the store held
    void forgetEnded(const QList<StoredEntry> &entries); // they leave the store too
    bool requireConnection();
    void addEntry(QueueEntry entry, const QString &name);
    void addUpload(const QString &localPath, const QString &remotePath, const QFileInfo &file, const QString &time);
    void addDownload(const QString &localPath, const QString &remotePath, const FtpEntry &file);
    void skipName(const QString &remotePath);
    void refreshLocalList();
    void showTotalsSoon();

    // TransferHost (QueuePane_host.cpp).
    std::optional<FtpOptions> connectionOptions() override;
    bool queueRunning() const override;
    TransferSettings settings() const override;
    void logEvent(const QString &text) override;
    void logConnection(int number, const QList<Line> &lines) override;
    void showTotals() override;
    void openFailed(const QString &path) override;
    Prompter &prompter() override;
    std::optional<FileExists::Facts> remoteListed(const QString &remotePath) override;
    void localFoldersMade(const QString &below) override;
    void localFileWritten(const QString &path) override;
    void remoteQueueDone() override;
    void idle() override;

    PaneServices m_s;
    QueueControls m_ui;
    RemoteSide &m_remote;
    LocalSide &m_local;
    QueueModel *m_queue;
    TransferEngine *m_engine;
    TransferProgressView *m_progress;
    EndedModel *m_failed;
    EndedModel *m_finished;
    std::unique_ptr<OpenFailureBox> m_openFailures;
    std::unique_ptr<QueueKeeper> m_keeper; // gone before the queue and the engine it follows
    QElapsedTimer m_sinceLocalRefresh;
    bool m_localRefreshDue = false;
    // The totals line while many entries come and go (a folder walk, a queue of small files): at
    // most every TotalsMs; what the user does, and the queue's end, show it at once.
    QTimer *m_totalsDue;
};
