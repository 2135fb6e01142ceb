#include "RtfReader.h"
#include "RtfWriter.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QColor blue = LogColours::darkBlue();
const QColor green = LogColours::darkGreen();
const QColor red = LogColours::red();
const QColor black = LogColours::black();

// Lines with everything the writer has to escape, in the log's colours and one of another editor.
LogRuns awkwardLines()
{
    return {{QStringLiteral("Command: CWD /C:\\temp\\{braces}\n"), blue},
            {QStringLiteral("250 Réponse: «grün» 5€ 中文 😀\tend\n"), green},
            {QStringLiteral("550 \\par is not a paragraph; \\u233 is not é\n"), red},
            {QStringLiteral("Transfer complete.\n"), black},
            {QStringLiteral("purple from elsewhere, bell:\a, no line end"), QColor(128, 0, 128)}};
}

QString textOf(const LogRuns &runs)
{
    QString text;
    for (const LogRun &run : runs)
        text += run.text;
    return text;
}

} // namespace

class TestRtf : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsTextAndColours()
    {
        const LogRuns lines = awkwardLines();
        const QByteArray document = RtfWriter::document(lines);
        QCOMPARE(RtfReader::read(document), lines);
        // Seven-bit output: every non-ASCII character went out as an escape.
        for (const char c : document)
            QVERIFY(uchar(c) < 0x80);
    }

    void sameColourRunsMergeAndGroupsEndTheirColour()
    {
        const LogRuns split = {{"a\n", blue}, {"b\n", blue}, {"c", green}};
        const LogRuns read = RtfReader::read(RtfWriter::document(split));
        QCOMPARE(read, (LogRuns{{"a\nb\n", blue}, {"c", green}}));
        QCOMPARE(RtfWriter::document(read), RtfWriter::document(split));
        // A colour set inside a group ends with it.
        QCOMPARE(RtfReader::read("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}a{\\cf1 b}c}"),
                 (LogRuns{{"a", black}, {"b", red}, {"c", black}}));
    }

    void readsOtherEditorsDocuments_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("lastColour");

        QTest::newRow("rich edit")
            << QByteArray(
                   "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n"
                   "{\\colortbl ;\\red0\\green0\\blue64;\\red255\\green0\\blue0;}\r\n"
                   "\\viewkind4\\uc1\\pard\\cf1\\f0\\fs17 Command: PWD\\par\r\n"
                   "\\cf2 550 caf\\'e9\\par\r\n}\r\n")
            << QStringLiteral("Command: PWD\n550 café\n") << red;
        QTest::newRow("office suite")
            << QByteArray("{\\rtf1\\ansi\\deff3\\adeflang1025\r\n"
                          "{\\fonttbl{\\f0\\froman\\fprq2\\fcharset0 Times New Roman;}}\r\n"
                          "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green64\\blue0;}\r\n"
                          "{\\stylesheet{\\s0\\snext0 Default;}}{\\*\\generator Some Writer/7.4}\r\n"
                          "{\\info{\\title Not text}{\\author Nobody}}{\\*\\pgdsctbl{\\pgdsc0 Default;}}\r\n"
                          "\\pard\\plain \\s0{\\cf2\\rtlch \\ltrch\\loch 226 \\u8364\\'80 "
                          "\\uc2\\u8220\\'93\\'93ok\\u8221?}\\par\r\n"
                          "{\\*\\shppict{\\pict\\pngblip 89504e47}}{\\nonshppict{\\pict\\wmetafile8 0100}}"
                          "\\pard\\plain A\\tab B\\line C\\~D\\emdash\\par}")
            << QStringLiteral("226 € “ok”\nA\tB\nC\u00A0D\u2014\n") << black;
        QTest::newRow("table without default entry")
            << QByteArray("{\\rtf1{\\colortbl\\red0\\green64\\blue0;}\\cf0 green\\cf9 unknown is black}")
            << QStringLiteral("greenunknown is black") << black;
        QTest::newRow("binary data and fields")
            << QByteArray("{\\rtf1 a{\\*\\blob\\bin4 }}{x}b{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}}")
            << QStringLiteral("ablink") << black;
    }

    void readsOtherEditorsDocuments()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, text);
        QFETCH(QColor, lastColour);
        const LogRuns runs = RtfReader::read(document);
        QCOMPARE(textOf(runs), text);
        QCOMPARE(runs.constLast().colour.rgb(), lastColour.rgb());
    }

    void anythingElseLoadsAsPlainText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8") << QByteArray("Résumé\r\nline 2\rline 3\n") << QStringLiteral("Résumé\nline 2\nline 3\n");
        QTest::newRow("windows-1252") << QByteArray("caf\xe9 \x80") << QStringLiteral("café €");
        QTest::newRow("braces but no rtf") << QByteArray("{\\rtx1 a}") << QStringLiteral("{\\rtx1 a}");
        QTest::newRow("empty") << QByteArray() << QString();
    }

    void anythingElseLoadsAsPlainText()
    {
        QFETCH(QByteArray, bytes);
        const LogRuns runs = RtfReader::read(bytes);
        QTEST(textOf(runs), "text");
        for (const LogRun &run : runs)
            QCOMPARE(run.colour.rgb(), black.rgb());
    }

    void brokenDocumentsNeverFail()
    {
        const QByteArray document = RtfWriter::document(awkwardLines()) +
                                    "{\\*\\x{\\bin99999999 }}{\\u-4\\uc99999\\cf-5\\u99999999999 \\'\\'4}";
        const QString full = textOf(RtfReader::read(document));
        for (qsizetype end = 0; end <= document.size(); ++end)
            QVERIFY(textOf(RtfReader::read(document.left(end))).size() <= full.size() + 1);

        QRandomGenerator random(20240601);
        for (int round = 0; round < 2000; ++round) {
            QByteArray mutated = document;
            for (int i = 0; i < 8; ++i)
                mutated[random.bounded(int(mutated.size()))] = "{}\\'*0a;\xff"[random.bounded(9)];
            RtfReader::read(mutated);
            QByteArray noise(random.bounded(200), '\0');
            random.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
            RtfReader::read("{\\rtf1" + noise);
        }
        const QByteArray deep = "{\\rtf1" + QByteArray(200000, '{') + "deep" + QByteArray(200000, '}') + "}";
        QCOMPARE(textOf(RtfReader::read(deep)), QStringLiteral("deep"));
    }

    // unrtf is an independent reader: it must see our colours, text and characters.
    void unrtfReadsOurDocuments()
    {
        const QString unrtf = QStandardPaths::findExecutable(QStringLiteral("unrtf"));
        if (unrtf.isEmpty())
            QSKIP("unrtf is not installed");
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("log.rtf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(RtfWriter::document(awkwardLines()) + "\r\n");
        file.close();
        QProcess process;
        process.start(unrtf, {QStringLiteral("--html"), file.fileName()});
        QVERIFY(process.waitForFinished(10000));
        const QString html = QString::fromUtf8(process.readAllStandardOutput());
        for (const char *seen : {"Command: CWD /C:\\temp\\{braces}", "#000040", "#004000", "#ff0000", "#800080"})
            QVERIFY2(html.contains(QLatin1String(seen)), qPrintable(html));
        QVERIFY(html.contains(QLatin1String("R&eacute;ponse")) || html.contains(QStringLiteral("Réponse")));
    }
};

QTEST_GUILESS_MAIN(TestRtf)
#include "TestRtf.moc"
