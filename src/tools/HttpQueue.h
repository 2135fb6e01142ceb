#pragma once

#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <memory>

class FileIconCache;
class Prompter;
class QNetworkReply;
class QStandardItemModel;

// The HTTP download manager's queue and its transfers, without widgets. The queue is the rows of
// model(); the first row is the one being downloaded, one file at a time. A body goes to a part
// file of its own beside its target ("name.part", or "name.1.part" and so on when a file of that
// name is there) as it arrives and takes the target's place only when complete;
// a failed one leaves any existing file untouched, a stopped one becomes the file only where
// there was none. Pausing stops reading, so the server is held back by TCP, not by our memory.
class HttpQueue : public QObject
{
    Q_OBJECT
public:
    enum Column { RemoteColumn, LocalColumn, SizeColumn, StatusColumn };

    explicit HttpQueue(Prompter &prompter, QObject *parent = nullptr);
    ~HttpQueue() override;

    QStandardItemModel *model() const { return m_model; }
    bool isRunning() const { return m_running; }
    bool isTransferring() const { return m_transfer != nullptr; }
    qint64 received() const;
    // What "Current:" shows ("Idle", "42%", "???") and the bar's value (0 to 100).
    QString currentText() const;
    int barValue() const;

    // Checks the two fields, asks before overwriting, queues the download; false when nothing was
    // queued (a message said why, or the user cancelled).
    bool add(const QString &url, const QString &localPath);
    void pause();
    void resume();
    // Removes the given rows; the one being downloaded stops and keeps what it has.
    void cancel(QList<int> rows);
    // Asks first; stops the running transfer and empties the queue.
    void clearAll();
    // Stops the running transfer as Cancel does, and starts no other (the window is closing).
    void stop();

    // No data for this long while running fails the transfer.
    void setStallTimeout(int ms) { m_stall.setInterval(ms); }

signals:
    void progressChanged();
    void runningChanged(bool running);
    // A download ended: done (complete), failed or stopped. Emitted after its row has gone.
    void finished(const QString &localPath, const QString &outcome);
    void idle(); // nothing left to transfer

private:
    struct Transfer;

    void startNext();
    void onReadyRead();
    void onFinished();
    bool begin();
    bool openPart();
    bool drain();
    void complete();
    void fail(const QString &message);
    void stopTransfer();
    void endTransfer(const QString &outcome);
    void setStatus(const QPersistentModelIndex &row, const QString &text);
    void setAllStatuses(const QString &text);
    void updateProgress();

    Prompter &m_prompter;
    QStandardItemModel *m_model;
    std::unique_ptr<FileIconCache> m_icons;
    QNetworkAccessManager m_network;
    std::unique_ptr<Transfer> m_transfer;
    QTimer m_stall;
    bool m_running = true;
};
