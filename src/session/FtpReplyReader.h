#pragma once

#include "FtpReply.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Turns the bytes of a control connection into whole replies. Pure: no sockets, no timers.
// A reply is one line "123 text", or lines from "123-text" up to the first line that starts
// with the same code followed by a blank. NUL bytes are dropped; lines keep their own ends.
class FtpReplyReader
{
public:
    static constexpr qsizetype kMaxLine = 64 * 1024;
    static constexpr qsizetype kMaxReply = 4 * 1024 * 1024;

    // Adds received bytes; returns false once the stream is malformed (see error()).
    bool feed(const QByteArray &bytes);
    bool hasReply() const { return !m_ready.isEmpty(); }
    FtpReply takeReply() { return m_ready.takeFirst(); }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    void reset();

private:
    void takeLine(const QByteArray &line);
    bool fail(const QString &why);

    QByteArray m_partial; // bytes of a line not yet ended
    FtpReply m_current;   // a multi-line reply in progress (code != 0)
    QList<FtpReply> m_ready;
    QString m_error;
};
