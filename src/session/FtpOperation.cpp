#include "FtpOperation.h"

FtpOperation::FtpOperation(FtpContext &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FtpOperation::timedOut);
}

void FtpOperation::timedOut()
{
    fail(QStringLiteral("No answer from the server within %1 s.").arg(m_ctx.options.timeoutMs / 1000.0), true);
}

void FtpOperation::begin()
{
    start();
}

void FtpOperation::handleReply(const FtpReply &reply)
{
    if (m_finished)
        return;
    m_timer.stop();
    if (reply.code == 421) { // the server is closing the connection
        keep(reply);
        m_fatal = true;
        finish(false);
        return;
    }
    onReply(reply);
}

void FtpOperation::handleLost(const QString &why)
{
    fail(why, true);
}

void FtpOperation::abort(const QString &why)
{
    fail(why, true);
}

void FtpOperation::send(const QByteArray &command, bool logged)
{
    m_ctx.control.send(command, logged);
    armTimer();
}

void FtpOperation::armTimer(int ms)
{
    m_timer.start(qMax(1, ms));
}

void FtpOperation::succeed()
{
    finish(true);
}

void FtpOperation::fail(const FtpReply &reply)
{
    keep(reply);
    finish(false);
}

void FtpOperation::fail(const QString &why, bool fatal)
{
    if (m_finished)
        return;
    if (!m_info.isEmpty() && !m_info.endsWith('\n'))
        m_info += "\r\n";
    m_info += why.toUtf8() + "\r\n";
    m_transcript.append({Line::Reply, why.toUtf8() + "\r\n"});
    m_fatal = m_fatal || fatal;
    finish(false);
}

void FtpOperation::finish(bool ok)
{
    if (m_finished)
        return;
    m_finished = true;
    m_ok = ok;
    m_timer.stop();
    cleanup();
    emit finished();
}
