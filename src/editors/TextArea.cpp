#include "TextArea.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <cmath>

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// What a cell shows: a tab's blanks are laid out by the caller; control characters, which a
// font draws with no width or not at all, get a visible mark so the columns stay in line.
QChar shown(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u < 0xA0) ? QChar(0xFFFD) : c;
}

} // namespace

TextArea::TextArea(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    updateScrollBars();
}

int TextArea::lineHeight() const
{
    return std::max(1, fontMetrics().height());
}

qreal TextArea::charWidth() const
{
    // Fractional, as the glyphs are laid out: a rounded width drifts from them along a line.
    return std::max<qreal>(1, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('M')));
}

int TextArea::visibleLines() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

void TextArea::setText(const QString &text)
{
    m_buffer.setText(text);
    m_caret = m_anchor = 0;
    m_wantedColumn = -1;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    emit textChanged();
    emit selectionChanged();
}

void TextArea::setSelection(qsizetype start, qsizetype length)
{
    const qsizetype total = m_buffer.size();
    m_anchor = std::clamp<qsizetype>(start, 0, total);
    m_caret = std::clamp<qsizetype>(start + length, 0, total);
    m_wantedColumn = -1;
    ensureCaretVisible();
    restartBlink();
    viewport()->update();
    emit selectionChanged();
}

void TextArea::selectAll()
{
    m_anchor = 0;
    m_caret = m_buffer.size();
    viewport()->update();
    emit selectionChanged();
}

void TextArea::setModified(bool modified)
{
    m_buffer.setModified(modified);
}

// --- Editing

void TextArea::edited(qsizetype caret)
{
    m_caret = m_anchor = std::clamp<qsizetype>(caret, 0, m_buffer.size());
    m_wantedColumn = -1;
    updateScrollBars();
    ensureCaretVisible();
    restartBlink();
    viewport()->update();
    emit textChanged();
    emit selectionChanged();
}

void TextArea::insertText(const QString &text)
{
    const qsizetype start = selectionStart();
    const qsizetype end = m_buffer.replace(start, selectionLength(), text);
    if (end >= 0)
        edited(end);
}

void TextArea::insertAt(qsizetype position, const QString &text)
{
    position = std::clamp<qsizetype>(position, 0, m_buffer.size());
    const qsizetype end = m_buffer.replace(position, 0, text);
    if (end < 0)
        return;
    const qsizetype added = end - position;
    if (m_caret >= position)
        m_caret += added;
    if (m_anchor >= position)
        m_anchor += added;
    updateScrollBars();
    ensureCaretVisible();
    viewport()->update();
    emit textChanged();
    emit selectionChanged();
}

void TextArea::applyEdits(QList<TextBuffer::Edit> edits)
{
    // The caret and the anchor follow the text around them; inside a replaced span they go to
    // its end.
    auto follow = [&edits](qsizetype position) {
        qsizetype shift = 0;
        for (const TextBuffer::Edit &e : edits) {
            if (e.start >= position)
                break;
            if (e.start + e.length > position)
                return e.start + shift + e.text.size();
            shift += e.text.size() - e.length;
        }
        return position + shift;
    };
    const qsizetype caret = follow(m_caret), anchor = follow(m_anchor);
    if (m_buffer.apply(std::move(edits)) < 0)
        return;
    m_caret = std::clamp<qsizetype>(caret, 0, m_buffer.size());
    m_anchor = std::clamp<qsizetype>(anchor, 0, m_buffer.size());
    updateScrollBars();
    viewport()->update();
    emit textChanged();
    emit selectionChanged();
}

void TextArea::deleteBack()
{
    if (hasSelection()) {
        insertText(QString());
        return;
    }
    if (m_caret == 0)
        return;
    qsizetype from = m_caret - 1;
    const QString before = m_buffer.mid(std::max<qsizetype>(0, m_caret - 2), 2);
    if (before.size() == 2 && before[0].isHighSurrogate() && before[1].isLowSurrogate())
        --from;
    edited(m_buffer.replace(from, m_caret - from, QString()));
}

void TextArea::deleteForward()
{
    if (hasSelection()) {
        insertText(QString());
        return;
    }
    const QString after = m_buffer.mid(m_caret, 2);
    if (after.isEmpty())
        return;
    const qsizetype count = after.size() == 2 && after[0].isHighSurrogate() && after[1].isLowSurrogate() ? 2 : 1;
    edited(m_buffer.replace(m_caret, count, QString()));
}

void TextArea::undo()
{
    const qsizetype at = m_buffer.undo();
    if (at >= 0)
        edited(at);
}

void TextArea::redo()
{
    const qsizetype at = m_buffer.redo();
    if (at >= 0)
        edited(at);
}

void TextArea::copy()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void TextArea::cut()
{
    if (!hasSelection())
        return;
    copy();
    insertText(QString());
}

void TextArea::paste()
{
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        insertText(text);
}

// --- Caret and positions

qsizetype TextArea::columnOf(qsizetype position) const
{
    const qsizetype line = m_buffer.lineOf(position);
    return TextBuffer::columns(QStringView(m_buffer.line(line)).left(position - m_buffer.lineStart(line)));
}

qsizetype TextArea::positionAtColumn(qsizetype line, qsizetype column) const
{
    const QString &text = m_buffer.line(line);
    qsizetype at = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype next =
            text[i] == QLatin1Char('\t') ? (at / TextBuffer::TabWidth + 1) * TextBuffer::TabWidth : at + 1;
        if (2 * column < at + next) // nearer the edge before this character
            return m_buffer.lineStart(line) + i - (text[i].isLowSurrogate() && i > 0 ? 1 : 0);
        at = next;
    }
    return m_buffer.lineStart(line) + text.size();
}

qsizetype TextArea::positionAt(const QPoint &point) const
{
    const qsizetype line =
        std::clamp<qsizetype>(verticalScrollBar()->value() + point.y() / lineHeight(), 0, m_buffer.lineCount() - 1);
    const int x = std::max(0, point.x() + horizontalScrollBar()->value());
    return positionAtColumn(line, qsizetype(x / charWidth() + 0.5)); // the nearest cell edge
}

QRect TextArea::caretRect() const
{
    const qsizetype line = m_buffer.lineOf(m_caret);
    const int x = int(std::lround(qreal(columnOf(m_caret)) * charWidth())) - horizontalScrollBar()->value();
    const int y = int(line - verticalScrollBar()->value()) * lineHeight();
    return {x, y, 2, lineHeight()};
}

void TextArea::moveTo(qsizetype position, bool select, bool keepColumn)
{
    m_caret = std::clamp<qsizetype>(position, 0, m_buffer.size());
    if (!select)
        m_anchor = m_caret;
    if (!keepColumn)
        m_wantedColumn = -1;
    ensureCaretVisible();
    restartBlink();
    viewport()->update();
    emit selectionChanged();
}

void TextArea::moveCaret(Move move, bool select)
{
    const qsizetype total = m_buffer.size();
    const qsizetype line = m_buffer.lineOf(m_caret);
    const qsizetype lineStart = m_buffer.lineStart(line);
    auto charAt = [&](qsizetype position) {
        const qsizetype l = m_buffer.lineOf(position);
        const qsizetype column = position - m_buffer.lineStart(l);
        return column < m_buffer.line(l).size() ? m_buffer.line(l)[column] : QChar(QLatin1Char('\n'));
    };
    auto vertical = [&](qsizetype lines) {
        if (m_wantedColumn < 0)
            m_wantedColumn = columnOf(m_caret);
        const qsizetype target = std::clamp<qsizetype>(line + lines, 0, m_buffer.lineCount() - 1);
        if (target == line && lines != 0)
            return lines < 0 ? qsizetype(0) : total; // past the first or last line: to its end
        return positionAtColumn(target, m_wantedColumn);
    };
    qsizetype to = m_caret;
    bool keepColumn = false;
    switch (move) {
    case Move::Left:
        if (hasSelection() && !select) {
            to = selectionStart();
        } else if (m_caret > 0) {
            to = m_caret - 1;
            if (to > 0 && charAt(to).isLowSurrogate() && charAt(to - 1).isHighSurrogate())
                --to;
        }
        break;
    case Move::Right:
        if (hasSelection() && !select) {
            to = selectionStart() + selectionLength();
        } else if (m_caret < total) {
            to = m_caret + 1;
            if (to < total && charAt(to).isLowSurrogate())
                ++to;
        }
        break;
    case Move::Up:
        to = vertical(-1);
        keepColumn = true;
        break;
    case Move::Down:
        to = vertical(1);
        keepColumn = true;
        break;
    case Move::PageUp:
    case Move::PageDown: {
        const int page = visibleLines();
        const int step = move == Move::PageUp ? -page : page;
        to = vertical(step);
        keepColumn = true;
        verticalScrollBar()->setValue(verticalScrollBar()->value() + step);
        break;
    }
    case Move::LineStart:
        to = lineStart;
        break;
    case Move::LineEnd:
        to = lineStart + m_buffer.line(line).size();
        break;
    case Move::Start:
        to = 0;
        break;
    case Move::End:
        to = total;
        break;
    case Move::WordLeft:
        while (to > 0 && !isWordChar(charAt(to - 1)))
            --to;
        while (to > 0 && isWordChar(charAt(to - 1)))
            --to;
        break;
    case Move::WordRight:
        while (to < total && isWordChar(charAt(to)))
            ++to;
        while (to < total && !isWordChar(charAt(to)))
            ++to;
        break;
    }
    const qsizetype wanted = m_wantedColumn;
    moveTo(to, select, keepColumn);
    if (keepColumn)
        m_wantedColumn = wanted;
}

// --- Scrolling and painting

void TextArea::updateScrollBars()
{
    const int page = visibleLines();
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setRange(0, int(std::max<qsizetype>(0, m_buffer.lineCount() - page)));
    const auto width = qint64(qreal(m_buffer.widestLine() + 1) * charWidth());
    horizontalScrollBar()->setSingleStep(int(std::ceil(charWidth())));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, int(std::clamp<qint64>(width - viewport()->width(), 0, INT_MAX)));
}

void TextArea::ensureCaretVisible()
{
    const qsizetype line = m_buffer.lineOf(m_caret);
    QScrollBar *v = verticalScrollBar();
    if (line < v->value())
        v->setValue(int(line));
    else if (line >= v->value() + visibleLines())
        v->setValue(int(line - visibleLines() + 1));
    const auto x = qint64(qreal(columnOf(m_caret)) * charWidth());
    const auto cell = qint64(std::ceil(charWidth()));
    QScrollBar *h = horizontalScrollBar();
    const qint64 margin = 4 * cell;
    if (x < h->value())
        h->setValue(int(std::max<qint64>(0, x - margin)));
    else if (x + cell > h->value() + viewport()->width())
        h->setValue(int(std::min<qint64>(INT_MAX, x + cell + margin - viewport()->width())));
}

void TextArea::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void TextArea::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        viewport()->setFont(font());
        updateScrollBars();
        viewport()->update();
    }
}

void TextArea::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setFont(font());
    const int lh = lineHeight(), ascent = fontMetrics().ascent();
    const qreal cw = charWidth();
    const int xOffset = horizontalScrollBar()->value();
    const auto firstColumn = qsizetype(xOffset / cw);
    const auto endColumn = qsizetype((xOffset + viewport()->width()) / cw) + 1;
    const qsizetype selStart = selectionStart(), selEnd = selStart + selectionLength();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const QColor textColor = palette().color(group, QPalette::Text);
    const QColor selectedColor = palette().color(group, QPalette::HighlightedText);
    const QBrush selectedBrush = palette().brush(group, QPalette::Highlight);
    const qsizetype first = verticalScrollBar()->value();
    const qsizetype last = std::min(m_buffer.lineCount() - 1, first + visibleLines());
    QString cells;
    for (qsizetype line = first; line <= last; ++line) {
        const int y = int(line - first) * lh;
        const QString &text = m_buffer.line(line);
        const qsizetype start = m_buffer.lineStart(line);
        // The visible cells of the line.
        cells.clear();
        qsizetype column = 0, cellsFrom = -1;
        for (qsizetype i = 0; i < text.size() && column < endColumn; ++i) {
            const QChar c = text[i];
            const qsizetype next =
                c == QLatin1Char('\t') ? (column / TextBuffer::TabWidth + 1) * TextBuffer::TabWidth : column + 1;
            if (next > firstColumn) {
                if (cellsFrom < 0)
                    cellsFrom = column;
                if (c == QLatin1Char('\t'))
                    cells.append(QString(next - column, QLatin1Char(' ')));
                else
                    cells.append(shown(c));
            }
            column = next;
        }
        // The columns the selection covers here, the line end as one more cell.
        const qsizetype end = start + text.size();
        qsizetype selFrom = -1, selTo = -1;
        if (selEnd > selStart && selStart <= end && selEnd >= start) {
            selFrom = selStart <= start ? 0 : TextBuffer::columns(QStringView(text).left(selStart - start));
            selTo = selEnd > end ? TextBuffer::columns(text) + 1
                                 : TextBuffer::columns(QStringView(text).left(selEnd - start));
        }
        const QPointF at(qreal(cellsFrom) * cw - xOffset, y + ascent);
        painter.setPen(textColor);
        if (cellsFrom >= 0)
            painter.drawText(at, cells);
        if (selFrom >= 0 && selTo > selFrom) {
            const QRectF band(qreal(selFrom) * cw - xOffset, y, qreal(selTo - selFrom) * cw, lh);
            painter.fillRect(band, selectedBrush);
            if (cellsFrom >= 0) {
                painter.save();
                painter.setClipRect(band);
                painter.setPen(selectedColor);
                painter.drawText(at, cells);
                painter.restore();
            }
        }
    }
    if (hasFocus() && m_caretShown) {
        const QRect caret = caretRect();
        painter.fillRect(caret, textColor);
    }
}

void TextArea::restartBlink()
{
    m_caretShown = true;
    if (m_blinkTimer)
        killTimer(m_blinkTimer);
    m_blinkTimer = 0;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blinkTimer = startTimer(flash / 2);
}

void TextArea::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blinkTimer) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    m_caretShown = !m_caretShown;
    viewport()->update(caretRect());
}

void TextArea::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    restartBlink();
    viewport()->update();
}

void TextArea::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    if (m_blinkTimer)
        killTimer(m_blinkTimer);
    m_blinkTimer = 0;
    viewport()->update();
}

// --- Keys and mouse

bool TextArea::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // The editing keys belong to the text while it has the focus.
        auto *key = static_cast<QKeyEvent *>(event);
        const bool editing = key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut) ||
                             key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Undo) ||
                             key->matches(QKeySequence::Redo) || key->matches(QKeySequence::SelectAll) ||
                             key->matches(QKeySequence::Delete) ||
                             (!key->text().isEmpty() && key->text()[0].isPrint() &&
                              !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)));
        if (editing) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab &&
        !(static_cast<QKeyEvent *>(event)->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        keyPressEvent(static_cast<QKeyEvent *>(event)); // a tab is text here, not a move to the next control
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void TextArea::keyPressEvent(QKeyEvent *event)
{
    struct Binding
    {
        QKeySequence::StandardKey key;
        Move move;
        bool select;
    };
    static const Binding moves[] = {
        {QKeySequence::MoveToPreviousChar, Move::Left, false},
        {QKeySequence::MoveToNextChar, Move::Right, false},
        {QKeySequence::MoveToPreviousLine, Move::Up, false},
        {QKeySequence::MoveToNextLine, Move::Down, false},
        {QKeySequence::MoveToStartOfLine, Move::LineStart, false},
        {QKeySequence::MoveToEndOfLine, Move::LineEnd, false},
        {QKeySequence::MoveToStartOfDocument, Move::Start, false},
        {QKeySequence::MoveToEndOfDocument, Move::End, false},
        {QKeySequence::MoveToPreviousPage, Move::PageUp, false},
        {QKeySequence::MoveToNextPage, Move::PageDown, false},
        {QKeySequence::MoveToPreviousWord, Move::WordLeft, false},
        {QKeySequence::MoveToNextWord, Move::WordRight, false},
        {QKeySequence::SelectPreviousChar, Move::Left, true},
        {QKeySequence::SelectNextChar, Move::Right, true},
        {QKeySequence::SelectPreviousLine, Move::Up, true},
        {QKeySequence::SelectNextLine, Move::Down, true},
        {QKeySequence::SelectStartOfLine, Move::LineStart, true},
        {QKeySequence::SelectEndOfLine, Move::LineEnd, true},
        {QKeySequence::SelectStartOfDocument, Move::Start, true},
        {QKeySequence::SelectEndOfDocument, Move::End, true},
        {QKeySequence::SelectPreviousPage, Move::PageUp, true},
        {QKeySequence::SelectNextPage, Move::PageDown, true},
        {QKeySequence::SelectPreviousWord, Move::WordLeft, true},
        {QKeySequence::SelectNextWord, Move::WordRight, true},
    };
    for (const Binding &b : moves) {
        if (event->matches(b.key)) {
            moveCaret(b.move, b.select);
            return;
        }
    }
    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Undo))
        undo();
    else if (event->matches(QKeySequence::Redo))
        redo();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::Cut))
        cut();
    else if (event->matches(QKeySequence::Paste))
        paste();
    else if (event->matches(QKeySequence::Delete))
        deleteForward();
    else if (event->matches(QKeySequence::DeleteStartOfWord) || event->matches(QKeySequence::DeleteEndOfWord)) {
        if (!hasSelection())
            moveCaret(event->matches(QKeySequence::DeleteStartOfWord) ? Move::WordLeft : Move::WordRight, true);
        insertText(QString());
    } else if (event->key() == Qt::Key_Backspace)
        deleteBack();
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        insertText(QStringLiteral("\n"));
    else if (event->key() == Qt::Key_Tab)
        insertText(QStringLiteral("\t"));
    else if (const QString typed = event->text();
             !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.isPrint(); }) &&
             !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const qsizetype end = m_buffer.replace(selectionStart(), selectionLength(), typed, true);
        if (end >= 0)
            edited(end);
    } else {
        event->ignore();
        return;
    }
    event->accept();
}

void TextArea::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    moveTo(positionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void TextArea::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        moveTo(positionAt(event->position().toPoint()), true);
}

void TextArea::mouseReleaseEvent(QMouseEvent *event)
{
    event->setAccepted(event->button() == Qt::LeftButton);
}

void TextArea::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The word under the pointer.
    const qsizetype at = positionAt(event->position().toPoint());
    const qsizetype line = m_buffer.lineOf(at);
    const QString &text = m_buffer.line(line);
    const qsizetype lineStart = m_buffer.lineStart(line);
    qsizetype from = at - lineStart, to = from;
    while (from > 0 && isWordChar(text[from - 1]))
        --from;
    while (to < text.size() && isWordChar(text[to]))
        ++to;
    if (from == to)
        return;
    m_anchor = lineStart + from;
    moveTo(lineStart + to, true);
}

void TextArea::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(tr("&Undo"), this, &TextArea::undo)->setEnabled(canUndo());
    menu.addAction(tr("&Redo"), this, &TextArea::redo)->setEnabled(canRedo());
    menu.addSeparator();
    menu.addAction(tr("Cu&t"), this, &TextArea::cut)->setEnabled(hasSelection());
    menu.addAction(tr("&Copy"), this, &TextArea::copy)->setEnabled(hasSelection());
    menu.addAction(tr("&Paste"), this, &TextArea::paste)->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    menu.addSeparator();
    menu.addAction(tr("Select All"), this, &TextArea::selectAll);
    menu.exec(event->globalPos());
}

void TextArea::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty()) {
        const qsizetype end = m_buffer.replace(selectionStart(), selectionLength(), event->commitString(), true);
        if (end >= 0)
            edited(end);
    }
    event->accept();
}

QVariant TextArea::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImCursorRectangle:
        return caretRect();
    case Qt::ImFont:
        return font();
    case Qt::ImCursorPosition:
        return int(m_caret - m_buffer.lineStart(m_buffer.lineOf(m_caret)));
    case Qt::ImSurroundingText:
        return m_buffer.line(m_buffer.lineOf(m_caret));
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
