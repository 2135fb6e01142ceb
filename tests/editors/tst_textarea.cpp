// The editor's text box as a user drives it (keys, mouse, clipboard, undo, scrolling) and its line
// store: edits (one or many at once), undo and redo, line ends.
#include "TextArea.h"
#include "TextBuffer.h"

#include <QApplication>
#include <QClipboard>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

// What the edits make of a plain string: the reference the line store is checked against.
QString applied(QString text, const QList<TextBuffer::Edit> &edits)
{
    for (qsizetype i = edits.size() - 1; i >= 0; --i)
        text.replace(edits[i].start, edits[i].length, edits[i].text);
    return text;
}

// Checks the line index against the text: starts, lines and positions agree.
void checkLines(const TextBuffer &buffer, const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    QCOMPARE(buffer.lineCount(), lines.size());
    QCOMPARE(buffer.size(), text.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QCOMPARE(buffer.line(i), lines[i]);
        QCOMPARE(buffer.lineStart(i), start);
        QCOMPARE(buffer.lineOf(start), i);
        QCOMPARE(buffer.lineOf(start + lines[i].size()), i);
        start += lines[i].size() + 1;
    }
}

} // namespace

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
        for (int i = 0; i < 2; ++i)
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
        QVERIFY(area->text() == "abcde\nXhij" && area->lineCount() == 2 && area->caret() == 6);
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

    // The edge cases; joins and splits of lines are checked by the random edits below.
    void editsAtTheBounds()
    {
        TextBuffer b;
        checkLines(b, "");
        QVERIFY(b.mid(0, 5).isEmpty() && b.widestLine() == 0 && !b.canUndo() && !b.canRedo() && !b.isModified());
        QCOMPARE(b.undo(), -1);
        QCOMPARE(b.replace(0, 0, QString()), -1); // nothing to do, nothing to undo
        QVERIFY(!b.canUndo());
        b.setText("ab\ncd\nef");
        QCOMPARE(b.replace(1, 4, "X"), 2); // joins lines; the caret goes after the new text
        b.replace(1, 1, "1\n2\n3");
        QCOMPARE(b.mid(1, 4), QString("1\n2\n"));
        QCOMPARE(b.mid(5, 100), QString("3\nef")); // clamped to the end
    }

    void lineEndsAsTheTextBoxTakesThem()
    {
        // LF stays; CR LF, a lone CR and the paragraph separator each end a line, whether the
        // text is loaded or typed in.
        TextBuffer b;
        b.setText("one\ntwo\n");
        QCOMPARE(b.text(), QString("one\ntwo\n"));
        b.setText(u"a\r\nb\rc\u2029d\r\n\r\n"_qs);
        QCOMPARE(b.text(), QString("a\nb\nc\nd\n\n"));
        QCOMPARE(b.textWithLineEnds(), u"a\r\nb\rc\u2029d\r\n\r\n"_qs); // each line keeps its own
        b.replace(1, 0, "\r\nx\r");
        QCOMPARE(b.text(), QString("a\nx\n\nb\nc\nd\n\n"));
        checkLines(b, b.text());
        // Breaks typed in are "\n"; one that replaces another takes its kind; the edited line keeps its end.
        QCOMPARE(b.textWithLineEnds(), u"a\nx\n\r\nb\rc\u2029d\r\n\r\n"_qs);
        b.replace(5, 3, "B\nC");
        QCOMPARE(b.textWithLineEnds(), u"a\nx\n\r\nB\rC\u2029d\r\n\r\n"_qs);
        QCOMPARE(TextBuffer::normalized("no line ends"), QString("no line ends"));
    }

    void typingIsOneStepUntilSaved()
    {
        TextBuffer b;
        b.setText("ab");
        qsizetype at = 1;
        for (const QChar c : QString("xyz"))
            at = b.replace(at, 0, c, true);
        QCOMPARE(b.text(), QString("axyzb"));
        QCOMPARE(at, 4);
        b.setModified(false); // saved here: the next typing is a new step
        b.replace(at, 0, "!", true);
        QCOMPARE(b.undo(), 4);
        QVERIFY(!b.isModified());
        QCOMPARE(b.undo(), 1);
        QCOMPARE(b.text(), QString("ab"));
        QVERIFY(b.isModified()); // no longer the saved text
        b.redo();
        QVERIFY(!b.isModified());
        // A new edit after an undo drops the steps that could be redone.
        b.undo();
        b.replace(0, 0, "new", false);
        QVERIFY(!b.canRedo());
        QVERIFY(b.isModified());
        QCOMPARE(b.text(), QString("newab"));
        // Undo puts the caret after the text that came back, after the first span of a Replace all.
        b.setText(QStringLiteral("abcdef\nghi"));
        b.replace(2, 1, QStringLiteral("hello"));
        QCOMPARE(b.undo(), qsizetype(3));
        b.apply({{1, 1, QStringLiteral("X\nY")}, {8, 1, QStringLiteral("Z")}});
        QCOMPARE(b.undo(), qsizetype(2));
        QCOMPARE(b.text(), QStringLiteral("abcdef\nghi"));
    }

    void widestLineFollowsEdits()
    {
        TextBuffer b;
        b.setText("ab\n\tc\nlongest line");
        QCOMPARE(TextBuffer::columns(u"\tc"), 9);
        QCOMPARE(TextBuffer::columns(u"abc\td"), 9);
        QCOMPARE(b.widestLine(), 12);
        b.replace(b.lineStart(2), 12, "x"); // the widest goes
        QCOMPARE(b.widestLine(), 9);
        b.replace(0, 0, "\t\t");
        QCOMPARE(b.widestLine(), 18);
    }

    void randomEditsMatchAPlainString()
    {
        // Many random edit lists over short texts rich in line ends of every kind, each undone
        // and redone: undo gives back the line ends too.
        QRandomGenerator random(1234);
        auto randomText = [&](int most, const QString &alphabet = QStringLiteral("ab\n\n")) {
            QString s;
            for (int n = int(random.bounded(most + 1)); n > 0; --n)
                s.append(alphabet[random.bounded(int(alphabet.size()))]);
            return s;
        };
        for (int round = 0; round < 400; ++round) {
            TextBuffer b;
            const QString start = randomText(30, u"ab\n\n\r\u2029"_qs);
            b.setText(start);
            QStringList history{TextBuffer::normalized(start)}, withEnds{start};
            for (int step = 0; step < 4; ++step) {
                const QString before = b.text();
                QList<TextBuffer::Edit> edits;
                qsizetype at = 0;
                while (at <= before.size() && random.bounded(3) != 0) {
                    const qsizetype s = at + random.bounded(int(before.size() - at + 1));
                    const qsizetype len = random.bounded(int(before.size() - s + 1));
                    edits.append({s, std::min<qsizetype>(len, 4), randomText(3)});
                    at = s + edits.back().length;
                }
                const QString after = applied(before, edits);
                const bool stepped = b.apply(edits) >= 0;
                QCOMPARE(b.text(), after);
                checkLines(b, after);
                if (stepped) {
                    history.append(after);
                    withEnds.append(b.textWithLineEnds());
                }
                QCOMPARE(TextBuffer::normalized(b.textWithLineEnds()), after);
            }
            for (qsizetype i = history.size() - 1; i > 0; --i) {
                QCOMPARE(b.text(), history[i]);
                b.undo();
                checkLines(b, history[i - 1]);
            }
            QCOMPARE(b.textWithLineEnds(), start);
            while (b.canRedo())
                b.redo();
            QCOMPARE(b.text(), history.last());
            QCOMPARE(b.textWithLineEnds(), withEnds.last());
        }
    }
};

QTEST_MAIN(TestTextArea)
#include "tst_textarea.moc"
