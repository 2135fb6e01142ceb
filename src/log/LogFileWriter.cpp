#include "LogFileWriter.h"

#include "LogFiles.h"

#include <QFile>

namespace {

const QByteArray lineEnd = QByteArrayLiteral("\r\n");

QByteArray textBytes(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return text.toUtf8();
}

// The bytes that close the file and that a new line goes in front of.
qint64 tailSize(LogFormat format)
{
    return lineEnd.size() + (format == LogFormat::Rtf ? RtfWriter::footer().size() : 0);
}

} // namespace

LogFileWriter::LogFileWriter(const SessionLog &log, TargetSource target, QObject *parent)
    : QObject(parent), m_log(log), m_target(std::move(target))
{
    connect(&log, &SessionLog::runsAppended, this, &LogFileWriter::onRunsAppended);
    // A cleared or loaded window changes nothing in the file: the next line is added after
    // what the file holds, so a file that was to start with the window keeps it.
    connect(&log, &SessionLog::aboutToReset, this, &LogFileWriter::takeWindow);
}

QByteArray LogFileWriter::fileContent(const SessionLog &log, LogFormat format)
{
    if (format == LogFormat::Rtf)
        return log.toRtf() + lineEnd;
    return log.plainText().toUtf8() + lineEnd;
}

QString LogFileWriter::failureText(const QString &fileName)
{
    return tr("Could not write the log file %1.").arg(fileName);
}

void LogFileWriter::onRunsAppended(qsizetype first)
{
    const LogRuns &runs = m_log.runs();
    const LogTarget target = m_target();
    // Another file became current (a new log, a continued one, or the old file was deleted with
    // all logs): it starts with the window as it is.
    if (target.fileName != m_fileName || !QFile::exists(target.fileName))
        startOver(target.fileName);
    else if (!m_writtenIsWindow)
        m_written.append(runs.mid(first));
    if (!target.keepLog || target.fileName.isEmpty()) {
        m_fileMatches = false; // what is shown now is no longer what the file holds
        m_file.close();
        return;
    }
    const bool written = canAppend(target, first) ? append(target, first) : rewrite(target);
    report(written, target.fileName);
}

void LogFileWriter::startOver(const QString &fileName)
{
    m_written.clear();
    m_writtenIsWindow = true;
    m_fileName = fileName;
    m_fileMatches = false;
    m_file.close();
}

void LogFileWriter::takeWindow()
{
    if (m_writtenIsWindow)
        m_written = m_log.runs();
    m_writtenIsWindow = false;
}

bool LogFileWriter::canAppend(const LogTarget &target, qsizetype first) const
{
    if (!m_fileMatches || target.fileName != m_fileName || target.format != m_format)
        return false;
    const LogRuns &runs = m_log.runs();
    for (qsizetype i = first; target.format == LogFormat::Rtf && i < runs.size(); ++i)
        if (!m_rtf.hasColour(runs[i].colour))
            return false;
    return true;
}

bool LogFileWriter::append(const LogTarget &target, qsizetype first)
{
    // Anything but the file as we left it (gone, shortened, grown) is written whole.
    if (!openForAppend(target.fileName) || m_file.size() != m_size)
        return rewrite(target);
    const LogRuns &runs = m_log.runs();
    QByteArray piece;
    for (qsizetype i = first; i < runs.size(); ++i)
        piece += target.format == LogFormat::Rtf ? m_rtf.run(runs[i].text, runs[i].colour) : textBytes(runs[i].text);
    QByteArray bytes = piece;
    if (target.format == LogFormat::Rtf)
        bytes += RtfWriter::footer();
    bytes += lineEnd;
    m_fileMatches = m_file.seek(m_size - tailSize(target.format)) && m_file.write(bytes) == bytes.size();
    m_size += piece.size();
    if (!m_fileMatches)
        m_file.close();
    return m_fileMatches;
}

bool LogFileWriter::openForAppend(const QString &fileName)
{
    if (m_file.isOpen() && m_file.fileName() == fileName)
        return true;
    m_file.close();
    m_file.setFileName(fileName);
    return m_file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered);
}

bool LogFileWriter::rewrite(const LogTarget &target)
{
    m_file.close(); // the file is put in place anew: appends go to the new one
    const QByteArray bytes = writtenContent(target.format);
    m_fileMatches = LogFiles::writeFile(target.fileName, bytes);
    m_format = target.format;
    m_size = bytes.size();
    return m_fileMatches;
}

QByteArray LogFileWriter::writtenContent(LogFormat format)
{
    takeWindow();
    if (format == LogFormat::Rtf) {
        m_rtf = RtfWriter(RtfWriter::extraColours(m_written));
        return m_rtf.write(m_written) + lineEnd;
    }
    QString text;
    for (const LogRun &run : m_written)
        text += run.text;
    return textBytes(text) + lineEnd;
}

void LogFileWriter::report(bool written, const QString &fileName)
{
    if (written) {
        m_failing = false;
        return;
    }
    if (!m_failing)
        emit writeFailed(failureText(fileName));
    m_failing = true;
}
