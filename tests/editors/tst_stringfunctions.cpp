// The text helpers of find and replace against a direct transcription of the classic loops,
// the find and replace commands, and the text encodings of the editor.
#include "FindReplace.h"
#include "TextEncoding.h"
#include "stringFunctions.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <optional>

using namespace stringFunctions;

// Work enough for every loop of the random tables that ends before the classic loops give up.
constexpr qint64 QuickWork = 1 << 20;

namespace Classic {

// The loops as written: search from the start after every change. nullopt when they run on.
std::optional<QString> replaceAll(const QString &s, const QString &r, QString t)
{
    for (int steps = 0; t.contains(s); ++steps) {
        if (steps > 2000 || t.size() > 20000)
            return std::nullopt;
        t.replace(t.indexOf(s), s.size(), r);
    }
    return t;
}

qsizetype count(const QString &s, QString t)
{
    qsizetype n = 0;
    for (; t.contains(s); ++n)
        t.remove(t.indexOf(s), s.size());
    return n;
}

qsizetype position(const QString &s, qsizetype n, QString t)
{
    qsizetype result = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype p = t.indexOf(s) + 1; // 1-based, 0 when absent
        result = p > 0 ? p + i * s.size() : 0;
        if (p > 0)
            t.remove(p - 1, s.size());
    }
    return result;
}

} // namespace Classic

class TestStringFunctions : public QObject
{
    Q_OBJECT

    static QString randomWord(QRandomGenerator &random, int minLength, int maxLength)
    {
        QString w;
        const int n = random.bounded(minLength, maxLength + 1);
        for (int i = 0; i < n; ++i)
            w += random.bounded(2) ? QLatin1Char('a') : QLatin1Char('b');
        return w;
    }

private slots:
    // Many random short texts over two letters: every helper gives the classic loops' result, and
    // the spans a replacement reports give its text when each is replaced. Spans are there whenever
    // replacing the original occurrences once is the result (the editor then edits only them); a
    // replacement that formed new occurrences reports none.
    void equalToTheClassicLoops()
    {
        const auto applied = [](const QString &t, const FindReplace::Spans &spans) {
            QString out;
            qsizetype from = 0;
            for (const qsizetype start : spans.starts) {
                if (start < from)
                    return QStringLiteral("<spans out of order>");
                out += t.mid(from, start - from) + spans.replacement;
                from = start + spans.length;
            }
            return out + t.mid(from);
        };
        QRandomGenerator random(20261206);
        int compared = 0, withSpans = 0;
        for (int round = 0; round < 20000; ++round) {
            const QString s = randomWord(random, 1, 3), r = randomWord(random, 0, 4), t = randomWord(random, 0, 12);
            const QString where = QStringLiteral("s=%1 r=%2 t=%3").arg(s, r, t);
            const qsizetype n = Classic::count(s, t);
            QVERIFY2(CountOccurrences(s, t) == n, qPrintable(where));
            for (qsizetype k = 0; k <= n + 1; ++k)
                QVERIFY2(PositionOfOccurrence(s, k, t) == Classic::position(s, k, t), qPrintable(where));
            QVERIFY2(ReplaceFirst(s, r, t) == (t.contains(s) ? QString(t).replace(t.indexOf(s), s.size(), r) : t),
                     qPrintable(where));
            const Replaced ours = replaceAllCounted(s, r, t, QuickWork);
            const std::optional<QString> classic = r.contains(s) ? std::nullopt : Classic::replaceAll(s, r, t);
            if (classic) {
                ++compared;
                QVERIFY2(!ours.singlePass && ours.text == *classic, qPrintable(where + " gave " + ours.text));
            } else if (ours.singlePass) {
                QVERIFY2(ours.text == QString(t).replace(s, r), qPrintable(where));
            }
            for (const FindReplace::Replaced &done :
                 {FindReplace::replace(s, r, t), FindReplace::replaceAll(s, r, t, QuickWork)}) {
                if (!done.changed)
                    continue;
                if (done.spans.starts.isEmpty()) {
                    QVERIFY2(done.text != QString(t).replace(s, r), qPrintable(where));
                    continue;
                }
                ++withSpans;
                QVERIFY2(done.spans.length == s.size() && done.spans.replacement == r, qPrintable(where));
                QVERIFY2(applied(t, done.spans) == done.text, qPrintable(where));
            }
        }
        QVERIFY(compared > 5000 && withSpans > 10000);
        QCOMPARE(FindReplace::replaceAll("a", "b", "banana").spans.starts, (QList<qsizetype>{1, 3, 5}));
        QVERIFY(FindReplace::replaceAll("ab", "a", "abb").spans.starts.isEmpty());
        QCOMPARE(FindReplace::replace("na", "", "banana").spans.starts, QList<qsizetype>{2});
    }

    // Nothing hangs: an empty search text finds nothing; replacements that would go on for ever
    // replace each original occurrence once, and the message counts those.
    void neverHangs()
    {
        QCOMPARE(CountOccurrences("", "abc"), 0);
        QCOMPARE(PositionOfOccurrence("", 1, "abc"), 0);
        QCOMPARE(ReplaceAll("", "x", "abc"), QString("abc"));
        QCOMPARE(ReplaceFirst("", "x", "abc"), QString("abc"));
        const auto once = [](const Replaced &r) { return r.singlePass ? r.text : "<repeated> " + r.text; };
        QCOMPARE(once(replaceAllCounted("a", "aa", "aXa")), QString("aaXaa"));
        QCOMPARE(FindReplace::replaceAll("a", "aa", "aXa").message,
                 QString("The text has been replaced. 2 occurences were found."));
        // ab -> baa doubles the a's each time a b passes them: 2^30 of them would be the end.
        QCOMPARE(once(replaceAllCounted("ab", "baa", "a" + QString("b").repeated(30))),
                 "baa" + QString("b").repeated(29));
        // Each replacement forms the next occurrence for ever (aaba, abaab, ababab, ...): found to
        // repeat itself long before the work limit.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(once(replaceAllCounted("aba", "baab", "aaba", qint64(1) << 27)), QString("abaab"));
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        // One that ends only after a million steps (a to the front of each b, a thousand times over)
        // is carried out to the end, as replacing from the start again and again would.
        const FindReplace::Replaced slow =
            FindReplace::replaceAll("ab", "ba", QString("a").repeated(1000) + QString("b").repeated(1000));
        QCOMPARE(slow.text, QString("b").repeated(1000) + QString("a").repeated(1000));
        QCOMPARE(slow.message, QString("The text has been replaced. 1000 occurences were found."));
        for (const QString &empty : {QString(), QString("")}) {
            QCOMPARE(FindReplace::search(empty, "abc", 0).message, FindReplace::NotFound);
            QCOMPARE(FindReplace::findNext(empty, "abc", 0, false).message, FindReplace::NotFound);
            QCOMPARE(FindReplace::replace(empty, "x", "abc").message, FindReplace::NotFound);
            QCOMPARE(FindReplace::replaceAll(empty, "x", "abc").message, FindReplace::NotFound);
        }
    }

    // The helpers take time in proportion to the text, not to the text times the occurrences.
    void largeTextsTakeLinearTime()
    {
        const QString text =
            QString("ab").repeated(1'000'000) + QString("a").repeated(500'000) + QString("b").repeated(500'000);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(CountOccurrences("ab", text), 1'500'000);
        QCOMPARE(ReplaceAll("ab", "", text), QString());
        QCOMPARE(ReplaceAll("b", "c", text).count('c'), 1'500'000);
        // A replacement holding the search text goes once over the occurrences, also linearly.
        const Replaced doubled = replaceAllCounted("b", "bb", text);
        QVERIFY(doubled.singlePass && doubled.text.size() == text.size() + 1'500'000 &&
                doubled.starts.size() == 1'500'000);
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    }

    void findAndReplaceCommands()
    {
        using namespace FindReplace;
        const auto found = [](const Found &f) {
            return (f.found ? QString("at %1+%2").arg(f.start).arg(f.length) : f.message) +
                   QString(" #%1").arg(f.counter);
        };
        // The random texts above are of two lower-case letters: the search is case-sensitive.
        QCOMPARE(CountOccurrences("Text", "some text"), 0);
        QCOMPARE(PositionOfOccurrence("Text", 1, "text Text"), 6);
        const QString text = "one two one two one";
        QCOMPARE(found(search("one", text, 5)), QString("at 0+3 #1"));
        QCOMPARE(found(findNext("one", text, 1, false)), QString("at 8+3 #2"));
        QCOMPARE(found(findNext("one", text, 1, true)), NoMore + " #1");
        QCOMPARE(found(findNext("one", text, 0, false)), QString("at 0+3 #1")); // no Search before: the first
        QCOMPARE(findNext("one", text, 3, false).message, NoMore);
        QCOMPARE(findNext("One", text, 0, false).message, NotFound);
        QCOMPARE(findNext("one", text, 32767, false).message, NoMore);

        const auto replaced = [](const FindReplace::Replaced &r) {
            return (r.changed ? r.text + " | " : QString()) + r.message;
        };
        QCOMPARE(replaced(replace("two", "2", text)),
                 QString("one 2 one two one | The text has been replaced one time."));
        QCOMPARE(replaced(replaceAll("a", "b", "banana")),
                 QString("bbnbnb | The text has been replaced. 3 occurences were found."));
        QCOMPARE(replaced(replaceAll("ab", "a", "abb")),
                 QString("a | The text has been replaced. 1 occurences were found."));
        QCOMPARE(replaced(replaceAll("x", "y", "banana")), NotFound);
    }

    void encodingsRoundTrip()
    {
        using namespace TextEncoding;
        Encoding e;
        const QByteArray utf8 = "\xEF\xBB\xBF"
                                "caf\xC3\xA9 \xE2\x82\xAC\n";
        QCOMPARE(decode(utf8, e), QChar(0xFEFF) + QString::fromUtf8(utf8.mid(3)));
        QCOMPARE(e, Encoding::Utf8);
        QByteArray out;
        QVERIFY(encode(decode(utf8, e), e, out));
        QCOMPARE(out, utf8); // the byte order mark too

        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString text = decode(all, e);
        QCOMPARE(e, Encoding::Windows1252);
        QCOMPARE(text.mid(0x80, 2) + text[0xE9], u"\u20AC\u0081\u00E9"_qs);
        QVERIFY(encode(text, e, out));
        QCOMPARE(out, all);
        QChar bad;
        QVERIFY(!encode("pi is \u03C0", Encoding::Windows1252, out, &bad));
        QCOMPARE(bad, QChar(0x03C0));
        // Decided on the whole file: a last byte that could begin a UTF-8 sequence makes it Windows-1252.
        for (const QByteArray &ending : {QByteArray("caf\xE9"), QByteArray("Stra\xDF"), QByteArray("caf\xC3")}) {
            QCOMPARE(decode(ending, e), QString::fromLatin1(ending));
            QCOMPARE(e, Encoding::Windows1252);
        }
    }
};

QTEST_GUILESS_MAIN(TestStringFunctions)
#include "tst_stringfunctions.moc"
