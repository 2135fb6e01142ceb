// The editor's line store: edits (one or many at once), undo and redo, line ends.
#include "TextBuffer.h"

#include <QRandomGenerator>
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

class TestTextBuffer : public QObject
{
    Q_OBJECT

private slots:
    void editsAcrossLineEnds()
    {
        TextBuffer b;
        b.setText("ab\ncd\nef");
        QCOMPARE(b.replace(1, 4, "X"), 2); // joins lines; the caret goes after the new text
        checkLines(b, "aX\nef");
        b.replace(1, 1, "1\n2\n3");
        checkLines(b, "a1\n2\n3\nef");
        QCOMPARE(b.mid(1, 4), QString("1\n2\n"));
        QCOMPARE(b.mid(5, 100), QString("3\nef")); // clamped to the end
        b.replace(0, b.size(), QString());         // everything removed, then the empty text written to
        b.replace(0, 0, "x\n");
        checkLines(b, "x\n");
    }

    void emptyDocument()
    {
        TextBuffer b;
        checkLines(b, "");
        QCOMPARE(b.text(), QString());
        QCOMPARE(b.mid(0, 5), QString());
        QCOMPARE(b.widestLine(), 0);
        QVERIFY(!b.canUndo() && !b.canRedo() && !b.isModified());
        QCOMPARE(b.undo(), -1);
        QCOMPARE(b.replace(0, 0, QString()), -1); // nothing to do, nothing to undo
        QVERIFY(!b.canUndo());
        b.setText(QString());
        checkLines(b, "");
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

    void undoPutsTheCaretAfterWhatCameBack()
    {
        TextBuffer b;
        b.setText(QStringLiteral("abcdef\nghi"));
        b.replace(2, 1, QStringLiteral("hello"));
        QCOMPARE(b.text(), QStringLiteral("abhellodef\nghi"));
        QCOMPARE(b.undo(), qsizetype(3)); // after the "c" that came back
        // Replace all: after the first occurrence restored.
        b.apply({{1, 1, QStringLiteral("X\nY")}, {8, 1, QStringLiteral("Z")}});
        QCOMPARE(b.text(), QStringLiteral("aX\nYcdef\ngZi"));
        QCOMPARE(b.undo(), qsizetype(2));
        QCOMPARE(b.text(), QStringLiteral("abcdef\nghi"));
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

QTEST_GUILESS_MAIN(TestTextBuffer)
#include "tst_textbuffer.moc"
