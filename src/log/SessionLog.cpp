#include "SessionLog.h"

#include "RtfReader.h"
#include "RtfWriter.h"

#include <utility>

namespace {

QString withNewlines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// Every line of text begins with prefix.
QString prefixed(const QString &text, const QString &prefix)
{
    if (prefix.isEmpty())
        return text;
    QString out = prefix;
    out.reserve(text.size() + prefix.size() * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == QLatin1Char('\n') && i + 1 < text.size())
            out += prefix;
    }
    return out;
}

} // namespace

SessionLog::SessionLog(QObject *parent) : QObject(parent), m_announce(new QTimer(this))
{
    m_announce->setSingleShot(true);
    m_announce->setInterval(AnnounceMs);
    connect(m_announce, &QTimer::timeout, this, &SessionLog::flush);
}

QColor SessionLog::lineColour(int kind)
{
    return kind == Command ? LogColours::darkBlue() : LogColours::black();
}

QColor SessionLog::replyColour(QStringView reply)
{
    bool isNumber = false;
    const int code = reply.left(3).trimmed().toInt(&isNumber);
    if (isNumber && code >= 0 && code <= 399)
        return LogColours::darkGreen();
    if (isNumber && code >= 400 && code <= 699)
        return LogColours::red();
    return LogColours::darkBlue();
}

bool SessionLog::logLine(const QString &text, int kind)
{
    append(text + QLatin1Char('\n'), lineColour(kind));
    return true;
}

namespace {

// "530 ..." or "230-...": a line that begins a reply of its own.
bool beginsReply(QStringView line)
{
    return line.size() >= 4 && line[0].isDigit() && line[1].isDigit() && line[2].isDigit() &&
           (line[3] == QLatin1Char(' ') || line[3] == QLatin1Char('-'));
}

} // namespace

// The last response may hold several replies (a greeting, then the login's 331 and 530): each
// takes the colour of its own code, so a refusal after a welcome still shows as an error.
bool SessionLog::logServerReply(const QString &reply, const QString &prefix)
{
    if (reply.isEmpty())
        return false;
    QColor colour = replyColour(reply);
    qsizetype start = 0;
    for (qsizetype pos = 0; pos < reply.size();) {
        const qsizetype newline = reply.indexOf(QLatin1Char('\n'), pos);
        const qsizetype next = newline < 0 ? reply.size() : newline + 1;
        const QStringView line = QStringView(reply).mid(pos, next - pos);
        if (pos > start && beginsReply(line) && replyColour(line) != colour) {
            append(prefixed(reply.mid(start, pos - start), prefix), colour);
            start = pos;
            colour = replyColour(line);
        }
        pos = next;
    }
    append(prefixed(reply.mid(start), prefix), colour);
    return true;
}

void SessionLog::logSaid(Said kind, const QString &text, const QString &prefix)
{
    switch (kind) {
    case Said::Command:
        logLine(prefix + QStringLiteral("Command: ") + text, Command);
        break;
    case Said::Reply:
        if (beginsReply(text) || (text.size() == 3 && text[0].isDigit()))
            logServerReply(text, prefix);
        else
            append(prefixed(text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n'), prefix),
                   LogColours::red());
        break;
    case Said::Warning:
        append(prefix + text + QLatin1Char('\n'), LogColours::red());
        break;
    case Said::Note:
        logLine(prefix + text, Event);
        break;
    }
}

void SessionLog::append(const QString &text, const QColor &colour)
{
    if (text.isEmpty())
        return;
    m_runs.append({withNewlines(text), colour});
    if (m_unannounced < 0)
        m_unannounced = m_runs.size() - 1;
    if (m_batches == 0)
        flush();
    else if (!m_announce->isActive()) // a long batch (a folder walk) shows its lines as it goes
        m_announce->start();
}

void SessionLog::flush()
{
    m_announce->stop();
    if (m_unannounced >= 0)
        emit runsAppended(std::exchange(m_unannounced, -1));
}

SessionLog::Batch::Batch(SessionLog &log) : m_log(log)
{
    ++m_log.m_batches;
}

SessionLog::Batch::~Batch()
{
    --m_log.m_batches; // what it added is announced when the time set at its first run comes
}

void SessionLog::clear()
{
    setRuns({});
}

void SessionLog::loadRtf(const QByteArray &data)
{
    setRuns(RtfReader::read(data));
}

void SessionLog::setRuns(LogRuns runs)
{
    for (LogRun &run : runs)
        run.text = withNewlines(run.text);
    runs.removeIf([](const LogRun &run) { return run.text.isEmpty(); });
    emit aboutToReset();
    m_unannounced = -1; // replaced: the new content is shown whole
    m_announce->stop();
    m_runs = std::move(runs);
    emit reset();
}

QString SessionLog::plainText(QStringView lineEnd) const
{
    QString text;
    for (const LogRun &run : m_runs)
        text += run.text;
    if (lineEnd != u"\n")
        text.replace(QLatin1Char('\n'), lineEnd.toString());
    return text;
}

QByteArray SessionLog::toRtf() const
{
    return RtfWriter::document(m_runs);
}
