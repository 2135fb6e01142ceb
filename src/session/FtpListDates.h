#pragma once

#include <QByteArray>
#include <QDateTime>

// Pieces of listing dates shared by the line parsers.
namespace FtpListDates {

// 1..12 for a month's name, abbreviated or whole, in English and the other languages servers
// list in ("Mär", "Juli,", "févr.", "márc", "мар", "3月" in UTF-8 and in the legacy CJK
// encodings); 0 for anything else. Upper and lower case alike.
int monthOf(const QByteArray &word);

// The day of a date: "17", "17.", "04," or "17日"; 0 when the word is none.
int dayOf(const QByteArray &word);

// A clock time "10:05" ("24:00" is the end of the day), or a year "2023".
struct Clock
{
    QTime time;
    int year = 0;
    bool endOfDay = false;
};
bool readClock(const QByteArray &word, Clock &clock);

// A date in one word: "2023-07-08", "2004.07.15", "2004/07/15", "24-04-2003", "15.07.2004",
// "01-jun-99", "02/23/00" (month first) and "23.02.00" (day first). Invalid for anything else.
QDate numericDate(const QByteArray &word);

// "09-26": month and day without a year.
bool monthDay(const QByteArray &word, int &month, int &day);

// The date of a UNIX listing: a date given with a time and no year lies within the past year, or
// at most a day ahead (time zones). Invalid when there is no such day.
QDateTime unixDate(int month, int day, const Clock &clock, const QDateTime &now);

// Digits only, at most 18 of them, so the value always fits.
bool isNumber(const QByteArray &word);

} // namespace FtpListDates
