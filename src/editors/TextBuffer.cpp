#include "TextBuffer.h"

#include <algorithm>

TextBuffer::TextBuffer() : m_lines{QString()}, m_ends(1, Lf) {}

namespace {

const QString EndTexts[] = {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n"),
                            QString(QChar::ParagraphSeparator)};

// `count` line end kinds: those of `given` when it has them, otherwise those of `replaced` in
// order, then "\n".
QByteArray endsFor(const QByteArray &given, QByteArrayView replaced, qsizetype count)
{
    if (count == 0)
        return {};
    if (given.size() == count)
        return given;
    QByteArray ends(count, TextBuffer::Lf);
    std::copy_n(replaced.begin(), std::min(count, replaced.size()), ends.begin());
    return ends;
}

} // namespace

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
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QChar::ParagraphSeparator)) {
        m_lines = text.split(QLatin1Char('\n'));
        m_ends = QByteArray(m_lines.size(), Lf);
    } else {
        m_lines.clear();
        m_ends.clear();
        qsizetype from = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            LineEnd end;
            if (c == QLatin1Char('\n'))
                end = Lf;
            else if (c == QChar::ParagraphSeparator)
                end = Paragraph;
            else if (c != QLatin1Char('\r'))
                continue;
            else
                end = i + 1 < text.size() && text[i + 1] == QLatin1Char('\n') ? CrLf : Cr;
            m_lines.append(text.mid(from, i - from));
            m_ends.append(end);
            if (end == CrLf)
                ++i;
            from = i + 1;
        }
        m_lines.append(text.mid(from));
        m_ends.append(Lf);
    }
    m_steps.clear();
    m_done = m_clean = 0;
    m_startsValid = 0;
    m_widest = -1;
}

QString TextBuffer::text() const
{
    return m_lines.join(QLatin1Char('\n'));
}

QString TextBuffer::textWithLineEnds() const
{
    QString out;
    out.reserve(size() + m_ends.count(CrLf));
    const auto last = qsizetype(m_lines.size()) - 1;
    // A lone CR right before a written LF (an empty line ended by LF) would read back as one
    // CR LF: it is written as LF, from the end back, as the next one's choice decides.
    QByteArray ends = m_ends;
    for (qsizetype i = last - 2; i >= 0; --i)
        if (ends[i] == Cr && m_lines[i + 1].isEmpty() && ends[i + 1] == Lf)
            ends[i] = Lf;
    for (qsizetype i = 0; i < last; ++i)
        out.append(m_lines[i]).append(EndTexts[int(ends[i])]);
    return out.append(m_lines[last]);
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
    if (!line.contains(QLatin1Char('\t')))
        return line.size();
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
    // The line holding a position; edits come in order, so the search walks forward.
    const auto lineCount = qsizetype(m_lines.size());
    qsizetype walk = 0;
    auto lineAt = [&](qsizetype position) {
        if (walk + 64 < lineCount && m_starts[size_t(walk + 64)] <= position)
            walk = lineOf(position);
        while (walk + 1 < lineCount && m_starts[size_t(walk + 1)] <= position)
            ++walk;
        return walk;
    };
    qsizetype shift = 0, end = -1, firstChanged = -1;
    QString lastRemoved;
    // Lines are replaced where they are when their count stays; once a count changes, the rest is
    // written into a new list, which `copied` says how far the old one has been taken over into (lines
    // replaced in place beyond that are taken over as they are then).
    QList<QString> rebuilt;
    QByteArray rebuiltEnds;
    bool rebuilding = false;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < edits.size();) {
        // A group: the edits that touch the same lines, joined into one piece of text.
        const qsizetype firstLine = lineAt(edits[i].start);
        qsizetype lastLine = firstLine, endEdit = i;
        while (endEdit < edits.size() && lineAt(edits[endEdit].start) <= lastLine) {
            lastLine = std::max(lastLine, lineAt(edits[endEdit].start + edits[endEdit].length));
            ++endEdit;
        }
        if (firstChanged < 0)
            firstChanged = firstLine;
        QString joined = m_lines[firstLine];
        for (qsizetype l = firstLine + 1; l <= lastLine; ++l)
            joined.append(QLatin1Char('\n')).append(m_lines[l]);
        const qsizetype base = m_starts[size_t(firstLine)];
        QString result;
        result.reserve(joined.size() + edits[i].text.size());
        // The line ends of the breaks in `result`, from those of `joined` (at `breaks` so far)
        // and of the edits' texts.
        QByteArray resultEnds;
        qsizetype breaks = firstLine;
        auto kept = [&](QStringView part) {
            if (lastLine == firstLine)
                return;
            const qsizetype n = part.count(QLatin1Char('\n'));
            resultEnds.append(QByteArrayView(m_ends).sliced(breaks, n));
            breaks += n;
        };
        qsizetype from = 0;
        for (; i < endEdit; ++i) {
            const Edit &e = edits[i];
            const qsizetype at = e.start - base;
            kept(QStringView(joined).mid(from, at - from));
            result.append(QStringView(joined).mid(from, at - from)).append(e.text);
            const QStringView removed = QStringView(joined).mid(at, e.length);
            const qsizetype removedBreaks = lastLine > firstLine ? removed.count(QLatin1Char('\n')) : 0;
            const QByteArrayView removedEnds = QByteArrayView(m_ends).sliced(breaks, removedBreaks);
            breaks += removedBreaks;
            resultEnds.append(endsFor(e.ends, removedEnds, e.text.count(QLatin1Char('\n'))));
            if (inverse) {
                // Replace all removes the same text everywhere: keep one copy of it.
                if (removed != lastRemoved)
                    lastRemoved = removed.toString();
                inverse->append(Edit{e.start + shift, e.text.size(), lastRemoved, removedEnds.toByteArray()});
            }
            from = at + e.length;
            end = e.start + shift + e.text.size();
            shift += e.text.size() - e.length;
        }
        result.append(QStringView(joined).mid(from));
        kept(QStringView(joined).mid(from));
        if (m_widest >= 0) {
            for (qsizetype l = firstLine; l <= lastLine && m_widest >= 0; ++l)
                if (columns(m_lines[l]) >= m_widest)
                    m_widest = -1; // the widest may be gone: found again when asked
        }
        const qsizetype oldCount = lastLine - firstLine + 1;
        if (!result.contains(QLatin1Char('\n')) && oldCount == 1) {
            if (m_widest >= 0)
                m_widest = std::max(m_widest, columns(result));
            m_lines[firstLine] = std::move(result);
            continue;
        }
        const QList<QString> lines = result.split(QLatin1Char('\n'));
        if (m_widest >= 0)
            for (const QString &line : lines)
                m_widest = std::max(m_widest, columns(line));
        // The group's last line end stays; the breaks inside it get `resultEnds`.
        if (qsizetype(lines.size()) == oldCount) {
            for (qsizetype k = 0; k < oldCount; ++k)
                m_lines[firstLine + k] = lines[k];
            std::copy(resultEnds.begin(), resultEnds.end(), m_ends.begin() + firstLine);
            continue;
        }
        if (!rebuilding) {
            rebuilding = true;
            rebuilt.reserve(m_lines.size() + lines.size());
            rebuiltEnds.reserve(m_ends.size() + resultEnds.size());
        }
        for (; copied < firstLine; ++copied) {
            rebuilt.append(m_lines[copied]);
            rebuiltEnds.append(m_ends[copied]);
        }
        rebuilt.append(lines);
        rebuiltEnds.append(resultEnds).append(m_ends[lastLine]);
        copied = lastLine + 1;
    }
    if (rebuilding) {
        for (; copied < lineCount; ++copied) {
            rebuilt.append(m_lines[copied]);
            rebuiltEnds.append(m_ends[copied]);
        }
        m_lines = std::move(rebuilt);
        m_ends = std::move(rebuiltEnds);
    }
    if (firstChanged >= 0)
        linesChanged(firstChanged);
    return end;
}

qsizetype TextBuffer::apply(QList<Edit> edits, bool typing)
{
    // Keep only well-formed edits: inside the text, in order, apart, each changing something.
    const qsizetype total = size();
    qsizetype previousEnd = 0, kept = 0;
    QString lastGiven, lastNormalized; // Replace all puts the same text everywhere
    for (Edit &e : edits) {
        e.start = std::clamp<qsizetype>(e.start, previousEnd, total);
        e.length = std::clamp<qsizetype>(e.length, 0, total - e.start);
        if (!e.text.isSharedWith(lastGiven) || e.text.isNull()) {
            lastGiven = e.text;
            lastNormalized = normalized(e.text);
        }
        e.text = lastNormalized;
        if (e.length == 0 && e.text.isEmpty())
            continue;
        previousEnd = e.start + e.length;
        if (&edits[kept] != &e)
            edits[kept] = std::move(e);
        ++kept;
    }
    edits.resize(kept);
    QList<Edit> &valid = edits;
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
