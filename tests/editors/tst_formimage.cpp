// The image viewer opened from the remote list, against a real local FTP server.
#include "ImageFiles.h"
#include "app/MainWindowFixture.h"
#include "formimage.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QLabel>

class TestFormImage : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestFtpServer> server;

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

    static formimage *open(MainWindowFixture &f, const QString &name)
    {
        f.selectRemote(name);
        f.window->remotePane().ListView1_DblClick();
        flushDeletes();
        return f.window->remotePane().imageViewer();
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

    void zoomStepsInWholeMultiplesInsideTheArea()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        formimage *viewer = open(f, "third.png");
        QVERIFY(viewer);
        QVERIFY(f.prompter->shown.isEmpty());
        const QString copy = f.state.folders.temp + "third.png";
        QCOMPARE(viewer->picturePath(), copy);
        QCOMPARE(viewer->windowTitle(), "Vestrigal - Image Viewer - " + copy);
        QCOMPARE(server->readFile("third.png"), [&] {
            QFile file(copy);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }());
        QCOMPARE(viewer->lblImgInfo->text(), QString("PNG image, 186x133 pixels"));
        QCOMPARE(viewer->Picture1->size(), QSize(560, 400));
        QCOMPARE(shown(viewer), QRect(187, 133, 186, 133));

        viewer->btnZoomPlus_Click();
        QCOMPARE(shown(viewer), QRect(94, 67, 372, 266));
        viewer->findChild<QAction *>("menu_zoomp")->trigger();
        QCOMPARE(shown(viewer), QRect(1, 0, 558, 399));
        viewer->btnZoomPlus_Click(); // 4× would not fit
        QCOMPARE(shown(viewer).size(), QSize(558, 399));
        QCOMPARE(viewer->lblImgInfo->text(), QString("PNG image, 186x133 pixels"));

        // Copy after zooming puts the picture at its own size on the clipboard.
        viewer->btnCopy_Click();
        const QImage copied = QApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(186, 133));
        QCOMPARE(copied.pixel(0, 0), qRgb(255, 0, 0));

        viewer->btnZoomMinus_Click();
        QCOMPARE(shown(viewer).size(), QSize(372, 266));
        viewer->findChild<QAction *>("menu_zoomm")->trigger();
        QCOMPARE(shown(viewer), QRect(187, 133, 186, 133));
        viewer->btnZoomMinus_Click(); // never below the original size
        QCOMPARE(shown(viewer), QRect(187, 133, 186, 133));

        viewer->btnZoomPlus_Click();
        viewer->btnZoomPlus_Click();
        viewer->btnOri_Click();
        QCOMPARE(shown(viewer), QRect(187, 133, 186, 133));
        viewer->btnZoomPlus_Click();
        viewer->findChild<QAction *>("menu_restore")->trigger();
        QCOMPARE(viewer->zoom(), 1);

        // One viewer at a time: another picture brings the open one to the front, unchanged.
        QCOMPARE(open(f, "big.bmp"), viewer);
        QCOMPARE(viewer->picturePath(), copy);
        viewer->findChild<QAction *>("menu_exit")->trigger();
        flushDeletes();
        QVERIFY(!f.window->remotePane().imageViewer());
    }

    void largerPictureIsCentredCutAndDoesNotZoom()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        formimage *viewer = open(f, "big.bmp");
        QVERIFY(viewer);
        QCOMPARE(viewer->lblImgInfo->text(), QString("BMP image, 600x500 pixels"));
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
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        formimage *viewer = open(f, "SHOT.TGA");
        QVERIFY(viewer);
        QVERIFY(f.prompter->shown.isEmpty());
        QCOMPARE(viewer->lblImgInfo->text(), QString("TGA image, 7x5 pixels"));
        viewer->close();
        flushDeletes();
        viewer = open(f, "plain.pcx");
        QVERIFY(viewer);
        QVERIFY(f.prompter->shown.isEmpty());
        QCOMPARE(viewer->lblImgInfo->text(), QString("PCX image, 9x4 pixels"));
    }

    // A picture that cannot be decoded, or fetched, is reported and the viewer closes; the
    // program goes on and opens the next picture.
    void failuresAreReportedAndTheProgramGoesOn()
    {
        MainWindowFixture f;
        QVERIFY(f.connect(*server));
        QVERIFY(!open(f, "broken.pcx"));
        QCOMPARE(f.prompter->messageTexts(), QStringList{"Could not load picture."});
        QCOMPARE(f.prompter->shown.last().icon, Prompter::Icon::Critical);
        QVERIFY(QFile::remove(server->pathOf("gone.gif")));
        QVERIFY(!open(f, "gone.gif"));
        QCOMPARE(f.prompter->messageTexts().size(), 2);
        QCOMPARE(f.prompter->messageTexts().last(), QString("Could not load picture."));
        QVERIFY(f.state.connected());
        QVERIFY(open(f, "third.png"));
        QCOMPARE(f.prompter->messageTexts().size(), 2);
    }
};

QTEST_MAIN(TestFormImage)
#include "tst_formimage.moc"
