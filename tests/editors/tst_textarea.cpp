// The editor's text box as a user drives it: keys, mouse, clipboard, undo, scrolling.
#include "TextArea.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

class TestTextArea : public QObject
{
    Q_OBJECT

    std::unique_ptr<TextArea> area;

    // A point inside the cell before `position`, as the user would click it.
    QPoint pointAt(qsizetype position)
    {
        area->setCaret(position);
        return area->caretRect().topLeft() + QPoint(1, area->caretRect().height() / 2);
    }

private slots:
    void init()
    {
        area = std::make_unique<TextArea>();
        QFont mono(QStringLiteral("Monospace"));
        mono.setStyleHint(QFont::TypeWriter);
        area->setFont(mono);
        area->resize(400, 300);
        area->show();
        QVERIFY(QTest::qWaitForWindowExposed(area.get()));
        area->setFocus();
    }

    void keysMoveTheCaretAndEdit()
    {
        area->setText("abc\nde\nfghij");
        QSignalSpy changed(area.get(), &TextArea::textChanged);
        // Each key and the caret after it: column 5 is kept over the shorter line.
        const QList<std::pair<Qt::Key, qsizetype>> moves{{Qt::Key_End, 12}, {Qt::Key_Up, 6},    {Qt::Key_Up, 3},
                                                         {Qt::Key_Down, 6}, {Qt::Key_Down, 12}, {Qt::Key_Home, 7}};
        for (const auto &[key, caret] : moves) {
            QTest::keyClick(area.get(), key, key == Qt::Key_End ? Qt::ControlModifier : Qt::NoModifier);
            QCOMPARE(area->caret(), caret);
        }
        QTest::keyClick(area.get(), Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(area.get(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(area->selectedText(), QString("fg"));
        QTest::keyClicks(area.get(), "X"); // typing replaces the selection
        QCOMPARE(area->text(), QString("abc\nde\nXhij"));
        QCOMPARE(changed.count(), 1);
        // Backspace at a line start joins the lines; Delete at a line end does too; Enter splits.
        area->setCaret(4);
        QTest::keyClick(area.get(), Qt::Key_Backspace);
        QCOMPARE(area->text(), QString("abcde\nXhij"));
        QCOMPARE(area->caret(), 3);
        QTest::keyClick(area.get(), Qt::Key_End);
        QTest::keyClick(area.get(), Qt::Key_Delete);
        QCOMPARE(area->text(), QString("abcdeXhij"));
        QTest::keyClick(area.get(), Qt::Key_Return);
        QCOMPARE(area->text(), QString("abcde\nXhij"));
        QCOMPARE(area->lineCount(), 2);
        QCOMPARE(area->caret(), 6);
        // Shift+Up selects back across the line end; words are skipped with Ctrl.
        QTest::keyClick(area.get(), Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(area->selectedText(), QString("abcde\n"));
        area->setText("one two, three");
        QTest::keyClick(area.get(), Qt::Key_Right, Qt::ControlModifier);
        QCOMPARE(area->caret(), 4);
        QTest::keyClick(area.get(), Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(area->selectedText(), QString("two, "));
        QTest::keyClick(area.get(), Qt::Key_Backspace, Qt::ControlModifier); // the selection goes
        QTest::keyClick(area.get(), Qt::Key_Backspace, Qt::ControlModifier); // then the word before
        QCOMPARE(area->text(), QString("three"));
        // A tab is text here, and takes the caret to the next stop.
        area->setText("ab");
        QTest::keyClick(area.get(), Qt::Key_Tab);
        QCOMPARE(area->text(), QString("\tab"));
        const qreal cell = QFontMetricsF(area->font()).horizontalAdvance(QLatin1Char('M'));
        QCOMPARE(area->caretRect().left(), qRound(TextBuffer::TabWidth * cell));
        QTest::keyClick(area.get(), Qt::Key_Right);
        QCOMPARE(area->caretRect().left(), qRound((TextBuffer::TabWidth + 1) * cell));
    }

    void undoRedoAndClipboard()
    {
        area->setText("hello");
        QTest::keyClick(area.get(), Qt::Key_End);
        QTest::keyClicks(area.get(), " world");
        QTest::keyClick(area.get(), Qt::Key_Z, Qt::ControlModifier); // the typing is one step
        QCOMPARE(area->text(), QString("hello"));
        QVERIFY(!area->isModified());
        area->redo();

        QTest::keyClick(area.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(area->selectedText(), QString("hello world"));
        QTest::keyClick(area.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("hello world"));
        area->setSelection(0, 6);
        area->cut();
        QCOMPARE(area->text(), QString("world"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("hello "));
        QTest::keyClick(area.get(), Qt::Key_End);
        QGuiApplication::clipboard()->setText("\r\nline two\r\n");
        QTest::keyClick(area.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(area->text(), QString("world\nline two\n"));
        QCOMPARE(area->caret(), area->text().size());
        area->undo();
        area->undo();
        QCOMPARE(area->text(), QString("hello world"));
    }

    void mouseSelects()
    {
        area->setText("first line\nsecond words here\nthird");
        const QPoint second = pointAt(14); // in "second", after "sec"
        area->setCaret(0);
        QTest::mouseClick(area->viewport(), Qt::LeftButton, {}, second);
        QCOMPARE(area->caret(), 14);
        QVERIFY(!area->hasSelection());
        QTest::mouseClick(area->viewport(), Qt::LeftButton, Qt::ShiftModifier, pointAt(31));
        QCOMPARE(area->caret(), 31);
        area->setSelection(14, 17); // back as it was after the click and shift-click
        QCOMPARE(area->selectedText(), QString("ond words here\nth"));
        // Dragging selects from the press.
        const QPoint from = pointAt(2), to = pointAt(8);
        area->setCaret(20);
        QTest::mousePress(area->viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), area->viewport()->mapToGlobal(QPointF(to)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(area->viewport(), &move);
        QTest::mouseRelease(area->viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(area->selectedText(), QString("rst li"));
        QTest::mouseDClick(area->viewport(), Qt::LeftButton, {}, pointAt(20));
        QCOMPARE(area->selectedText(), QString("words"));
    }

    void largeDocumentScrollsToTheCaret()
    {
        QString text;
        for (int i = 0; i < 400000; ++i)
            text += QStringLiteral("line %1\n").arg(i);
        area->setText(text);
        QCOMPARE(area->lineCount(), 400001);
        const qsizetype at = area->buffer().lineStart(300000);
        area->setSelection(at, 4);
        QCOMPARE(area->selectedText(), QString("line"));
        const QRect caret = area->caretRect();
        QVERIFY(area->viewport()->rect().contains(caret));
        QVERIFY(area->verticalScrollBar()->value() > 299000);
        QVERIFY(!area->grab().isNull());
        const int top = area->verticalScrollBar()->value();
        QTest::keyClick(area.get(), Qt::Key_PageDown);
        QVERIFY(area->verticalScrollBar()->value() > top);
        QVERIFY(area->buffer().lineOf(area->caret()) > 300000);
        QTest::keyClick(area.get(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(area->caret(), text.size());
        QCOMPARE(area->verticalScrollBar()->value(), area->verticalScrollBar()->maximum());
        // Many edits at once (every other line) keep the caret on its text, and are one step.
        area->setCaret(area->buffer().lineStart(1) + 2);
        QList<TextBuffer::Edit> edits;
        for (int line = 0; line < 400000; line += 2)
            edits.append({area->buffer().lineStart(line), 4, "L"});
        area->applyEdits(edits);
        QVERIFY(area->text().startsWith("L 0\nline 1\nL 2\n"));
        QCOMPARE(area->buffer().lineOf(area->caret()), 1);
        QCOMPARE(area->caret(), area->buffer().lineStart(1) + 2);
        area->undo();
        QCOMPARE(area->text(), text);
        // A caret inside a replaced span goes to the end of its replacement.
        area->setText("abcdef");
        area->setSelection(5, -2);
        area->applyEdits({{1, 3, "X"}, {4, 1, "YZ"}});
        QCOMPARE(area->text(), QString("aXYZf"));
        QCOMPARE(area->caret(), 2);
        QCOMPARE(area->selectedText(), QString("YZ"));
    }
};

QTEST_MAIN(TestTextArea)
#include "tst_textarea.moc"
