#include "FindReplace.h"

#include "stringFunctions.h"

namespace FindReplace {

namespace {

constexpr int MaxCounter = 32767; // the counter is a 16-bit number

Found select(const QString &find, qsizetype position, int counter)
{
    return {true, position - 1, find.size(), counter, {}};
}

// The occurrences of `find` in the old text, left to right and apart, when replacing each of
// them once gives `result`; none otherwise.
Spans spansOf(const QString &find, const QString &replacement, const QString &text, const QString &result)
{
    Spans spans{{}, find.size(), replacement};
    QString once;
    once.reserve(result.size());
    qsizetype from = 0;
    for (qsizetype at = text.indexOf(find); at >= 0; at = text.indexOf(find, from)) {
        spans.starts.append(at);
        once.append(QStringView(text).mid(from, at - from)).append(replacement);
        from = at + find.size();
        if (once.size() > result.size())
            return {};
    }
    once.append(QStringView(text).mid(from));
    if (once != result)
        return {};
    return spans;
}

} // namespace

Found search(const QString &find, const QString &text, int counter)
{
    const qsizetype at = stringFunctions::PositionOfOccurrence(find, 1, text);
    if (at == 0)
        return {false, 0, 0, counter, NotFound};
    return select(find, at, 1);
}

Found findNext(const QString &find, const QString &text, int counter, bool up)
{
    if (find.isEmpty() || !text.contains(find))
        return {false, 0, 0, counter, NotFound};
    const int k = counter + (up ? -1 : 1);
    const qsizetype at = k >= 1 && k <= MaxCounter ? stringFunctions::PositionOfOccurrence(find, k, text) : 0;
    if (at == 0)
        return {false, 0, 0, counter, NoMore};
    return select(find, at, k);
}

Replaced replace(const QString &find, const QString &replacement, const QString &text)
{
    if (stringFunctions::CountOccurrences(find, text) < 1)
        return {false, text, NotFound, {}};
    return {true, stringFunctions::ReplaceFirst(find, replacement, text),
            QStringLiteral("The text has been replaced one time."),
            {{text.indexOf(find)}, find.size(), replacement}};
}

Replaced replaceAll(const QString &find, const QString &replacement, const QString &text, qint64 maxWork)
{
    const qsizetype n = stringFunctions::CountOccurrences(find, text);
    if (n < 1)
        return {false, text, NotFound, {}};
    stringFunctions::Replaced r = stringFunctions::replaceAllCounted(find, replacement, text, maxWork);
    // When the replacement went once over the original occurrences, those are what was replaced.
    const qsizetype reported = r.singlePass ? r.replacements : n;
    Spans spans = !r.starts.isEmpty() ? Spans{std::move(r.starts), find.size(), replacement}
                                      : spansOf(find, replacement, text, r.text);
    return {true, std::move(r.text),
            QStringLiteral("The text has been replaced. %1 occurences were found.").arg(reported), std::move(spans)};
}

} // namespace FindReplace
