// One scan with a stack: the text processed so far, which never holds an occurrence, is kept
// with the matcher's state after each character. When an occurrence is completed it is taken
// off the stack and the replacement is fed back in ahead of the rest of the text, which is
// exactly where the classic loop's next search from the start would find anything new.
#include "stringFunctions.h"

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

class Scanner
{
public:
    explicit Scanner(const QString &search) : m_s(search), m_border(borders(search)) {}

    // Pushes one character; true when it completes an occurrence, which is then popped.
    bool push(QChar c)
    {
        qsizetype k = m_state.empty() ? 0 : m_state.back();
        if (k == m_s.size())
            k = m_border[size_t(k)];
        while (k > 0 && c != m_s[k])
            k = m_border[size_t(k)];
        if (c == m_s[k])
            ++k;
        m_text.push_back(c);
        m_state.push_back(int(k));
        if (k < m_s.size())
            return false;
        m_text.resize(m_text.size() - size_t(m_s.size()));
        m_state.resize(m_state.size() - size_t(m_s.size()));
        return true;
    }

    qsizetype size() const { return qsizetype(m_text.size()); }
    QString text() const { return QString(m_text.data(), qsizetype(m_text.size())); }

private:
    const QString &m_s;
    std::vector<qsizetype> m_border;
    std::vector<QChar> m_text;
    std::vector<int> m_state; // matched length after each character
};

} // namespace

qsizetype CountOccurrences(const QString &search, const QString &text)
{
    if (search.isEmpty())
        return 0;
    Scanner scanner(search);
    qsizetype count = 0;
    for (QChar c : text)
        count += scanner.push(c);
    return count;
}

qsizetype PositionOfOccurrence(const QString &search, qsizetype n, const QString &text)
{
    if (search.isEmpty() || n <= 0)
        return 0;
    Scanner scanner(search);
    qsizetype found = 0;
    for (QChar c : text) {
        if (!scanner.push(c))
            continue;
        // The occurrence just removed began right after what is left on the stack.
        if (++found == n)
            return scanner.size() + 1 + (n - 1) * search.size();
    }
    return 0;
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
        return {text, 0, false};
    auto singlePass = [&] {
        Replaced r{text, 0, true};
        for (qsizetype at = r.text.indexOf(search); at >= 0; at = r.text.indexOf(search, at + replacement.size())) {
            r.text.replace(at, search.size(), replacement);
            ++r.replacements;
        }
        return r;
    };
    if (replacement.contains(search))
        return singlePass();
    // Some replacements make new occurrences faster than they use them up; past this much work
    // the repeated replacement is taken to be endless.
    const qint64 budget = 16 * (qint64(text.size()) + replacement.size()) + 1'000'000;
    qint64 work = 0;
    Scanner scanner(search);
    Replaced result;
    // Pending input: the rest of the text, and replacements fed back in ahead of it.
    std::vector<qsizetype> fed; // read positions inside the replacement, innermost last
    qsizetype next = 0;
    while (true) {
        QChar c;
        if (!fed.empty()) {
            if (fed.back() == replacement.size()) {
                fed.pop_back();
                continue;
            }
            c = replacement[fed.back()++];
        } else if (next < text.size()) {
            c = text[next++];
        } else {
            break;
        }
        if (++work > budget)
            return singlePass();
        if (scanner.push(c)) {
            ++result.replacements;
            fed.push_back(0);
        }
    }
    result.text = scanner.text();
    return result;
}

QString ReplaceAll(const QString &search, const QString &replacement, const QString &text)
{
    return replaceAllCounted(search, replacement, text).text;
}

} // namespace stringFunctions
