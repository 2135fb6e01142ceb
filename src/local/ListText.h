#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QFont;

// How sizes and dates read in the file lists and the queue.
namespace ListText {

// Digits in groups of three separated by blanks, no leading blanks: "1 234 567"; 0 is "0".
QString sizeText(qint64 bytes);
// D/M/YYYY H:MM:SS in local time, no leading zero on day, month and hour; "-" when unknown.
QString dateText(const QDateTime &time);
// The time a dateText reads; invalid for "-".
QDateTime dateOf(const QString &text);
// The lines of a name in a text area of `width` pixels, at most maxLines: wrapped between words
// where it can; a name that needs more room is shortened in the middle, so names that differ at
// their ends still look different.
QStringList nameLines(const QString &name, const QFont &font, int width, int maxLines);

} // namespace ListText
