#include "FtpListDates.h"

#include <QHash>

#include <algorithm>

namespace FtpListDates {

namespace {

QHash<QByteArray, int> monthNames()
{
    // Lower case; UTF-8 as ls writes them today, and the Latin-1 forms older servers send. Whole
    // names too: some servers write "Juli" or "janvier".
    static const char *const names[12] = {
        "jan janv jän j\xe4n ene gen sty led янв january januar janvier enero tammi oca",
        "feb févr fév f\xe9vr f\xe9v fev lut úno фев febr february februar février f\xe9vrier febrero helmi "
        "şub",
        "mar mär m\xe4r mrz mars mrt bře мар márc m\xe1rc march märz m\xe4rz marzo maalis",
        "apr avr abr kwi dub апр ápr \xe1pr april avril abril huhti nis",
        "may mai mag mei maj kvě май мая máj m\xe1j mayo touko",
        "jun juin giu cze čer июн jún j\xfan june juni junio kesä kes\xe4 haz",
        "jul juil lug lip čec июл júl j\xfal july juli juillet julio heinä hein\xe4 tem",
        "aug août ao\xfbt ago sie srp авг august agosto elo ağu",
        "sep sept set wrz zář сен szept september septembre septiembre syys eyl",
        "oct okt ott out paź říj окт october oktober octobre octubre loka eki",
        "nov lis ноя november novembre noviembre marras kas",
        "dec déc d\xe9\x63 dic dez des gru pro дек december dezember décembre d\xe9\x63\x65mbre diciembre joulu "
        "ara",
    };
    QHash<QByteArray, int> months;
    for (int m = 0; m < 12; ++m) {
        for (const QByteArray &name : QByteArray(names[m]).split(' '))
            months.insert(name, m + 1);
    }
    return months;
}

// The marks after a numbered month ("3月", "3월") and day ("14日", "14일"), as UTF-8, Shift-JIS,
// EUC-JP, GBK and Big5 (月 and 日), and EUC-KR (월 and 일) send them.
const char *const kMonthMarks[] = {"\xe6\x9c\x88", "\xec\x9b\x94", "\x8c\x8e", "\xb7\xee", "\xd4\xc2", "\xa4\xeb",
                                   "\xbf\xf9"};
const char *const kDayMarks[] = {"\xe6\x97\xa5", "\xec\x9d\xbc", "\x93\xfa", "\xc6\xfc", "\xc8\xd5", "\xa4\xe9",
                                 "\xc0\xcf"};

// The number before one of the marks, within 1..limit; 0 when the word is no such number.
template<size_t N>
int numberBefore(const QByteArray &word, const char *const (&marks)[N], int limit)
{
    for (const char *mark : marks) {
        if (!word.endsWith(mark))
            continue;
        const QByteArray digits = word.chopped(qsizetype(qstrlen(mark)));
        if (digits.size() > 2 || !isNumber(digits))
            return 0;
        const int value = digits.toInt();
        return value >= 1 && value <= limit ? value : 0;
    }
    return 0;
}

int twoOrFourDigitYear(const QByteArray &word)
{
    if (!isNumber(word) || (word.size() != 2 && word.size() != 4))
        return 0;
    const int year = word.toInt();
    return word.size() == 4 ? year : year + (year < 70 ? 2000 : 1900);
}

} // namespace

bool isNumber(const QByteArray &word)
{
    return !word.isEmpty() && word.size() <= 18 &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int monthOf(const QByteArray &word)
{
    if (word.size() < 3 || word.size() > 13)
        return 0;
    if (word[0] >= '0' && word[0] <= '9')
        return numberBefore(word, kMonthMarks, 12);
    static const QHash<QByteArray, int> months = monthNames();
    QByteArray key = word.endsWith(',') ? word.chopped(1) : word;
    if (key.endsWith('.'))
        key.chop(1);
    return months.value(key.toLower(), 0);
}

int dayOf(const QByteArray &word)
{
    if (word.size() > 2 && !word.endsWith('.') && !word.endsWith(','))
        return numberBefore(word, kDayMarks, 31);
    const QByteArray digits = word.endsWith('.') || word.endsWith(',') ? word.chopped(1) : word;
    if (digits.size() > 2 || !isNumber(digits))
        return 0;
    const int day = digits.toInt();
    return day >= 1 && day <= 31 ? day : 0;
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

QDate numericDate(const QByteArray &word)
{
    if (word.size() < 8 || word.size() > 11)
        return {};
    const QByteArray trimmed = word.endsWith('.') ? word.chopped(1) : word; // "2004.07.15."
    char separator = 0;
    for (const char c : {'-', '.', '/'})
        if (trimmed.count(c) == 2)
            separator = c;
    const QList<QByteArray> parts = separator ? trimmed.split(separator) : QList<QByteArray>();
    if (parts.size() != 3 || parts[1].isEmpty() || parts[1].size() > 3)
        return {};
    if (parts[0].size() == 4) // year first, whatever the separator
        return isNumber(parts[0]) && isNumber(parts[1]) && isNumber(parts[2]) && parts[2].size() <= 2
                   ? QDate(parts[0].toInt(), parts[1].toInt(), parts[2].toInt())
                   : QDate();
    const int year = twoOrFourDigitYear(parts[2]);
    if (!year || parts[0].size() > 2 || !isNumber(parts[0]))
        return {};
    const int first = parts[0].toInt();
    if (const int month = monthOf(parts[1]); month && !isNumber(parts[1]))
        return QDate(year, month, first);
    if (!isNumber(parts[1]))
        return {};
    const int second = parts[1].toInt();
    // "/" is written month first; "." and "-" with a whole year, day first, unless only the
    // other order is a date.
    bool monthFirst = separator == '/' || (separator == '-' && parts[2].size() == 2);
    if (monthFirst ? first > 12 && second <= 12 : second > 12 && first <= 12)
        monthFirst = !monthFirst;
    return monthFirst ? QDate(year, first, second) : QDate(year, second, first);
}

bool monthDay(const QByteArray &word, int &month, int &day)
{
    if (word.size() != 5 || word[2] != '-' || !isNumber(word.left(2)) || !isNumber(word.mid(3)))
        return false;
    month = word.left(2).toInt();
    day = word.mid(3).toInt();
    return month >= 1 && month <= 12 && day >= 1 && day <= 31;
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
