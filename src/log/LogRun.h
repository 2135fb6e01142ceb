#pragma once

#include <QColor>
#include <QList>
#include <QString>

// One piece of the session log in one colour. Line ends inside the text are always "\n";
// the plain text and RTF views turn them into CR LF and \par.
struct LogRun
{
    QString text;
    QColor colour;

    friend bool operator==(const LogRun &a, const LogRun &b)
    {
        return a.text == b.text && a.colour.rgb() == b.colour.rgb();
    }
};

using LogRuns = QList<LogRun>;

// The format of the log file: the values the settings record uses.
enum class LogFormat { Text = 0, Rtf = 1 };

inline LogFormat logFormatFromSetting(qint16 value)
{
    return value == 1 ? LogFormat::Rtf : LogFormat::Text;
}

// The colours of the log.
namespace LogColours {
inline QColor black()
{
    return QColor(0, 0, 0);
}
inline QColor darkBlue()
{
    return QColor(0, 0, 64);
}
inline QColor darkGreen()
{
    return QColor(0, 64, 0);
}
inline QColor red()
{
    return QColor(255, 0, 0);
}
} // namespace LogColours
