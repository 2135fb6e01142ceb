// The text editor with its find and replace windows, and the image viewer, opened from the remote
// list against a real local FTP server.
#include "ImageFiles.h"
#include "TestSupport.h"
#include "app/MainWindowFixture.h"
#include "formascii.h"
#include "formimage.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

class TestEditorWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;
    std::unique_ptr<MainWindowFixture> f; // connected before each test
    static constexpr const char *endsBytes = "one\rtwo\xE2\x80\xA9three\nfour\rfive\xE2\x80\xA9";

    static QByteArray encoded(const QSize &size, const char *format)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format) ? bytes : QByteArray();
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    // Double-clicks the file and lets the editor's one-second timer fire at once.
    formascii *open(const QString &name)
    {
        enter(name);
        formascii *editor = f->window->remotePane().textEditor();
        if (editor && editor->timeLoad->isActive())
            editor->timeLoad_Timer();
        flushDeletes();
        return f->window->remotePane().textEditor();
    }

    // Closes the editor with `choice` ready for the question; true when it went.
    bool closedAnswering(QPointer<formascii> &editor, int choice)
    {
        f->prompter->choices = {choice};
        editor->close();
        flushDeletes();
        return !editor;
    }

    void enter(const QString &name) // a double click in the remote list
    {
        f->selectRemote(name);
        f->window->remotePane().ListView1_DblClick();
    }

    QByteArray bothIndexes() const { return server->readFile("index.html") + '|' + server->readFile("sub/index.html"); }
    QString lastMessage() const { return f->prompter->messageTexts().value(f->prompter->messageTexts().size() - 1); }

    formimage *view(const QString &name)
    {
        enter(name);
        flushDeletes();
        return f->window->remotePane().imageViewer();
    }

    // Opens the picture and checks that it shows without a message, with its information line.
    formimage *shows(const QString &name, const QString &info)
    {
        formimage *viewer = view(name);
        return viewer && f->prompter->shown.isEmpty() && viewer->lblImgInfo->text() == info ? viewer : nullptr;
    }

    static QRect shown(formimage *viewer) { return viewer->Image1->geometry(); }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        QVERIFY(server->writeFile("notes.txt", "first line\nsecond line\n"));
        QVERIFY(server->writeFile("page.HTML", "<p>Text and text</p>"));
        QVERIFY(server->writeFile("latin.txt", "caf\xE9 \x80 \x81 na\xEFve\xA0!\nchange me\nlast \x92 line\n"));
        QVERIFY(server->writeFile("gone.txt", "soon removed"));
        QVERIFY(server->writeFile("other.txt", "another file\n"));
        QVERIFY(server->writeFile("ends.txt", endsBytes));
        QVERIFY(server->writeFile("index.html", "top\n") && server->writeFile("sub/index.html", "below\n"));
        // Larger than the editor takes; sparse, and never fetched.
        QFile huge(server->pathOf("huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize((qint64(64) << 20) + 1));
        // A third of the 560 × 400 viewing area, and a picture larger than it.
        QVERIFY(server->writeFile("third.png", encoded(QSize(186, 133), "png")));
        QVERIFY(server->writeFile("big.bmp", encoded(QSize(600, 500), "bmp")));
        QVERIFY(server->writeFile("broken.pcx", QByteArray("\x0a\x05\x01\x08 not really a picture")));
        QVERIFY(server->writeFile("gone.gif", "soon removed"));
        const ImageFiles::Tga shot{.type = 10, .width = 7, .height = 5, .pixels = ImageFiles::noise(105, 1, 2)};
        QVERIFY(server->writeFile("SHOT.TGA", shot.bytes()));
    }
    void init()
    {
        f = std::make_unique<MainWindowFixture>();
        QVERIFY(f->connect(*server));
    }
    void cleanup() { f.reset(); }

    void opensLoadsEditsAndSavesOnTheServer()
    {
        enter("notes.txt");
        formascii *editor = f->window->remotePane().textEditor();
        QVERIFY(editor);
        QCOMPARE(editor->windowTitle(), QString("Vestrigal - ASCII Editor - Loading..."));
        QTRY_COMPARE(editor->windowTitle(), QString("Vestrigal - ASCII Editor - notes.txt"));
        QCOMPARE(editor->lblInfo->text(), QString("TXT file, 23 characters")); // bytes of the copy
        QCOMPARE(editor->text(), QString("first line\nsecond line\n"));
        QVERIFY(QFile::exists(f->state.folders.temp + "notes.txt"));

        // One editor at a time: another text file only brings it to the front.
        QCOMPARE(open("other.txt"), editor);
        QCOMPARE(editor->fileName(), QString("notes.txt"));

        editor->setText("first line\nchanged\nthird");
        editor->findChild<QAction *>("menu_save")->trigger();
        QVERIFY(f->prompter->shown.isEmpty());
        QCOMPARE(server->readFile("notes.txt"), QByteArray("first line\nchanged\nthird\n"));
        QCOMPARE(editor->lblInfo->text(), QString("TXT file, 24 characters")); // the text, without the added end
        QVERIFY(!editor->txtArea->isModified());
        // Saving again adds no second line end to a file that has one.
        editor->btnSave_Click();
        QCOMPARE(server->readFile("notes.txt"), QByteArray("first line\nchanged\nthird\n"));
    }

    void windows1252KeepsTheBytesOfOtherLines()
    {
        formascii *editor = open("latin.txt");
        QVERIFY(editor);
        QVERIFY(editor->text().startsWith(QString::fromUtf8("café € ")));
        // The second line typed anew, é from the keyboard.
        editor->txtArea->setSelection(editor->txtArea->buffer().lineStart(1), 9);
        QTest::keyClicks(editor->txtArea, "changed ");
        QTest::sendKeyEvent(QTest::Click, editor->txtArea, Qt::Key_Eacute, u"\u00E9"_qs, Qt::NoModifier);
        editor->btnSave_Click();
        QCOMPARE(server->readFile("latin.txt"),
                 QByteArray("caf\xE9 \x80 \x81 na\xEFve\xA0!\nchanged \xE9\nlast \x92 line\n"));
        // A character the encoding cannot hold is not saved, and the text stays.
        editor->setText(editor->text() + QString::fromUtf8("π"));
        editor->btnSave_Click();
        QVERIFY(lastMessage().contains("Windows-1252") && editor->text().endsWith(QString::fromUtf8("π")));
        QVERIFY(!server->readFile("latin.txt").contains("\xCF\x80"));
    }

    void failedFetchIsReported()
    {
        QVERIFY(QFile::remove(server->pathOf("gone.txt")));
        QVERIFY(!open("gone.txt"));
        QCOMPARE(f->prompter->messageTexts(), QStringList{"Could not open ASCII file for viewing."});
        QCOMPARE(f->prompter->shown.last().icon, Prompter::Icon::Critical);

        QVERIFY(!open("huge.txt"));
        QCOMPARE(lastMessage(), QString("The file is larger than 64 MiB, too large to edit here."));
        QCOMPARE(QFileInfo(f->state.folders.temp + "huge.txt").size(), 0); // only the listing's placeholder
    }

    // The file stays the one opened, in its folder, whatever folder is listed later; a name typed
    // into Open is in the folder listed at that moment.
    void saveGoesToTheFolderTheFileCameFrom()
    {
        formascii *editor = open("index.html");
        QVERIFY(editor);
        enter("sub");
        QCOMPARE(f->state.currentRemoteFolder, QString("/sub/"));
        editor->setText("edited top");
        editor->btnSave_Click();
        QCOMPARE(bothIndexes(), QByteArray("edited top\n|below\n"));
        editor->btnOpen_Click(); // an empty answer changes nothing
        QCOMPARE(f->prompter->prompts, QStringList{"Please enter the name of the remote file to be loaded."});
        QCOMPARE(editor->text(), QString("edited top"));
        f->prompter->inputs << "index.html";
        editor->btnOpen_Click();
        QCOMPARE(editor->text(), QString("below\n"));
        QCOMPARE(editor->windowTitle() + " | " + editor->lblInfo->text(),
                 QString("Vestrigal - ASCII Editor - index.html | HTML file, 6 characters"));
        enter("..");
        editor->setText("edited below");
        editor->btnSave_Click();
        QCOMPARE(bothIndexes(), QByteArray("edited top\n|edited below\n"));
        QVERIFY(server->writeFile("index.html", "top\n") && server->writeFile("sub/index.html", "below\n"));
        // Save copy as writes the text to a local file.
        f->prompter->fileNames << f->home.filePath("copy.html");
        editor->btnSaveas_Click();
        QCOMPARE(TestSupport::contentOf(f->home.filePath("copy.html")), QByteArray("edited below"));
    }

    // Edits are never dropped without a question: a failed Open keeps them, closing asks.
    void editsAreKeptUntilTheUserLetsThemGo()
    {
        QPointer<formascii> editor = open("index.html");
        QVERIFY(editor);
        editor->setText("my edits");
        f->prompter->inputs << "misspelt.html";
        f->prompter->choices << 1; // Discard, asked before Open
        editor->btnOpen_Click();
        flushDeletes();
        QVERIFY(editor && editor->isVisible() && editor->text() == "my edits" && editor->fileName() == "index.html");
        QCOMPARE(lastMessage(), QString("Could not open ASCII file for viewing."));
        // Cancel keeps the editor, so does a Save that fails; a Save that works closes it.
        QVERIFY(!closedAnswering(editor, 2));
        QCOMPARE(f->prompter->choiceButtons.last(), (QStringList{"Save", "Discard", "Cancel"}));
        QVERIFY(lastMessage().contains("index.html"));
        f->window->remotePane().btnDisconnect_Click();
        QVERIFY(!closedAnswering(editor, 0));
        QCOMPARE(lastMessage(), QString("Could not save file to server."));
        QVERIFY(editor->text() == "my edits" && server->readFile("index.html") == "top\n");
        QVERIFY(f->connect(*server)); // the same editor saves through the new connection
        QVERIFY(closedAnswering(editor, 0));
        QCOMPARE(server->readFile("index.html"), QByteArray("my edits\n"));
        // Discard closes without saving; unmodified text closes without a question.
        editor = open("index.html");
        editor->setText("dropped");
        QVERIFY(closedAnswering(editor, 1));
        QCOMPARE(server->readFile("index.html"), QByteArray("my edits\n"));
        const qsizetype asked = f->prompter->choiceButtons.size();
        editor = open("index.html");
        QVERIFY(closedAnswering(editor, 2));
        QCOMPARE(f->prompter->choiceButtons.size(), asked);
        QVERIFY(server->writeFile("index.html", "top\n"));
    }

    // Every line end the text box shows as a break is written back as it came, edited or not.
    void lineEndsAreWrittenBackAsTheyCame()
    {
        formascii *editor = open("ends.txt");
        QVERIFY(editor);
        QCOMPARE(editor->text(), QString("one\ntwo\nthree\nfour\nfive\n"));
        editor->btnSave_Click();
        QCOMPARE(server->readFile("ends.txt"), QByteArray(endsBytes));
        // Line three retyped, and a line added after line one; the other ends stay.
        editor->txtArea->setSelection(editor->txtArea->buffer().lineStart(2), 5);
        QTest::keyClicks(editor->txtArea, "THREE");
        editor->txtArea->setSelection(3, 0);
        QTest::keyClick(editor->txtArea, Qt::Key_Return);
        QTest::keyClicks(editor->txtArea, "new");
        editor->btnSave_Click();
        QCOMPARE(server->readFile("ends.txt"), QByteArray("one\nnew\rtwo\xE2\x80\xA9THREE\nfour\rfive\xE2\x80\xA9"));
        editor->txtArea->undo();
        editor->txtArea->undo();
        editor->btnSave_Click();
        QCOMPARE(server->readFile("ends.txt"), QByteArray("one\rtwo\xE2\x80\xA9THREE\nfour\rfive\xE2\x80\xA9"));
    }

    void tabFindAndReplace()
    {
        formascii *editor = open("page.HTML");
        QVERIFY(editor);
        // Tab: three blanks at the start of the selection, which is kept.
        editor->txtArea->setSelection(3, 4);
        QTest::keyClick(editor->txtArea, Qt::Key_Tab);
        QCOMPARE(editor->text(), QString("<p>   Text and text</p>"));
        QCOMPARE(editor->txtArea->selectedText(), QString("Text"));

        editor->btnSearch_Click();
        formsearch *search = editor->searchWindow();
        QVERIFY(search && search->isVisible() && search->optDown->isChecked());
        search->txtSearch->setText("text");
        search->btnNext_Click(); // without Search: the first
        QCOMPARE(editor->txtArea->selectionStart(), 15);
        QCOMPARE(editor->txtArea->selectedText(), QString("text"));
        QVERIFY(!search->isVisible());
        search->btnSearch_Click();
        QCOMPARE(search->counter(), 1);
        search->optUp->click();
        search->btnNext_Click();
        QCOMPARE(lastMessage(), QString("There are no more occurences this direction."));
        QVERIFY(search->isVisible() && editor->isVisible());

        editor->findChild<QAction *>("menu_replace")->trigger();
        formreplace *replace = editor->replaceWindow();
        QVERIFY(replace && replace->isVisible());
        replace->txtSearch->setText("t");
        replace->txtReplace->setText("T");
        replace->btnReplaceall_Click();
        QCOMPARE(editor->text(), QString("<p>   TexT and TexT</p>"));
        QCOMPARE(lastMessage(), QString("The text has been replaced. 3 occurences were found."));
        editor->findChild<QAction *>("menu_undo")->trigger(); // one step
        QCOMPARE(editor->text(), QString("<p>   Text and text</p>"));
        replace->btnReplace_Click();
        QCOMPARE(editor->text(), QString("<p>   TexT and text</p>"));
        // With fewer replacements than lines only the replaced spans are edited, as one step,
        // and a replacement may make lines.
        editor->setText("a, b\nc, d\ne\nf\n");
        replace->txtSearch->setText(", ");
        replace->txtReplace->setText("\n");
        replace->btnReplaceall_Click();
        QCOMPARE(editor->text(), QString("a\nb\nc\nd\ne\nf\n"));
        QCOMPARE(editor->txtArea->lineCount(), 7);
        QCOMPARE(lastMessage(), QString("The text has been replaced. 2 occurences were found."));
        editor->txtArea->undo();
        QCOMPARE(editor->text(), QString("a, b\nc, d\ne\nf\n"));
        // Escape closes the search and the replace windows, from their fields too.
        QTest::keyClick(replace->txtSearch, Qt::Key_Escape);
        QVERIFY(!replace->isVisible());
        search->show();
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(!search->isVisible());
        f->prompter->choices << 1; // Discard the changes
        editor->findChild<QAction *>("menu_exit")->trigger();
        flushDeletes();
        QVERIFY(!f->window->remotePane().textEditor());
    }

    void zoomStepsInWholeMultiplesInsideTheAreaAndNotForLargerPictures()
    {
        formimage *viewer = shows("third.png", "PNG image, 186x133 pixels");
        QVERIFY(viewer);
        const QString copy = f->state.folders.temp + "third.png";
        QCOMPARE(viewer->picturePath(), copy);
        QCOMPARE(shown(viewer), QRect(187, 133, 186, 133));

        // Each button or menu item and the picture's place after it: 4× would not fit, and the zoom
        // never goes below the original size.
        const QRect one(187, 133, 186, 133), two(94, 67, 372, 266), three(1, 0, 558, 399);
        const QList<std::pair<const char *, QRect>> steps{
            {"btnZoomPlus", two}, {"menu_zoomp", three}, {"btnZoomPlus", three}, {"btnZoomMinus", two},
            {"menu_zoomm", one},  {"btnZoomMinus", one}, {"btnZoomPlus", two},   {"btnZoomPlus", three},
            {"btnOri", one},      {"btnZoomPlus", two},  {"menu_restore", one}};
        for (const auto &[control, place] : steps) {
            if (auto *button = viewer->findChild<QPushButton *>(control))
                button->click();
            else
                viewer->findChild<QAction *>(control)->trigger();
            QCOMPARE(shown(viewer), place);
            if (place == three) { // copy after zooming puts the picture at its own size on the clipboard
                viewer->btnCopy_Click();
                QCOMPARE(QApplication::clipboard()->image().size(), QSize(186, 133));
                QCOMPARE(QApplication::clipboard()->image().pixel(0, 0), qRgb(255, 0, 0));
            }
        }

        // One viewer at a time: another picture brings the open one to the front, unchanged.
        QCOMPARE(view("big.bmp"), viewer);
        QCOMPARE(viewer->picturePath(), copy);
        viewer->findChild<QAction *>("menu_exit")->trigger();
        flushDeletes();
        QVERIFY(!f->window->remotePane().imageViewer());

        // A picture larger than the area is centred and cut, whatever the zoom buttons say.
        viewer = shows("big.bmp", "BMP image, 600x500 pixels");
        QVERIFY(viewer);
        for (auto click : {&formimage::btnOri_Click, &formimage::btnZoomPlus_Click, &formimage::btnZoomMinus_Click}) {
            (viewer->*click)();
            QCOMPARE(shown(viewer), QRect(-20, -50, 600, 500));
        }
        // What shows is the middle of the picture, cut at the area's edges.
        const QImage seen = viewer->Picture1->grab().toImage();
        QCOMPARE(seen.size(), QSize(560, 400));
        QCOMPARE(seen.pixel(0, 0), QColor(Qt::darkCyan).rgb());
    }

    // A picture that cannot be decoded, or fetched, is reported and the viewer closes; the program
    // goes on, and our decoders serve the viewer whatever the name's case.
    void failuresAreReportedAndOurDecodersServeTheViewer()
    {
        QVERIFY(!view("broken.pcx"));
        QVERIFY(QFile::remove(server->pathOf("gone.gif")));
        QVERIFY(!view("gone.gif"));
        QCOMPARE(f->prompter->messageTexts(), (QStringList{"Could not load picture.", "Could not load picture."}));
        QCOMPARE(f->prompter->shown.last().icon, Prompter::Icon::Critical);
        f->prompter->shown.clear();
        QVERIFY(shows("SHOT.TGA", "TGA image, 7x5 pixels"));
    }
};

QTEST_MAIN(TestEditorWindows)
#include "tst_editorwindows.moc"
