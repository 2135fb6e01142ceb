#include "FtpListDates.h"

#include <QHash>

#include <algorithm>

namespace FtpListDates {

namespace {

QHash<QByteArray, int> monthNames()
{
    // Lower case; UTF-8 as ls writes them today, and the Latin-1 forms older servers send.
    static const char *const names[12] = {
        "jan janv jän j\xe4n ene gen sty led янв",
        "feb févr fév f\xe9vr f\xe9v fev lut úno фев",
        "mar mär m\xe4r mrz mars mrt bře мар",
        "apr avr abr kwi dub апр",
        "may mai mag mei maj kvě май мая",
        "jun juin giu cze čer июн",
        "jul juil lug lip čec июл",
        "aug août ao\xfbt ago sie srp авг",
        "sep sept set wrz zář сен",
        "oct okt ott out paź říj окт",
        "nov lis ноя",
        "dec déc d\xe9\x63 dic dez des gru pro дек",
    };
    QHash<QByteArray, int> months;
    for (int m = 0; m < 12; ++m) {
        for (const QByteArray &name : QByteArray(names[m]).split(' '))
            months.insert(name, m + 1);
    }
    return months;
}

// "3月" (Chinese, Japanese) and "3월" (Korean).
int numberedMonth(const QByteArray &word)
{
    for (const char *suffix : {"\xe6\x9c\x88", "\xec\x9b\x94"}) {
        if (word.endsWith(suffix)) {
            const QByteArray digits = word.chopped(3);
            if (digits.size() > 2 || !isNumber(digits))
                return 0;
            const int month = digits.toInt();
            return month >= 1 && month <= 12 ? month : 0;
        }
    }
    return 0;
}

} // namespace

bool isNumber(const QByteArray &word)
{
    return !word.isEmpty() && word.size() <= 18 &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int monthOf(const QByteArray &word)
{
    if (word.size() < 3 || word.size() > 9)
        return 0;
    if (word[0] >= '0' && word[0] <= '9')
        return numberedMonth(word);
    static const QHash<QByteArray, int> months = monthNames();
    const QByteArray key = (word.endsWith('.') ? word.chopped(1) : word).toLower();
    return months.value(key, 0);
}

bool readClock(const QByteArray &word, Clock &clock)
{
    clock = Clock{};
    if (word.size() == 4 && isNumber(word)) {
        clock.year = word.toInt();
        return true;
    }
    const qsizetype colon = word.indexOf(':');
    if (colon < 1 || !isNumber(word.left(colon)) || !isNumber(word.mid(colon + 1)))
        return false;
    if (word == "24:00") {
        clock.time = QTime(0, 0);
        clock.endOfDay = true;
        return true;
    }
    clock.time = QTime(word.left(colon).toInt(), word.mid(colon + 1).toInt());
    return clock.time.isValid();
}

QDateTime unixDate(int month, int day, const Clock &clock, const QDateTime &now)
{
    int year = clock.year;
    if (year == 0) {
        year = now.date().year();
        if (QDate(year, month, day) > now.date().addDays(1))
            --year;
    }
    QDate date(year, month, day);
    if (!date.isValid())
        return {};
    if (clock.endOfDay)
        date = date.addDays(1);
    return QDateTime(date, clock.time.isValid() ? clock.time : QTime(0, 0));
}

} // namespace FtpListDates
