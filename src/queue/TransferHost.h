#pragma once

#include "TransferSettings.h"

#include <QString>

class FtpSession;
class Prompter;

// What the engine needs of the program around it: the connection, the queue state and settings,
// the session log, the user, and the panes to refresh. The window implements it; tests too.
class TransferHost
{
public:
    virtual ~TransferHost() = default;

    virtual FtpSession *session() = 0; // the open connection; null when there is none
    virtual bool queueRunning() const = 0;
    virtual TransferSettings settings() const = 0;

    virtual void logEvent(const QString &text) = 0;
    virtual void logReply(const QString &reply) = 0;
    virtual void showTotals() = 0;                    // the queue totals line, in the form of the queue's state
    virtual void openFailed(const QString &path) = 0; // "Could not open file " & path
    virtual Prompter &prompter() = 0;                 // questions only the user can answer

    virtual void localFoldersMade(const QString &below) = 0; // new folders under this one
    virtual void localFileWritten(const QString &path) = 0;
    virtual void remoteQueueDone() = 0; // the last upload of the queue has ended
    virtual void idle() = 0;            // the engine has stopped working the queue

    virtual void pumpEvents() = 0;
    // Lets events run, sleeping until one comes or the time is up.
    virtual void waitForEvents(int maxMs) = 0;
};
