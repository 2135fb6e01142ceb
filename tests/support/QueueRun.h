#pragma once

// The transfer engine on a queue of its own, for tests that link the queue core: a host that keeps
// every log line and message, a connection to the server the test gives, and the queue run until
// the engine returns (it returns when the queue is empty, or when the connection is gone).
#include "FtpTestKit.h"
#include "QueueModel.h"
#include "ScriptedPrompter.h"
#include "TransferEngine.h"
#include "TransferHost.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QStandardItemModel>
#include <QStringList>

class RecordingTransferHost : public TransferHost
{
public:
    FtpSession *connection = nullptr;
    TransferSettings transferSettings{0, 0, 64 * 1024, 64 * 1024, {"txt"}};
    QStringList log;
    QStringList messages;
    QStringList foldersMade;
    ScriptedPrompter questions; // answers Cancel unless told otherwise

    FtpSession *session() override { return connection; }
    bool queueRunning() const override { return true; }
    TransferSettings settings() const override { return transferSettings; }
    void logEvent(const QString &text) override { log << text; }
    void logReply(const QString &reply) override { log << reply.trimmed(); }
    void showTotals() override {}
    void openFailed(const QString &path) override { messages << path; }
    Prompter &prompter() override { return questions; }
    void localFoldersMade(const QString &below) override { foldersMade << below; }
    void localFileWritten(const QString &) override {}
    void remoteQueueDone() override {}
    void idle() override {}
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void waitForEvents(int) override { QCoreApplication::processEvents(); }
};

struct QueueRun
{
    FtpSession session;
    QStandardItemModel rows;
    QueueModel queue{rows};
    RecordingTransferHost host;
    TransferEngine engine{queue, host};

    bool open(const FtpOptions &options)
    {
        host.connection = &session;
        return session.open(options);
    }
    void download(const QString &local, const QString &remote, qint64 listed = 0)
    {
        queue.append({local, remote, QueueEntry::Direction::Down, "", "", "-", "Pending", listed}, QIcon());
    }
    void upload(const QString &local, const QString &remote)
    {
        queue.append({local, remote, QueueEntry::Direction::Up, "", "", "-", "Pending", QFileInfo(local).size()},
                     QIcon());
    }
    void run() { engine.ProcessTransfer(); }
    // The last word on the last entry, and how many entries got one.
    QString verdict() const { return host.log.isEmpty() ? QString() : host.log.last(); }
    int verdicts() const
    {
        return int(host.log.count("Transfer complete.") + host.log.count("Transfer failed.") +
                   host.log.count("Transfer stopped."));
    }
};
