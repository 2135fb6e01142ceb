#pragma once

#include <QDateTime>
#include <QString>

// How sizes and dates read in the file lists and the queue.
namespace ListText {

// Digits in groups of three separated by blanks, no leading blanks: "1 234 567"; 0 is "0".
QString sizeText(qint64 bytes);
// D/M/YYYY H:MM:SS in local time, no leading zero on day, month and hour; "-" when unknown.
QString dateText(const QDateTime &time);

} // namespace ListText
