// The PCX and TGA decoders against ImageMagick as the oracle, their refusals of damaged and
// oversized files, and the image plugin that gives them to every image reader.
#include "ImageDecoders.h"
#include "ImageFiles.h"
#include "PictureFormats.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace ImageFiles;

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
        const QString diff = difference(ours, theirs);
        QVERIFY2(diff.isEmpty(), qPrintable(file + ": " + diff));
    }

    static QByteArray palette16()
    {
        QByteArray p;
        for (int i = 0; i < 16; ++i) {
            p += char(i * 16 + 1);
            p += char(255 - i * 16);
            p += char((i * 37) % 256);
        }
        return p;
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
            QTest::newRow(qPrintable(name)) << Pcx{.version = version,
                                                   .bitsPerPixel = bits,
                                                   .planes = planes,
                                                   .width = 21,
                                                   .height = 9,
                                                   .bytesPerLine = (21 * bits + 7) / 8 + extra,
                                                   .runsAcrossScanlines = across,
                                                   .runLength = runLength};
        };
        for (int version : {0, 2, 3, 4, 5}) {
            row(QString("1-bit 4 planes v%1").arg(version), version, 1, 4);
            row(QString("4-bit packed v%1").arg(version), version, 4, 1);
        }
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
        pcx.headerPalette = palette16();
        if (pcx.bitsPerPixel == 8 && pcx.planes == 1)
            pcx.vgaPalette = noise(768, 7);
        pcx.pixels = noise(pcx.lineBytes() * pcx.planes * pcx.height, quint32(pcx.version * 10 + pcx.planes), 4);
        // Runs, bytes that need a run byte, and halves that differ (so pixels in the wrong order show).
        static const char values[] = {'\x00', '\x5A', '\xC3', '\xF1'};
        for (auto &c : pcx.pixels)
            c = values[uchar(c)];
        const QString file = path(QStringLiteral("hand-%1.pcx").arg(QTest::currentDataTag()).replace(' ', '_'));
        QVERIFY(writeFile(file, pcx.bytes()));
        matchesOracle(file, ImageDecoders::decodePcx(pcx.bytes()));
    }

    // ImageMagick 6 shows a set bit of a monochrome PCX as black; the format's own programs show it
    // as white (the foreground), and so do we: our picture is ImageMagick's with black and white swapped.
    void pcxMonochromeIsImageMagicksInverse()
    {
        Pcx pcx;
        pcx.bitsPerPixel = 1;
        pcx.width = 19;
        pcx.height = 5;
        pcx.bytesPerLine = 4;            // odd padding too
        pcx.headerPalette = palette16(); // not used by monochrome pictures
        pcx.pixels = noise(pcx.bytesPerLine * pcx.height, 3);
        const QString file = path("mono.pcx");
        QVERIFY(writeFile(file, pcx.bytes()));
        QImage ours = ImageDecoders::decodePcx(pcx.bytes());
        QVERIFY(!ours.isNull());
        QCOMPARE(ours.pixel(0, 0), (uchar(pcx.pixels[0]) & 0x80) ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
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
        QList<QPair<QString, QByteArray>> files;
        Pcx pcx;
        pcx.width = 13;
        pcx.height = 7;
        pcx.vgaPalette = noise(768, 1);
        pcx.pixels = noise(pcx.lineBytes() * pcx.height, 2, 3);
        files.append({"pcx 8-bit", pcx.bytes()});
        pcx.planes = 3;
        pcx.vgaPalette.clear();
        pcx.pixels = noise(pcx.lineBytes() * 3 * pcx.height, 2, 3);
        files.append({"pcx 24-bit", pcx.bytes()});
        pcx.planes = 4;
        pcx.bitsPerPixel = 1;
        pcx.headerPalette = palette16();
        pcx.pixels = noise(pcx.lineBytes() * 4 * pcx.height, 4);
        files.append({"pcx 4 planes", pcx.bytes()});
        files.append({"tga raw", tgaOf(2, 24, 9, 5, 1).bytes()});
        files.append({"tga rle", tgaOf(10, 32, 9, 5, 2).bytes()});
        Tga mapped = tgaOf(9, 8, 9, 5, 3);
        mapped.mapEntryBits = 24;
        mapped.map = noise(6 * 3, 4);
        mapped.id = "id";
        files.append({"tga mapped rle", mapped.bytes()});
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
        Tga t = tgaOf(2, 24, 1, 1, 1);
        QByteArray tga = t.bytes() + QByteArray(1000, 'x');
        tga[12] = tga[13] = tga[14] = tga[15] = char(0xFF); // 65535 × 65535
        QVERIFY(ImageDecoders::decodeTga(tga).isNull());
        tga[2] = 10; // the RLE form too
        QVERIFY(ImageDecoders::decodeTga(tga).isNull());
        // 16385 wide is over the limit; 16384 passes the header and then lacks the data.
        tga[12] = char(0x01);
        tga[13] = char(0x40);
        tga[14] = 1;
        tga[15] = 0;
        QVERIFY(ImageDecoders::decodeTga(tga).isNull());

        Pcx pcx;
        pcx.width = pcx.height = 2;
        pcx.pixels = noise(4, 1);
        pcx.vgaPalette = noise(768, 1);
        QByteArray bytes = pcx.bytes();
        QVERIFY(!ImageDecoders::decodePcx(bytes).isNull());
        QVERIFY(!ImageDecoders::decodePcx(
                     Pcx{.width = 1, .height = 1, .vgaPalette = noise(768, 1), .pixels = "\x03"}.bytes())
                     .isNull());
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
        QVERIFY(ImageDecoders::decodeTga(QByteArray(17, '\0')).isNull());
    }

    // The plugin lets any image reader read PCX, by name and by content; the program's loader
    // reads both formats, run-length TGA included, and refuses what it cannot decode.
    void imageReadersGetTheDecoders()
    {
        QVERIFY(QImageReader::supportedImageFormats().contains("pcx"));
        Pcx pcx;
        pcx.planes = 3;
        pcx.width = 5;
        pcx.height = 4;
        pcx.pixels = noise(5 * 3 * 4, 9);
        const QString file = path("reader.pcx");
        QVERIFY(writeFile(file, pcx.bytes()));
        const QImage expected = ImageDecoders::decodePcx(pcx.bytes());
        QCOMPARE(QImageReader(file).read(), expected);
        QBuffer buffer;
        buffer.setData(pcx.bytes());
        QImageReader byContent(&buffer);
        QCOMPARE(byContent.read(), expected);
        QCOMPARE(PictureFormats::loadPicture(file), expected);

        const Tga tga = tgaOf(10, 24, 6, 6, 3);
        const QString tgaFile = path("loader.tga");
        QVERIFY(writeFile(tgaFile, tga.bytes()));
        QCOMPARE(PictureFormats::loadPicture(tgaFile), ImageDecoders::decodeTga(tga.bytes()));
        QCOMPARE(QImageReader(tgaFile).read(), ImageDecoders::decodeTga(tga.bytes()));
        // The name decides whatever its case (the plugins cannot read run-length TGA themselves).
        QVERIFY(writeFile(path("UPPER.TGA"), tga.bytes()));
        QCOMPARE(PictureFormats::loadPicture(path("UPPER.TGA")), ImageDecoders::decodeTga(tga.bytes()));
        // 32-bit pixels whose alpha byte is 0 everywhere, with no alpha bits declared, are opaque;
        // with alpha bits declared they are as transparent as they say.
        Tga unusedAlpha = tgaOf(2, 32, 3, 2, 8);
        for (int i = 3; i < unusedAlpha.pixels.size(); i += 4)
            unusedAlpha.pixels[i] = 0;
        QVERIFY(writeFile(path("ALPHA.TGA"), unusedAlpha.bytes()));
        const QImage opaque = PictureFormats::loadPicture(path("ALPHA.TGA"));
        QVERIFY(!opaque.hasAlphaChannel());
        QCOMPARE(opaque.pixel(0, 1),
                 qRgb(uchar(unusedAlpha.pixels[2]), uchar(unusedAlpha.pixels[1]), uchar(unusedAlpha.pixels[0])));
        unusedAlpha.descriptor = 8;
        QCOMPARE(qAlpha(ImageDecoders::decodeTga(unusedAlpha.bytes()).pixel(0, 1)), 0);

        QImage png(4, 3, QImage::Format_RGB32);
        png.fill(Qt::red);
        QVERIFY(png.save(path("plain.png")));
        QCOMPARE(PictureFormats::loadPicture(path("plain.png")).pixel(1, 1), qRgb(255, 0, 0));
        QVERIFY(writeFile(path("damaged.png"), QByteArray("\x89PNG\r\n\x1a\n garbage")));
        QVERIFY(PictureFormats::loadPicture(path("damaged.png")).isNull());
        QVERIFY(PictureFormats::loadPicture(path("missing.png")).isNull());
    }
};

QTEST_GUILESS_MAIN(TestImageDecoders)
#include "tst_imagedecoders.moc"
