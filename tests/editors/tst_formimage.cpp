// The image viewer opened from the remote list, against a real local FTP server.
#include "ImageFiles.h"
#include "app/MainWindowFixture.h"
#include "formimage.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>

class TestFormImage : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;
    std::unique_ptr<MainWindowFixture> f; // connected before each test

    static QByteArray encoded(const QSize &size, const char *format)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    }

    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    formimage *open(const QString &name)
    {
        f->selectRemote(name);
        f->window->remotePane().ListView1_DblClick();
        flushDeletes();
        return f->window->remotePane().imageViewer();
    }

    // Opens the picture and checks that it shows without a message, with its information line.
    formimage *shows(const QString &name, const QString &info)
    {
        formimage *viewer = open(name);
        return viewer && f->prompter->shown.isEmpty() && viewer->lblImgInfo->text() == info ? viewer : nullptr;
    }

    static QRect shown(formimage *viewer) { return viewer->Image1->geometry(); }

private slots:
    void initTestCase()
    {
        server = std::make_unique<TestFtpServer>();
        QVERIFY2(server->isRunning(), qPrintable(server->errorText()));
        // A third of the 560 × 400 viewing area, and a picture larger than it.
        QVERIFY(server->writeFile("third.png", encoded(QSize(186, 133), "png")));
        QVERIFY(server->writeFile("big.bmp", encoded(QSize(600, 500), "bmp")));
        QVERIFY(server->writeFile("broken.pcx", QByteArray("\x0a\x05\x01\x08 not really a picture")));
        QVERIFY(server->writeFile("gone.gif", "soon removed"));
        ImageFiles::Tga tga;
        tga.type = 10;
        tga.width = 7;
        tga.height = 5;
        tga.pixels = ImageFiles::noise(7 * 5 * 3, 1, 2);
        QVERIFY(server->writeFile("SHOT.TGA", tga.bytes()));
        ImageFiles::Pcx pcx; // stored as it is, without runs
        pcx.runLength = false;
        pcx.bitsPerPixel = 4;
        pcx.width = 9;
        pcx.height = 4;
        pcx.pixels = ImageFiles::noise(5 * 4, 2);
        QVERIFY(server->writeFile("plain.pcx", pcx.bytes()));
    }
    void init()
    {
        f = std::make_unique<MainWindowFixture>();
        QVERIFY(f->connect(*server));
    }
    void cleanup() { f.reset(); }

    void zoomStepsInWholeMultiplesInsideTheArea()
    {
        formimage *viewer = shows("third.png", "PNG image, 186x133 pixels");
        QVERIFY(viewer);
        const QString copy = f->state.folders.temp + "third.png";
        QCOMPARE(viewer->picturePath(), copy);
        QCOMPARE(viewer->windowTitle(), "Vestrigal - Image Viewer - " + copy);
        QCOMPARE(server->readFile("third.png"), [&] {
            QFile file(copy);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }());
        QCOMPARE(viewer->Picture1->size(), QSize(560, 400));
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
        QCOMPARE(open("big.bmp"), viewer);
        QCOMPARE(viewer->picturePath(), copy);
        viewer->findChild<QAction *>("menu_exit")->trigger();
        flushDeletes();
        QVERIFY(!f->window->remotePane().imageViewer());
    }

    void largerPictureIsCentredCutAndDoesNotZoom()
    {
        formimage *viewer = shows("big.bmp", "BMP image, 600x500 pixels");
        QVERIFY(viewer);
        const QRect centred(-20, -50, 600, 500);
        QCOMPARE(shown(viewer), centred);
        viewer->btnZoomPlus_Click();
        QCOMPARE(shown(viewer), centred);
        viewer->btnZoomMinus_Click();
        QCOMPARE(shown(viewer), centred);
        // What shows is the middle of the picture, cut at the area's edges.
        const QImage seen = viewer->Picture1->grab().toImage();
        QCOMPARE(seen.size(), QSize(560, 400));
        QCOMPARE(seen.pixel(0, 0), QColor(Qt::darkCyan).rgb());
    }

    void ourDecodersServeTheViewerWhateverTheCase()
    {
        formimage *viewer = shows("SHOT.TGA", "TGA image, 7x5 pixels");
        QVERIFY(viewer);
        viewer->close();
        flushDeletes();
        QVERIFY(shows("plain.pcx", "PCX image, 9x4 pixels"));
    }

    // A picture that cannot be decoded, or fetched, is reported and the viewer closes; the
    // program goes on and opens the next picture.
    void failuresAreReportedAndTheProgramGoesOn()
    {
        QVERIFY(!open("broken.pcx"));
        QCOMPARE(f->prompter->messageTexts(), QStringList{"Could not load picture."});
        QCOMPARE(f->prompter->shown.last().icon, Prompter::Icon::Critical);
        QVERIFY(QFile::remove(server->pathOf("gone.gif")));
        QVERIFY(!open("gone.gif"));
        QCOMPARE(f->prompter->messageTexts().size(), 2);
        QCOMPARE(f->prompter->messageTexts().last(), QString("Could not load picture."));
        QVERIFY(f->state.connected());
        QVERIFY(open("third.png"));
        QCOMPARE(f->prompter->messageTexts().size(), 2);
    }
};

QTEST_MAIN(TestFormImage)
#include "tst_formimage.moc"
