// The PCX and TGA decoders against ImageMagick as the oracle, their refusals of damaged and
// oversized files, and the image plugin that gives them to every image reader.
#include "ImageDecoders.h"
#include "ImageFiles.h"
#include "PictureFormats.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace ImageFiles;
using TestSupport::writeFile;

Q_DECLARE_METATYPE(ImageFiles::Pcx)
Q_DECLARE_METATYPE(ImageFiles::Tga)

class TestImageDecoders : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

    // Our decoding of the file equals ImageMagick's.
    static void matchesOracle(const QString &file, const QImage &ours)
    {
        QString error;
        const QImage theirs = oracle(file, &error);
        QVERIFY2(!theirs.isNull(), qPrintable(error));
        const QImage a = ours.convertToFormat(QImage::Format_RGBA8888);
        const QImage b = theirs.convertToFormat(QImage::Format_RGBA8888);
        QCOMPARE(a.size(), b.size());
        for (int y = 0; y < a.height(); ++y)
            QVERIFY2(!memcmp(a.constScanLine(y), b.constScanLine(y), a.width() * 4),
                     qPrintable(file + " differs in row " + QString::number(y)));
    }

    static Tga tgaOf(int type, int bits, int w, int h, quint32 seed)
    {
        // Few distinct values so that the run-length forms have runs as well as raw packets.
        Tga t{.type = type, .bits = bits, .width = w, .height = h, .pixels = noise(w * h * ((bits + 7) / 8), seed, 6)};
        for (auto &c : t.pixels)
            c = char(uchar(c) * 51);
        return t;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void pcxWrittenByHand_data()
    {
        QTest::addColumn<Pcx>("pcx");
        // Lines may hold `extra` bytes beyond the least; runs may go on across lines or be absent.
        const auto row = [](const QString &name, int version, int bits, int planes, int extra = 0, bool across = false,
                            bool runLength = true) {
            Pcx pcx{.version = version, .bitsPerPixel = bits, .planes = planes, .width = 21, .height = 9};
            pcx.bytesPerLine = pcx.lineBytes() + extra;
            pcx.runsAcrossScanlines = across;
            pcx.runLength = runLength;
            QTest::newRow(qPrintable(name)) << pcx;
        };
        for (int version : {0, 2, 3, 4, 5}) {
            row(QString("1-bit 4 planes v%1").arg(version), version, 1, 4);
            row(QString("4-bit packed v%1").arg(version), version, 4, 1);
        }
        row("monochrome, padded lines", 5, 1, 1, 1);
        row("1-bit 2 planes", 5, 1, 2);
        row("1-bit 3 planes", 5, 1, 3);
        row("2-bit packed", 5, 2, 1);
        row("4-bit, odd padded lines", 5, 4, 1, 3);
        row("1-bit 4 planes, odd padded lines", 5, 1, 4, 1);
        row("8-bit, odd padded lines", 5, 8, 1, 1);
        row("24-bit, odd padded lines", 5, 8, 3, 1);
        row("8-bit, runs across lines", 5, 8, 1, 0, true);
        row("1-bit 4 planes, not run-length", 5, 1, 4, 1, false, false);
        row("4-bit, not run-length", 5, 4, 1, 0, false, false);
        row("8-bit, not run-length", 5, 8, 1, 0, false, false);
        row("24-bit, not run-length", 5, 8, 3, 1, false, false);
    }
    void pcxWrittenByHand()
    {
        QFETCH(Pcx, pcx);
        pcx.headerPalette = noise(48, 5);
        if (pcx.bitsPerPixel == 8 && pcx.planes == 1)
            pcx.vgaPalette = noise(768, 7);
        pcx.pixels = noise(pcx.lineBytes() * pcx.planes * pcx.height, quint32(pcx.version * 10 + pcx.planes), 4);
        // Runs (the first 40 bytes one, longer than 31 where runs go on across lines), bytes that need
        // a run byte, and halves that differ (so pixels in the wrong order show).
        static const char values[] = {'\x00', '\x5A', '\xC3', '\xF1'};
        for (auto &c : pcx.pixels)
            c = values[uchar(c)];
        pcx.pixels.replace(0, 40, QByteArray(40, '\xC3'));
        const QString file = path(QStringLiteral("hand-%1.pcx").arg(QTest::currentDataTag()).replace(' ', '_'));
        QVERIFY(writeFile(file, pcx.bytes()));
        QImage ours = ImageDecoders::decodePcx(pcx.bytes());
        // ImageMagick 6 shows a set bit of a monochrome PCX as black; the format's own programs show
        // it as white (the foreground), and so do we.
        if (pcx.bitsPerPixel == 1 && pcx.planes == 1)
            ours.invertPixels();
        matchesOracle(file, ours);
    }

    void tgaWrittenByHand_data()
    {
        QTest::addColumn<Tga>("tga");
        const auto row = [](const QString &name, int type, int bits, int descriptor = 0, int mapEntryBits = 0,
                            int mapFirst = 0, bool footer = false) {
            Tga t = tgaOf(type, bits, 23, 11, quint32(type * 100 + bits + descriptor));
            t.descriptor = descriptor;
            t.footer = footer;
            t.id = "an image ID";
            if (mapEntryBits) {
                t.mapEntryBits = mapEntryBits;
                t.mapFirst = mapFirst;
                t.map = noise(6 * ((mapEntryBits + 7) / 8), 11);
                for (auto &c : t.pixels)
                    c = char(mapFirst + uchar(c) / 51); // indices mapFirst .. mapFirst + 5
            }
            QTest::newRow(qPrintable(name)) << t;
        };
        for (int rle : {0, 8}) {
            const QString form = rle ? "RLE " : "raw ";
            row(form + "true colour 24", 2 + rle, 24);
            row(form + "true colour 32 with alpha", 2 + rle, 32, 8);
            row(form + "true colour 32 without alpha bits", 2 + rle, 32);
            row(form + "true colour 16 with alpha bit", 2 + rle, 16, 1);
            row(form + "true colour 15", 2 + rle, 15);
            row(form + "true colour 16 no alpha", 2 + rle, 16);
            row(form + "greyscale", 3 + rle, 8);
            row(form + "colour-mapped 24", 1 + rle, 8, 0, 24);
            row(form + "colour-mapped 16, first entry 3", 1 + rle, 8, 0, 16, 3);
            row(form + "colour-mapped 32 with alpha", 1 + rle, 8, 8, 32);
            row(form + "colour-mapped 15", 1 + rle, 8, 0, 15);
            row(form + "top-left origin", 2 + rle, 24, 0x20);
            row(form + "bottom-right origin", 2 + rle, 24, 0x10);
            row(form + "top-right origin", 2 + rle, 24, 0x30);
            row(form + "with version 2 footer", 2 + rle, 24, 0, 0, 0, true);
        }
    }
    void tgaWrittenByHand()
    {
        QFETCH(Tga, tga);
        const QString file = path(QStringLiteral("hand-%1.tga").arg(QTest::currentDataTag()).replace(' ', '_'));
        QVERIFY(writeFile(file, tga.bytes()));
        matchesOracle(file, ImageDecoders::decodeTga(tga.bytes()));
    }

    // Every prefix of a file is a damaged file: a null picture, never a read past the end.
    void truncationAtEveryOffsetFails()
    {
        Tga mapped = tgaOf(9, 8, 9, 5, 3);
        mapped.mapEntryBits = 24;
        mapped.map = noise(6 * 3, 4);
        mapped.id = "id";
        Pcx planar{.bitsPerPixel = 1, .planes = 4, .width = 13, .height = 7, .pixels = noise(2 * 4 * 7, 4)};
        planar.headerPalette = noise(48, 5);
        const QList<QPair<QString, QByteArray>> files{
            {"pcx 8-bit",
             Pcx{.width = 13, .height = 7, .vgaPalette = noise(768, 1), .pixels = noise(13 * 7, 2, 3)}.bytes()},
            {"pcx 24-bit", Pcx{.planes = 3, .width = 13, .height = 7, .pixels = noise(13 * 3 * 7, 2, 3)}.bytes()},
            {"pcx 4 planes", planar.bytes()},
            {"tga raw", tgaOf(2, 24, 9, 5, 1).bytes()},
            {"tga rle", tgaOf(10, 32, 9, 5, 2).bytes()},
            {"tga mapped rle", mapped.bytes()}};
        for (const auto &[name, bytes] : files) {
            const bool isPcx = name.startsWith("pcx");
            const QImage whole = isPcx ? ImageDecoders::decodePcx(bytes) : ImageDecoders::decodeTga(bytes);
            QVERIFY2(!whole.isNull(), qPrintable(name));
            for (qsizetype n = 0; n < bytes.size(); ++n) {
                // A copy of exactly n bytes, so that a read past it is caught by the sanitizers.
                const QByteArray prefix(bytes.constData(), n);
                const QImage part = isPcx ? ImageDecoders::decodePcx(prefix) : ImageDecoders::decodeTga(prefix);
                QVERIFY2(part.isNull(), qPrintable(QStringLiteral("%1 cut at %2").arg(name).arg(n)));
            }
        }
    }

    void oversizedAndMalformedHeadersFail()
    {
        // 65535 × 65535, raw and run-length; 16385 wide is over the limit (16384 passes the header and
        // then lacks the data).
        QByteArray tga = tgaOf(2, 24, 1, 1, 1).bytes() + QByteArray(1000, 'x');
        for (const auto &[type, size] :
             {std::pair{2, "\xFF\xFF\xFF\xFF"}, {10, "\xFF\xFF\xFF\xFF"}, {10, "\x01\x40\x01\x00"}}) {
            tga[2] = char(type);
            tga.replace(12, 4, QByteArray(size, 4));
            QVERIFY(ImageDecoders::decodeTga(tga).isNull());
        }

        const QByteArray bytes =
            Pcx{.width = 2, .height = 2, .vgaPalette = noise(768, 1), .pixels = noise(4, 1)}.bytes();
        const QByteArray onePixel = Pcx{.width = 1, .height = 1, .vgaPalette = noise(768, 1), .pixels = "\x03"}.bytes();
        QVERIFY(!ImageDecoders::decodePcx(bytes).isNull() && !ImageDecoders::decodePcx(onePixel).isNull());
        // 65535 × 65535; no palette marker; fewer bytes per line than the width needs; 3 bits a pixel.
        const QList<QList<std::pair<int, char>>> damages{
            {{8, '\xFE'}, {9, '\xFE'}, {10, '\xFE'}, {11, '\xFE'}, {66, '\xFF'}, {67, '\xFF'}},
            {{int(bytes.size()) - 769, 0}},
            {{66, 1}, {67, 0}},
            {{3, 3}}};
        for (const auto &damage : damages) {
            QByteArray damaged = bytes;
            for (const auto &[at, value] : damage)
                damaged[at] = value;
            QVERIFY(ImageDecoders::decodePcx(damaged).isNull());
        }
        QVERIFY(ImageDecoders::decodePcx(QByteArray(200, 'x')).isNull());
    }

    // The plugin lets any image reader read PCX, by name and by content; the program's loader
    // reads both formats, run-length TGA included, and refuses what it cannot decode.
    void imageReadersGetTheDecoders()
    {
        QVERIFY(QImageReader::supportedImageFormats().contains("pcx"));
        const QByteArray pcx = Pcx{.planes = 3, .width = 5, .height = 4, .pixels = noise(5 * 3 * 4, 9)}.bytes();
        QVERIFY(writeFile(path("reader.pcx"), pcx));
        QBuffer buffer;
        buffer.setData(pcx);
        const QImage expected = ImageDecoders::decodePcx(pcx);
        QCOMPARE(QImageReader(path("reader.pcx")).read(), expected);
        QCOMPARE(QImageReader(&buffer).read(), expected);
        QCOMPARE(PictureFormats::loadPicture(path("reader.pcx")), expected);
        // The name decides whatever its case (the plugins cannot read run-length TGA themselves).
        const QByteArray tga = tgaOf(10, 24, 6, 6, 3).bytes();
        QVERIFY(writeFile(path("loader.tga"), tga) && writeFile(path("UPPER.TGA"), tga));
        QCOMPARE(QImageReader(path("loader.tga")).read(), ImageDecoders::decodeTga(tga));
        QCOMPARE(PictureFormats::loadPicture(path("loader.tga")), ImageDecoders::decodeTga(tga));
        QCOMPARE(PictureFormats::loadPicture(path("UPPER.TGA")), ImageDecoders::decodeTga(tga));
        // 32-bit pixels whose alpha byte is 0 everywhere, with no alpha bits declared, are opaque;
        // with alpha bits declared they are as transparent as they say.
        Tga unusedAlpha = tgaOf(2, 32, 3, 2, 8);
        for (int i = 3; i < unusedAlpha.pixels.size(); i += 4)
            unusedAlpha.pixels[i] = 0;
        QVERIFY(writeFile(path("ALPHA.TGA"), unusedAlpha.bytes()));
        const QImage opaque = PictureFormats::loadPicture(path("ALPHA.TGA"));
        QVERIFY(!opaque.hasAlphaChannel());
        const auto *p = reinterpret_cast<const uchar *>(unusedAlpha.pixels.constData());
        QCOMPARE(opaque.pixel(0, 1), qRgb(p[2], p[1], p[0]));
        unusedAlpha.descriptor = 8;
        QCOMPARE(qAlpha(ImageDecoders::decodeTga(unusedAlpha.bytes()).pixel(0, 1)), 0);

        QImage png(4, 3, QImage::Format_RGB32);
        png.fill(Qt::red);
        QVERIFY(png.save(path("plain.png")) && writeFile(path("damaged.png"), "\x89PNG\r\n\x1a\n garbage"));
        QCOMPARE(PictureFormats::loadPicture(path("plain.png")).pixel(1, 1), qRgb(255, 0, 0));
        QVERIFY(PictureFormats::loadPicture(path("damaged.png")).isNull());
        QVERIFY(PictureFormats::loadPicture(path("missing.png")).isNull());
    }
};

QTEST_GUILESS_MAIN(TestImageDecoders)
#include "tst_imagedecoders.moc"
