#pragma once

#include "stringFunctions.h"

#include <QList>
#include <QString>

// What the find and replace windows do with the editor's text; the windows only show the results.
namespace FindReplace {

const QString NotFound = QStringLiteral("The text you entered was not found.");
const QString NoMore = QStringLiteral("There are no more occurences this direction.");

struct Found
{
    bool found = false;
    qsizetype start = 0, length = 0; // the selection to make (0-based)
    int counter = 0;                 // the find window's occurrence counter afterwards
    QString message;                 // shown when nothing was found
};

// Search: the first occurrence; the counter becomes 1.
Found search(const QString &find, const QString &text, int counter);
// Find next: the occurrence one after (or before, going up) the counter's.
Found findNext(const QString &find, const QString &text, int counter, bool up);

// Spans of the old text, each `length` long, in order and apart, that the change replaces, each
// by the same text. Empty when the new text is not the old one with such spans replaced (a
// replacement that formed a new occurrence).
struct Spans
{
    QList<qsizetype> starts;
    qsizetype length = 0;
    QString replacement;
};

struct Replaced
{
    bool changed = false;
    QString text;
    QString message;
    Spans spans; // what changed, for an editor that edits in place
};

Replaced replace(const QString &find, const QString &replacement, const QString &text);
Replaced replaceAll(const QString &find, const QString &replacement, const QString &text,
                    qint64 maxWork = stringFunctions::MaxReplacementWork);

} // namespace FindReplace
