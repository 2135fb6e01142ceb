// One scan instead of a search from the start after every change: the text done so far never
// holds an occurrence, so after a removal the classic loop's next search can only find one that
// ends in what follows, which is the replacement and then the rest of the text. A matcher
// (Knuth-Morris-Pratt) carries the part of the search text that is pending across them.
#include "stringFunctions.h"

#include <limits>
#include <vector>

namespace stringFunctions {

namespace {

// Knuth-Morris-Pratt: the longest proper border of each prefix of the search text.
std::vector<qsizetype> borders(const QString &s)
{
    std::vector<qsizetype> b(size_t(s.size()) + 1, 0);
    qsizetype k = 0;
    for (qsizetype i = 1; i < s.size(); ++i) {
        while (k > 0 && s[i] != s[k])
            k = b[size_t(k)];
        if (s[i] == s[k])
            ++k;
        b[size_t(i) + 1] = k;
    }
    return b;
}

// The matched length at the end of `out`: the longest suffix of it that begins the search
// text. It is shorter than the search text, so the last |s| - 1 characters decide it.
qsizetype stateAt(const QString &s, const std::vector<qsizetype> &border, QStringView out)
{
    const QStringView tail = out.last(std::min(out.size(), s.size() - 1));
    qsizetype k = 0;
    for (QChar c : tail) {
        while (k > 0 && c != s[k])
            k = border[size_t(k)];
        if (c == s[k])
            ++k;
    }
    return k;
}

struct Scan
{
    QString text;            // what is left, with the replacements in
    qsizetype matches = 0;   // occurrences removed (and replaced)
    qsizetype lastStart = 0; // 1-based start of the last one in the text as it was then
    bool overBudget = false;
    // Every removal so far took an occurrence found whole in the original text with nothing
    // pending before it: at `starts`, as a single left-to-right pass would.
    bool plain = true;
    QList<qsizetype> starts;
};

// Removes the first occurrence again and again (putting the replacement in its place) until
// none is left, `stopAfter` are removed, or `budget` characters have been looked at. The text
// done so far never holds an occurrence; after a removal the replacement is read in ahead of
// the rest. Where nothing of the search text is pending, the next occurrence in the rest of the
// original text is found by a plain search and the text up to it is taken over whole.
Scan scan(const QString &s, const QString &r, const QString &t, qsizetype stopAfter, qint64 budget)
{
    const qsizetype m = s.size();
    const std::vector<qsizetype> border = borders(s);
    Scan result;
    QString &out = result.text;
    out.reserve(t.size());
    qsizetype k = 0;            // matched length at the end of out, always below m
    qsizetype pos = 0;          // next character of the original text
    std::vector<qsizetype> fed; // read positions inside replacements fed back in, innermost last
    qint64 work = 0;
    auto removed = [&] {
        ++result.matches;
        result.lastStart = out.size() + 1;
        k = stateAt(s, border, out);
        if (!r.isEmpty())
            fed.push_back(0);
        return result.matches == stopAfter;
    };
    while (true) {
        QChar c;
        if (!fed.empty()) {
            if (fed.back() == r.size()) {
                fed.pop_back();
                continue;
            }
            c = r[fed.back()++];
        } else if (pos < t.size()) {
            if (k == 0) {
                // Nothing pending: an occurrence can only begin in the rest of the original text.
                const qsizetype next = t.indexOf(s, pos);
                const qsizetype end = next < 0 ? t.size() : next;
                work += end - pos + m;
                out.append(QStringView(t).mid(pos, end - pos));
                pos = next < 0 ? t.size() : next + m;
                if (next < 0) {
                    k = stateAt(s, border, out);
                    continue;
                }
                if (work > budget) {
                    result.overBudget = true;
                    return result;
                }
                if (result.plain)
                    result.starts.append(next);
                if (removed())
                    return result;
                continue;
            }
            c = t[pos++];
        } else {
            break;
        }
        if (++work > budget) {
            result.overBudget = true;
            return result;
        }
        while (k > 0 && c != s[k])
            k = border[size_t(k)];
        if (c == s[k])
            ++k;
        out.append(c);
        if (k == m) {
            out.chop(m);
            result.plain = false;
            result.starts.clear();
            if (removed())
                return result;
        }
    }
    return result;
}

} // namespace

qsizetype CountOccurrences(const QString &search, const QString &text)
{
    if (search.isEmpty())
        return 0;
    return scan(search, QString(), text, -1, std::numeric_limits<qint64>::max()).matches;
}

qsizetype PositionOfOccurrence(const QString &search, qsizetype n, const QString &text)
{
    if (search.isEmpty() || n <= 0)
        return 0;
    const Scan found = scan(search, QString(), text, n, std::numeric_limits<qint64>::max());
    // The place in the remaining text, plus what the earlier removals took out before it.
    return found.matches == n ? found.lastStart + (n - 1) * search.size() : 0;
}

QString ReplaceFirst(const QString &search, const QString &replacement, const QString &text)
{
    const qsizetype at = search.isEmpty() ? -1 : text.indexOf(search);
    if (at < 0)
        return text;
    QString out = text;
    out.replace(at, search.size(), replacement);
    return out;
}

Replaced replaceAllCounted(const QString &search, const QString &replacement, const QString &text)
{
    if (search.isEmpty())
        return {text, 0, false, {}};
    // Each occurrence of the original text once, left to right; written out in one go, as a
    // replacement in place would move the rest of a long text at every occurrence.
    auto singlePass = [&] {
        Replaced r{QString(), 0, true, {}};
        r.text.reserve(text.size());
        qsizetype from = 0;
        for (qsizetype at = text.indexOf(search); at >= 0; at = text.indexOf(search, from)) {
            r.text.append(QStringView(text).mid(from, at - from)).append(replacement);
            r.starts.append(at);
            from = at + search.size();
        }
        r.text.append(QStringView(text).mid(from));
        r.replacements = r.starts.size();
        return r;
    };
    if (replacement.contains(search))
        return singlePass();
    // Some replacements make new occurrences faster than they use them up; past this much work
    // the repeated replacement is taken to be endless.
    const qint64 budget = 16 * (qint64(text.size()) + replacement.size()) + 1'000'000;
    Scan done = scan(search, replacement, text, -1, budget);
    if (done.overBudget)
        return singlePass();
    Replaced r{std::move(done.text), done.matches, false, {}};
    if (done.plain)
        r.starts = std::move(done.starts);
    return r;
}

QString ReplaceAll(const QString &search, const QString &replacement, const QString &text)
{
    return replaceAllCounted(search, replacement, text).text;
}

} // namespace stringFunctions
