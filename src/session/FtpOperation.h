#pragma once

#include "FtpContext.h"
#include "FtpReply.h"

#include <QList>
#include <QObject>
#include <QTimer>

// One exchange on the control connection (log in, change folder, list, transfer, ...), run as
// a small state machine: the session feeds it replies, it sends commands, and it ends once
// with success or failure. Its info() is the last reply the session reports.
class FtpOperation : public QObject
{
    Q_OBJECT
public:
    explicit FtpOperation(FtpContext &context, QObject *parent = nullptr);

    void begin();
    void handleReply(const FtpReply &reply);
    virtual void handleLost(const QString &why);
    void abort(const QString &why); // ends the operation now, as a failure

    bool isFinished() const { return m_finished; }
    bool succeeded() const { return m_ok; }
    bool isFatal() const { return m_fatal; } // the control connection cannot be used any more
    QByteArray info() const { return m_info; }
    int lastCode() const { return m_lastCode; } // of the last reply kept in info()

    // What the log shows of this exchange, in order: commands worth showing, the replies kept,
    // texts that stand for a reply (a failure without one), warnings and notes.
    struct Line
    {
        enum Kind { Command, Reply, Warning, Note } kind;
        QByteArray text;
    };
    const QList<Line> &transcript() const { return m_transcript; }
    // A command as the connection sent it, in its place among the replies (the log in).
    void recordSent(const QByteArray &command) { m_transcript.append({Line::Command, command}); }

signals:
    void finished();

protected:
    virtual void start() = 0;
    virtual void onReply(const FtpReply &reply) = 0;
    virtual void cleanup() {}

    void send(const QByteArray &command, bool logged = true);
    void armTimer() { armTimer(m_ctx.options.timeoutMs); } // waiting for the server: a reply or data
    void armTimer(int ms);
    // The wait armed last has run out; by default the server is taken as gone.
    virtual void timedOut();
    void stopTimer() { m_timer.stop(); }
    void keep(const FtpReply &reply)
    {
        m_info += reply.text;
        m_lastCode = reply.code ? reply.code : m_lastCode;
        m_transcript.append({Line::Reply, reply.text});
    }
    void show(const FtpReply &reply) { m_transcript.append({Line::Reply, reply.text}); } // the log only
    void warn(const QString &text) { m_transcript.append({Line::Warning, text.toUtf8()}); }
    void note(const QString &text) { m_transcript.append({Line::Note, text.toUtf8()}); }
    void clearInfo()
    {
        m_info.clear();
        m_transcript.clear();
    }
    void succeed();
    void fail(const FtpReply &reply);
    void fail() { finish(false); } // the reason is already kept
    void fail(const QString &why, bool fatal = false);

    FtpContext &m_ctx;

private:
    void finish(bool ok);

    QTimer m_timer;
    QByteArray m_info;
    QList<Line> m_transcript;
    int m_lastCode = 0;
    bool m_finished = false;
    bool m_ok = false;
    bool m_fatal = false;
};
