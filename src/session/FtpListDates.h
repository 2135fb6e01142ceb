#pragma once

#include <QByteArray>
#include <QDateTime>

// Pieces of listing dates shared by the line parsers.
namespace FtpListDates {

// 1..12 for a month's abbreviation in English and the other languages servers list in ("Mär",
// "févr.", "мар", "3月"); 0 for anything else. Upper and lower case alike.
int monthOf(const QByteArray &word);

// A clock time "10:05" ("24:00" is the end of the day), or a year "2023".
struct Clock
{
    QTime time;
    int year = 0;
    bool endOfDay = false;
};
bool readClock(const QByteArray &word, Clock &clock);

// The date of a UNIX listing: a date given with a time and no year lies within the past year, or
// at most a day ahead (time zones). Invalid when there is no such day.
QDateTime unixDate(int month, int day, const Clock &clock, const QDateTime &now);

// Digits only, at most 18 of them, so the value always fits.
bool isNumber(const QByteArray &word);

} // namespace FtpListDates
