#pragma once

#include "LogRun.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QStringView>

// The content of the session log window: coloured runs of text, with no widget behind it.
// The window mirrors it through runAppended() and reset(); the log file writer follows it too.
class SessionLog : public QObject
{
    Q_OBJECT

public:
    enum Kind { Event = 0, Command = 1 };

    static constexpr int AnnounceMs = 100;

    explicit SessionLog(QObject *parent = nullptr);

    // Kind 1 (commands) dark blue, every other kind black.
    static QColor lineColour(int kind);
    // By the number formed by the first three characters: 0-399 dark green, 400-699 red,
    // any other number and anything that is not a number dark blue.
    static QColor replyColour(QStringView reply);

    // Adds the text and a line end. Returns true.
    bool logLine(const QString &text, int kind);
    // Adds the reply as given (it carries its own line ends), each line after prefix ("[2] " for
    // a transfer connection). False, and nothing added, when empty.
    bool logServerReply(const QString &reply, const QString &prefix = {});
    // A line of a connection's own account, after prefix: a command in the colour of commands, a
    // reply in the colour of its code (text without a code, the client's account of a failure,
    // in red), a warning in red, a note as an event.
    enum class Said { Command, Reply, Warning, Note };
    void logSaid(Said kind, const QString &text, const QString &prefix = {});
    // Adds text in any colour; CR LF and lone CR become "\n". Empty text adds nothing.
    void append(const QString &text, const QColor &colour);

    // Runs added while one lives are in runs() at once, and announced together at most AnnounceMs
    // after the first of them (while events run), or at once with the next run added outside a
    // batch, whichever comes first: the window and the log file take the lines of the transfer
    // connections and of folder walks in a few edits and writes a second, in the order added.
    class Batch
    {
    public:
        explicit Batch(SessionLog &log);
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        SessionLog &m_log;
    };

    // Empties the log.
    void clear();
    // Replaces the content with a document read by RtfReader (plain text if it is not RTF).
    void loadRtf(const QByteArray &data);
    // Replaces the content with the given runs.
    void setRuns(LogRuns runs);

    const LogRuns &runs() const { return m_runs; }
    // Announces the runs batches added, if any wait (also for the last lines, before the end).
    void flush();
    bool isEmpty() const { return m_runs.isEmpty(); }
    // The text without colours, each line end written as lineEnd.
    QString plainText(QStringView lineEnd = u"\r\n") const;
    // The whole log as an RTF document (without a trailing line end).
    QByteArray toRtf() const;

signals:
    // Runs were added at the end: runs() from first on (texts with "\n" line ends).
    void runsAppended(qsizetype first);
    // The content is about to be replaced or emptied: runs() still holds the old one.
    void aboutToReset();
    // The content was replaced or emptied: show runs() again from scratch.
    void reset();

private:
    LogRuns m_runs;
    int m_batches = 0;
    qsizetype m_unannounced = -1; // the first run added in a batch and not announced yet; -1: none
    QTimer *m_announce;
};
