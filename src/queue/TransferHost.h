#pragma once

#include "FileExists.h"
#include "FtpTypes.h"
#include "TransferSettings.h"

#include <QList>
#include <QString>
#include <optional>

class Prompter;

// What the engine needs of the program around it: the server to connect to, the queue state and
// settings, the session log, the user, and the panes to refresh. The window implements it; tests too.
class TransferHost
{
public:
    // What a line of a transfer connection is, as its session reports it.
    enum class LineKind { Command, Reply, Warning, Note };
    struct Line
    {
        LineKind kind;
        QString text;
    };

    virtual ~TransferHost() = default;

    // The browsing connection's options, the certificate decision taken for it included; none
    // while there is no connection.
    virtual std::optional<FtpOptions> connectionOptions() = 0;
    virtual bool queueRunning() const = 0;
    virtual TransferSettings settings() const = 0;

    virtual void logEvent(const QString &text) = 0; // a line of the queue's own
    // Lines of transfer connection number (2, 3, ...), in the order said: a command, a reply with
    // its line ends, a warning, or an event such as "Transfer complete.". Lines said while the
    // window's thread was busy come together.
    virtual void logConnection(int number, const QList<Line> &lines) = 0;
    virtual void showTotals() = 0;                    // the queue totals line, in the form of the queue's state
    virtual void openFailed(const QString &path) = 0; // "Could not open file " & path, without waiting
    virtual Prompter &prompter() = 0;                 // questions only the user can answer
    // What the remote listing the program holds shows of a file; nothing when it shows none there
    // (or shows no listing of that folder).
    virtual std::optional<FileExists::Facts> remoteListed(const QString &remotePath)
    {
        Q_UNUSED(remotePath);
        return std::nullopt;
    }

    virtual void localFoldersMade(const QString &below) = 0; // new folders under this one
    virtual void localFileWritten(const QString &path) = 0;
    virtual void remoteQueueDone() = 0; // the last upload of the queue has ended
    virtual void idle() = 0;            // no file moves any more
};
