#include "TextBuffer.h"

#include <algorithm>

TextBuffer::TextBuffer() : m_lines{QString()} {}

QString TextBuffer::normalized(const QString &text)
{
    // As a text box takes pasted or loaded text: each of these ends a line.
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QChar::ParagraphSeparator))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            out.append(QLatin1Char('\n'));
        } else if (c == QChar::ParagraphSeparator) {
            out.append(QLatin1Char('\n'));
        } else {
            out.append(c);
        }
    }
    return out;
}

void TextBuffer::setText(const QString &text)
{
    m_lines = normalized(text).split(QLatin1Char('\n'));
    m_steps.clear();
    m_done = m_clean = 0;
    m_startsValid = 0;
    m_widest = -1;
}

QString TextBuffer::text() const
{
    return m_lines.join(QLatin1Char('\n'));
}

void TextBuffer::ensureStarts() const
{
    const auto n = qsizetype(m_lines.size());
    if (m_startsValid >= n && qsizetype(m_starts.size()) == n)
        return;
    m_starts.resize(size_t(n));
    qsizetype i = std::max<qsizetype>(1, m_startsValid);
    m_starts[0] = 0;
    for (; i < n; ++i)
        m_starts[size_t(i)] = m_starts[size_t(i - 1)] + m_lines[i - 1].size() + 1;
    m_startsValid = n;
}

qsizetype TextBuffer::lineStart(qsizetype index) const
{
    ensureStarts();
    return m_starts[size_t(index)];
}

qsizetype TextBuffer::size() const
{
    ensureStarts();
    return m_starts.back() + m_lines.back().size();
}

qsizetype TextBuffer::lineOf(qsizetype position) const
{
    ensureStarts();
    const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), position);
    return std::max<qsizetype>(0, qsizetype(it - m_starts.begin()) - 1);
}

QString TextBuffer::mid(qsizetype start, qsizetype length) const
{
    const qsizetype total = size();
    start = std::clamp<qsizetype>(start, 0, total);
    length = std::clamp<qsizetype>(length, 0, total - start);
    QString out;
    out.reserve(length);
    for (qsizetype line = lineOf(start); length > 0; ++line) {
        const qsizetype from = start - m_starts[size_t(line)];
        const qsizetype take = std::min(length, m_lines[line].size() - from);
        out.append(QStringView(m_lines[line]).mid(from, take));
        start += take;
        length -= take;
        if (length > 0) {
            out.append(QLatin1Char('\n'));
            ++start;
            --length;
        }
    }
    return out;
}

qsizetype TextBuffer::columns(QStringView line)
{
    qsizetype column = 0;
    for (const QChar c : line)
        column = c == QLatin1Char('\t') ? (column / TabWidth + 1) * TabWidth : column + 1;
    return column;
}

qsizetype TextBuffer::widestLine() const
{
    if (m_widest < 0) {
        m_widest = 0;
        for (const QString &line : m_lines)
            m_widest = std::max(m_widest, columns(line));
    }
    return m_widest;
}

void TextBuffer::linesChanged(qsizetype from)
{
    m_startsValid = std::min(m_startsValid, from + 1);
}

qsizetype TextBuffer::applyRaw(const QList<Edit> &edits, QList<Edit> *inverse)
{
    ensureStarts();
    if (inverse) {
        inverse->clear();
        inverse->reserve(edits.size());
    }
    // Edits are gathered into groups of lines they touch; each group's lines are written anew.
    struct Group
    {
        qsizetype firstLine, lastLine, firstEdit, endEdit;
    };
    std::vector<Group> groups;
    for (qsizetype i = 0; i < edits.size(); ++i) {
        const qsizetype a = lineOf(edits[i].start), b = lineOf(edits[i].start + edits[i].length);
        if (!groups.empty() && a <= groups.back().lastLine) {
            groups.back().lastLine = std::max(groups.back().lastLine, b);
            groups.back().endEdit = i + 1;
        } else {
            groups.push_back({a, b, i, i + 1});
        }
    }
    qsizetype shift = 0, end = -1;
    QString lastRemoved;
    QList<QString> rebuilt;
    const bool inPlace = groups.size() == 1;
    if (!inPlace)
        rebuilt.reserve(m_lines.size() + edits.size());
    qsizetype copied = 0; // lines of m_lines already taken over into `rebuilt`
    for (const Group &g : groups) {
        QString joined = m_lines[g.firstLine];
        for (qsizetype l = g.firstLine + 1; l <= g.lastLine; ++l)
            joined.append(QLatin1Char('\n')).append(m_lines[l]);
        const qsizetype base = m_starts[size_t(g.firstLine)];
        QString result;
        result.reserve(joined.size());
        qsizetype from = 0;
        for (qsizetype i = g.firstEdit; i < g.endEdit; ++i) {
            const Edit &e = edits[i];
            const qsizetype at = e.start - base;
            result.append(QStringView(joined).mid(from, at - from)).append(e.text);
            if (inverse) {
                const QStringView removed = QStringView(joined).mid(at, e.length);
                // Replace all removes the same text everywhere: keep one copy of it.
                if (removed != lastRemoved)
                    lastRemoved = removed.toString();
                inverse->append(Edit{e.start + shift, e.text.size(), lastRemoved});
            }
            from = at + e.length;
            end = e.start + shift + e.text.size();
            shift += e.text.size() - e.length;
        }
        result.append(QStringView(joined).mid(from));
        if (m_widest >= 0) {
            for (qsizetype l = g.firstLine; l <= g.lastLine && m_widest >= 0; ++l)
                if (columns(m_lines[l]) >= m_widest)
                    m_widest = -1; // the widest may be gone: found again when asked
        }
        QList<QString> lines = result.contains(QLatin1Char('\n')) ? result.split(QLatin1Char('\n'))
                                                                   : QList<QString>{result};
        if (m_widest >= 0)
            for (const QString &line : lines)
                m_widest = std::max(m_widest, columns(line));
        if (inPlace) {
            const qsizetype count = g.lastLine - g.firstLine + 1;
            const qsizetype common = std::min(count, lines.size());
            for (qsizetype k = 0; k < common; ++k)
                m_lines[g.firstLine + k] = std::move(lines[k]);
            if (count > common)
                m_lines.remove(g.firstLine + common, count - common);
            else if (lines.size() > common)
                m_lines.insert(g.firstLine + common, lines.size() - common, QString());
            for (qsizetype k = common; k < lines.size(); ++k)
                m_lines[g.firstLine + k] = std::move(lines[k]);
        } else {
            rebuilt.append(m_lines.mid(copied, g.firstLine - copied));
            rebuilt.append(std::move(lines));
            copied = g.lastLine + 1;
        }
    }
    if (!inPlace && !groups.empty()) {
        rebuilt.append(m_lines.mid(copied));
        m_lines = std::move(rebuilt);
    }
    if (!groups.empty())
        linesChanged(groups.front().firstLine);
    return end;
}

qsizetype TextBuffer::apply(QList<Edit> edits, bool typing)
{
    // Keep only well-formed edits: inside the text, in order, apart, each changing something.
    const qsizetype total = size();
    QList<Edit> valid;
    valid.reserve(edits.size());
    qsizetype previousEnd = 0;
    for (Edit &e : edits) {
        e.start = std::clamp<qsizetype>(e.start, previousEnd, total);
        e.length = std::clamp<qsizetype>(e.length, 0, total - e.start);
        e.text = normalized(e.text);
        if (e.length == 0 && e.text.isEmpty())
            continue;
        previousEnd = e.start + e.length;
        valid.append(std::move(e));
    }
    if (valid.isEmpty())
        return -1;
    m_steps.resize(size_t(m_done));
    if (m_clean > m_done)
        m_clean = -1;
    Step *last = m_done > 0 ? &m_steps.back() : nullptr;
    // Typing goes on the step of the typing before, so undo takes back a run of it at once.
    if (typing && last && last->typing && m_clean != m_done && valid.size() == 1 && valid[0].length == 0 &&
        last->forward.size() == 1 && last->forward[0].start + last->forward[0].text.size() == valid[0].start) {
        const qsizetype end = applyRaw(valid, nullptr);
        last->forward[0].text += valid[0].text;
        last->backward[0].length += valid[0].text.size();
        return end;
    }
    Step step;
    step.typing = typing;
    const qsizetype end = applyRaw(valid, &step.backward);
    step.forward = std::move(valid);
    m_steps.push_back(std::move(step));
    ++m_done;
    return end;
}

qsizetype TextBuffer::undo()
{
    if (!canUndo())
        return -1;
    --m_done;
    const Step &step = m_steps[size_t(m_done)];
    applyRaw(step.backward, nullptr);
    // The caret goes where the first change was undone, as after a single edit.
    const Edit &first = step.forward.front();
    return first.start + first.length;
}

qsizetype TextBuffer::redo()
{
    if (!canRedo())
        return -1;
    const Step &step = m_steps[size_t(m_done)];
    ++m_done;
    return applyRaw(step.forward, nullptr);
}

void TextBuffer::setModified(bool modified)
{
    m_clean = modified ? -1 : m_done;
}
