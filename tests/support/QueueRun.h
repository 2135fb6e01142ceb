#pragma once

// The transfer engine on a queue of its own, for tests that link the queue core: a host that keeps
// every log line and message, the server the test gives, and the queue run until no file moves.
#include "FtpTestKit.h"
#include "QueueModel.h"
#include "ScriptedPrompter.h"
#include "TransferEngine.h"
#include "TransferHost.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QStringList>

class RecordingTransferHost : public TransferHost
{
public:
    std::optional<FtpOptions> server;
    bool running = true;
    // No retries unless a test asks for them, and then waits of milliseconds, not seconds; files there
    // already are overwritten without a question, unless a test asks for one.
    TransferSettings transferSettings{0, 0, 64 * 1024, 64 * 1024, {"txt"}, 1, 0, 1, 1};
    QStringList log;
    QStringList warnings; // the red lines: each failure with its reason
    QStringList commands; // "[2] RETR /a.txt"
    QStringList messages;
    QStringList foldersMade;
    ScriptedPrompter questions; // answers Cancel unless told otherwise
    QHash<QString, FileExists::Facts> remoteFiles; // the remote listing, by path

    std::optional<FtpOptions> connectionOptions() override { return server; }
    bool queueRunning() const override { return running; }
    TransferSettings settings() const override { return transferSettings; }
    void logEvent(const QString &text) override { log << text; }
    void logConnection(int number, const QList<Line> &lines) override
    {
        for (const Line &line : lines) {
            if (line.kind == LineKind::Command)
                commands << QStringLiteral("[%1] %2").arg(number).arg(line.text);
            else if (line.kind == LineKind::Warning)
                warnings << line.text;
            else
                log << line.text.trimmed();
        }
    }
    void showTotals() override {}
    void openFailed(const QString &path) override { messages << path; }
    Prompter &prompter() override { return questions; }
    std::optional<FileExists::Facts> remoteListed(const QString &path) override
    {
        return remoteFiles.contains(path) ? std::optional(remoteFiles.value(path)) : std::nullopt;
    }
    void localFoldersMade(const QString &below) override { foldersMade << below; }
    void localFileWritten(const QString &) override {}
    void remoteQueueDone() override {}
    void idle() override {}
};

struct QueueRun
{
    QueueModel queue;
    RecordingTransferHost host;
    TransferEngine engine{queue, host};
    QList<StoredEntry> kept; // for the failed and finished lists, in the order they ended

    QueueRun()
    {
        QObject::connect(&engine, &TransferEngine::entryKept, [this](const StoredEntry &entry) { kept << entry; });
    }

    // The transfer connections log in when the first file starts.
    bool open(const FtpOptions &options)
    {
        host.server = options;
        return true;
    }
    void download(const QString &local, const QString &remote, qint64 listed = 0, const QString &time = "-")
    {
        queue.append({local, remote, QueueEntry::Direction::Down, "", "", time, "Pending", listed}, QIcon());
    }
    void upload(const QString &local, const QString &remote)
    {
        queue.append({local, remote, QueueEntry::Direction::Up, "", "", "-", "Pending", QFileInfo(local).size()},
                     QIcon());
    }
    // Until no file moves: the queue is empty, paused, or its entries cannot start.
    void run()
    {
        engine.ProcessTransfer();
        while (engine.isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // The last word on the last entry, and how many entries got one.
    QString verdict() const { return host.log.isEmpty() ? QString() : host.log.last(); }
    int verdicts() const
    {
        return int(host.log.count("Transfer complete.") + host.log.count("Transfer failed.") +
                   host.log.count("Transfer stopped."));
    }
};
