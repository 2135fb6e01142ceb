#pragma once

#include <QList>
#include <QString>

// The text helpers of find and replace. Every comparison is exact (case-sensitive). They give
// the results of the classic loops that search again from the start after each change (so
// occurrences formed by a replacement, or joined by a removal, count too), in linear time.
// They never hang: an empty search text finds nothing, and a replacement that would go on for
// ever (one that contains the search text, or one that forms a new occurrence each time, past
// a fixed amount of work) replaces each occurrence of the original text once, left to right.
namespace stringFunctions {

// The text with every occurrence replaced, again and again from the start until none is left.
QString ReplaceAll(const QString &search, const QString &replacement, const QString &text);
// The text with its first occurrence replaced; the text unchanged if there is none.
QString ReplaceFirst(const QString &search, const QString &replacement, const QString &text);
// How often removing the first occurrence can be repeated until none is left.
qsizetype CountOccurrences(const QString &search, const QString &text);
// The 1-based position of the n-th occurrence as found by removing occurrences one after the
// other: the position in the remaining text plus the length of everything removed before it.
// 0 when n is 0 or there are fewer than n occurrences.
qsizetype PositionOfOccurrence(const QString &search, qsizetype n, const QString &text);

struct Replaced
{
    QString text;
    qsizetype replacements = 0; // replacements made
    bool singlePass = false;    // the repeated replacement would not end: each original occurrence once
    // When every replacement took an occurrence of the original text (none was formed by an
    // earlier replacement), their 0-based starts in it, in order; otherwise empty.
    QList<qsizetype> starts;
};
// A replacement no shorter than the search text may form a new occurrence every time; past
// `maxWork` characters read back from replacements (about half a second by default) such
// a loop is taken to be endless, like one found to repeat itself.
constexpr qint64 MaxReplacementWork = qint64(1) << 25;
Replaced replaceAllCounted(const QString &search, const QString &replacement, const QString &text,
                           qint64 maxWork = MaxReplacementWork);

} // namespace stringFunctions
