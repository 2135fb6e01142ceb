#pragma once

#include "ScriptedPrompter.h"
#include "TransferHost.h"

#include <QCoreApplication>
#include <QStringList>

// A transfer host for engine tests: one connection, the queue always running, and every log line
// and message kept.
class RecordingTransferHost : public TransferHost
{
public:
    FtpSession *connection = nullptr;
    TransferSettings transferSettings{0, 0, 1024, 1024, {"txt"}};
    QStringList log;
    QStringList messages;
    ScriptedPrompter questions; // answers Cancel unless told otherwise

    FtpSession *session() override { return connection; }
    bool queueRunning() const override { return true; }
    TransferSettings settings() const override { return transferSettings; }
    void logEvent(const QString &text) override { log << text; }
    void logReply(const QString &reply) override { log << reply.trimmed(); }
    void showTotals() override {}
    void openFailed(const QString &path) override { messages << path; }
    Prompter &prompter() override { return questions; }
    void localFoldersMade(const QString &) override {}
    void localFileWritten(const QString &) override {}
    void remoteQueueDone() override {}
    void idle() override {}
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void waitForEvents(int) override { QCoreApplication::processEvents(); }
};
