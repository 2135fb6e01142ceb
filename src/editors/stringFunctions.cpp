// One scan instead of a search from the start after every change: the text done so far never
// holds an occurrence, so after a removal the classic loop's next search can only find one that
// ends in what follows, which is the replacement and then the rest of the text. A matcher
// (Knuth-Morris-Pratt) carries the part of the search text that is pending across them.
#include "stringFunctions.h"

#include <algorithm>
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

// Spots a replacement loop that repeats itself for ever. A removal B repeats an earlier one A
// when, with the original text still at the same place, the matched length and the last m - 1
// characters are A's, nothing was removed below the text as it was at A, and the replacements
// fed back in that were read since A (the top of the stack, from the lowest one read) are at
// B's top as they were at A's. What follows B reads only these, as what followed A did, so it
// does the same again and again, each round adding the same characters and pending ones, or none.
class Repeats
{
public:
    explicit Repeats(qsizetype m) : m_window(m - 1) {}

    void chopped(qsizetype size) { m_lowest = std::min(m_lowest, size); }
    void readFrom(qsizetype frame) { m_lowFrame = std::min(m_lowFrame, frame); }

    bool seen(qsizetype matches, qsizetype pos, qsizetype k, const std::vector<qsizetype> &fed, QStringView out)
    {
        const QStringView tail = out.last(std::min(out.size(), m_window));
        const auto depth = qsizetype(m_fed.size());
        const qsizetype read = depth - std::min(m_lowFrame, depth); // A's frames read since A
        if (m_taken && pos == m_pos && k == m_k && m_lowest >= m_size && qsizetype(fed.size()) >= depth &&
            tail == m_tail && std::equal(m_fed.end() - read, m_fed.end(), fed.end() - read))
            return true;
        // Compared with the 1st, 2nd, 4th, 8th... removal, so that a round of any length is found.
        if ((matches & (matches - 1)) == 0) {
            m_taken = true;
            m_pos = pos;
            m_k = k;
            m_fed = fed;
            m_lowFrame = qsizetype(fed.size());
            m_size = m_lowest = out.size();
            m_tail = tail.toString();
        }
        return false;
    }

private:
    qsizetype m_window;
    bool m_taken = false;
    qsizetype m_pos = 0, m_k = 0, m_size = 0, m_lowest = 0, m_lowFrame = 0;
    std::vector<qsizetype> m_fed;
    QString m_tail;
};

struct Scan
{
    QString text;            // what is left, with the replacements in
    qsizetype matches = 0;   // occurrences removed (and replaced)
    qsizetype lastStart = 0; // 1-based start of the last one in the text as it was then
    bool overBudget = false; // stopped as endless: past the budget, or found to repeat itself
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
    Repeats repeats(m);
    auto removed = [&] {
        ++result.matches;
        result.lastStart = out.size() + 1;
        k = stateAt(s, border, out);
        if (!r.isEmpty()) {
            fed.push_back(0);
            result.overBudget = repeats.seen(result.matches, pos, k, fed, out);
        }
        return result.matches == stopAfter || result.overBudget;
    };
    while (true) {
        QChar c;
        if (!fed.empty()) {
            if (fed.back() == r.size()) {
                fed.pop_back();
                continue;
            }
            repeats.readFrom(qsizetype(fed.size()) - 1);
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
            repeats.chopped(out.size());
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

Replaced replaceAllCounted(const QString &search, const QString &replacement, const QString &text, qint64 maxWork)
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
    // A shorter replacement shortens the text every time, so the loop ends. A longer or equal one
    // may go on for ever, each replacement forming the next occurrence ("aba" by "baab"): one
    // that repeats itself is stopped when found; otherwise the limit is on the work beyond
    // reading the text (at most twice), whatever its length, so that a loop that ends within it,
    // however many replacements that takes, gives its own result.
    const qint64 budget = replacement.size() < search.size() ? std::numeric_limits<qint64>::max()
                                                             : 2 * qint64(text.size()) + maxWork;
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
