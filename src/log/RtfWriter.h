#pragma once

#include "LogRun.h"

#include <QByteArray>
#include <QList>
#include <QRgb>

// Writes coloured runs as an RTF document. The output depends only on the runs, not on how
// they were cut, so a document written piece by piece (header, runs one at a time, footer)
// is byte for byte the document written at once: the log file is grown that way.
class RtfWriter
{
public:
    // The colour table holds the log's four colours, then the extra ones in this order.
    explicit RtfWriter(const QList<QRgb> &extraColours = {});

    // The colours of the runs that are not among the log's own, in order of first use.
    static QList<QRgb> extraColours(const LogRuns &runs);
    // The whole document for the runs, without a trailing line end.
    static QByteArray document(const LogRuns &runs);

    bool hasColour(const QColor &colour) const;
    QByteArray header() const;
    // The body of one run; it remembers the current colour for the next run.
    QByteArray run(const QString &text, const QColor &colour);
    // header() + every run + footer(), continuing from this writer's state.
    QByteArray write(const LogRuns &runs);
    static QByteArray footer() { return QByteArrayLiteral("}"); }

private:
    int colourIndex(QRgb rgb) const;
    static void appendEscaped(QByteArray &out, const QString &text);

    QList<QRgb> m_table;
    int m_current = -1;
};
