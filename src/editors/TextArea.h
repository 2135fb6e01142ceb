#pragma once

#include "TextBuffer.h"

#include <QAbstractScrollArea>
#include <cstdlib>

// A plain-text box over a TextBuffer: one fixed-pitch font, no wrapping, only the visible lines
// painted, so a text of hundreds of thousands of lines loads and changes quickly. Keys, mouse,
// clipboard and undo behave as in other text boxes.
class TextArea : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TextArea(QWidget *parent = nullptr);

    QString text() const { return m_buffer.text(); }
    // A new text: the caret at the start, no undo history, not modified.
    void setText(const QString &text);
    const TextBuffer &buffer() const { return m_buffer; }
    qsizetype lineCount() const { return m_buffer.lineCount(); }

    // The selection runs from the anchor to the caret.
    qsizetype caret() const { return m_caret; }
    qsizetype selectionStart() const { return std::min(m_caret, m_anchor); }
    qsizetype selectionLength() const { return std::abs(m_caret - m_anchor); }
    bool hasSelection() const { return m_caret != m_anchor; }
    QString selectedText() const { return m_buffer.mid(selectionStart(), selectionLength()); }
    // Selects `length` characters from `start` with the caret at their end, and scrolls to them.
    void setSelection(qsizetype start, qsizetype length);
    void setCaret(qsizetype position) { setSelection(position, 0); }

    // Replaces the selection by `text`, the caret after it.
    void insertText(const QString &text);
    // Inserts `text` at `position`; the caret and the anchor move along when they are at or
    // after it.
    void insertAt(qsizetype position, const QString &text);
    // Applies edits (in order, apart, positions in the current text) as one step to undo.
    void applyEdits(QList<TextBuffer::Edit> edits);

    bool isModified() const { return m_buffer.isModified(); }
    void setModified(bool modified);
    bool canUndo() const { return m_buffer.canUndo(); }
    bool canRedo() const { return m_buffer.canRedo(); }

    // The rectangle of the caret in viewport coordinates.
    QRect caretRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) const;

public slots:
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void selectAll();

signals:
    void textChanged();
    void selectionChanged();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void changeEvent(QEvent *event) override;

private:
    enum class Move { Left, Right, Up, Down, LineStart, LineEnd, Start, End, PageUp, PageDown, WordLeft, WordRight };

    void edited(qsizetype caret);
    void moveCaret(Move move, bool select);
    void moveTo(qsizetype position, bool select, bool keepColumn = false);
    void deleteBack();
    void deleteForward();
    void updateScrollBars();
    void ensureCaretVisible();
    void restartBlink();
    int lineHeight() const;
    qreal charWidth() const;
    int visibleLines() const;
    qsizetype columnOf(qsizetype position) const;
    qsizetype positionAtColumn(qsizetype line, qsizetype column) const;

    TextBuffer m_buffer;
    qsizetype m_caret = 0, m_anchor = 0;
    qsizetype m_wantedColumn = -1; // kept by up and down moves over shorter lines
    bool m_caretShown = true;
    int m_blinkTimer = 0;
};
