#pragma once

#include "RtfWriter.h"
#include "SessionLog.h"

#include <QFile>
#include <QObject>
#include <functional>

// Where and how the log is kept right now: read from the program-wide values at every line.
struct LogTarget
{
    QString fileName; // the current log file; empty while there is none
    LogFormat format = LogFormat::Rtf;
    bool keepLog = true;
};

// Keeps the current log file complete after every line: the plain text or the RTF document,
// followed by CR LF. Lines added together (a batch) are written together. A file that becomes current starts with what the window shows; from then
// on it holds every line added, also after the window was cleared or loaded: the file never
// loses what it holds until another file becomes current. While the file is known to hold
// exactly what was written, a new line is appended (for RTF, only the closing tail is
// rewritten), so a line costs the same however long the log is; otherwise the file is written
// again from the lines it holds. Between appends the file stays open, unbuffered: each line
// reaches the system with its own write. A file that cannot be written is reported once, and
// brought up to date by the next success.
class LogFileWriter : public QObject
{
    Q_OBJECT

public:
    using TargetSource = std::function<LogTarget()>;

    LogFileWriter(const SessionLog &log, TargetSource target, QObject *parent = nullptr);

    // What the file holds after a full write of the log in that format.
    static QByteArray fileContent(const SessionLog &log, LogFormat format);
    // The status line text for a log file that could not be written.
    static QString failureText(const QString &fileName);

    bool isFailing() const { return m_failing; }

signals:
    // The file could not be written. Sent once, and again only after a write has succeeded.
    void writeFailed(const QString &statusText);

private:
    void onRunsAppended(qsizetype first);
    void startOver(const QString &fileName);
    void takeWindow();
    bool openForAppend(const QString &fileName);
    bool canAppend(const LogTarget &target, qsizetype first) const;
    bool append(const LogTarget &target, qsizetype first);
    bool rewrite(const LogTarget &target);
    void report(bool written, const QString &fileName);
    QByteArray writtenContent(LogFormat format); // sets up m_rtf for the appends after it

    const SessionLog &m_log;
    TargetSource m_target;
    // The file m_fileName holds exactly the log as of the last write, m_size bytes in m_format.
    bool m_fileMatches = false;
    QString m_fileName;
    LogFormat m_format = LogFormat::Rtf;
    qint64 m_size = 0;
    RtfWriter m_rtf; // its colour table and current colour are those of the file
    QFile m_file; // m_fileName while appends go to it; closed whenever the file is written whole
    LogRuns m_written; // what the file m_fileName holds, or will hold once it can be written
    // m_written is the window as it is (and is left empty): while there is no file, taking a copy
    // for every line would cost the length of the log each time.
    bool m_writtenIsWindow = false;
    bool m_failing = false;
};
