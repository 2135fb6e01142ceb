#pragma once

#include <QList>
#include <QString>
#include <vector>

// The text of the editor as a list of lines, with edits and undo. Positions are 0-based
// character offsets into the text with "\n" between lines; each line also keeps the line end it
// had in the file ("\n", "\r", "\r\n" or U+2029), so that lines not edited are written back as
// they came. Replacing many spans at once costs
// about what writing the touched lines does, so Replace all over a large file is quick and one
// step to undo.
class TextBuffer
{
public:
    // Replaces `length` characters at `start` by `text`.
    struct Edit
    {
        qsizetype start = 0;
        qsizetype length = 0;
        QString text;
        // The kinds (LineEnd) of the line ends "\n" in `text` stands for, in order; when empty, a
        // break takes the kind of the break it replaces, in order, and new ones are "\n".
        QByteArray ends = {};
    };
    enum LineEnd : char { Lf, Cr, CrLf, Paragraph };

    TextBuffer();

    // A new text: no undo history, not modified. Line ends "\r\n", "\r" and U+2029 become "\n".
    void setText(const QString &text);
    QString text() const;
    // The text with every line end as the file had it ("\n" for lines made here).
    QString textWithLineEnds() const;
    QString mid(qsizetype start, qsizetype length) const;

    qsizetype size() const;
    qsizetype lineCount() const { return qsizetype(m_lines.size()); }
    const QString &line(qsizetype index) const { return m_lines[index]; }
    qsizetype lineStart(qsizetype index) const;
    qsizetype lineOf(qsizetype position) const;
    // The widest line in columns, tabs taken to the next multiple of TabWidth.
    qsizetype widestLine() const;
    static constexpr int TabWidth = 8;
    static qsizetype columns(QStringView line);

    // Applies edits in order of position and apart from each other, positions in the current
    // text, as one step to undo. `typing` joins an insertion to the step before when that was
    // typing that ended where this one starts. Returns the position after the last edit.
    qsizetype apply(QList<Edit> edits, bool typing = false);
    qsizetype replace(qsizetype start, qsizetype length, const QString &text, bool typing = false)
    {
        return apply({Edit{start, length, text}}, typing);
    }

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < qsizetype(m_steps.size()); }
    // Return the position after the last edit they made, or -1 when there was nothing to do.
    qsizetype undo();
    qsizetype redo();

    bool isModified() const { return m_done != m_clean; }
    void setModified(bool modified);

    // Line ends as this buffer keeps them.
    static QString normalized(const QString &text);

private:
    struct Step
    {
        QList<Edit> forward, backward; // backward in the positions of the text after forward
        bool typing = false;
    };

    qsizetype applyRaw(const QList<Edit> &edits, QList<Edit> *inverse);
    void ensureStarts() const;
    void linesChanged(qsizetype from);

    QList<QString> m_lines;
    QByteArray m_ends; // LineEnd after each line (the last one's unused)
    std::vector<Step> m_steps;
    qsizetype m_done = 0;  // steps in m_steps that are applied
    qsizetype m_clean = 0; // m_done when the text was last unmodified; -1 when unreachable
    // Caches: line starts are valid below m_startsValid; the widest line when m_widest >= 0.
    mutable std::vector<qsizetype> m_starts;
    mutable qsizetype m_startsValid = 0;
    mutable qsizetype m_widest = -1;
};
