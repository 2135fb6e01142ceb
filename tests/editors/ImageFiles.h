#pragma once

// Writes PCX and TGA files byte by byte, for the variants ImageMagick cannot write, and asks
// ImageMagick for the pixels it reads from a file (the oracle of the decoder tests).
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

namespace ImageFiles {

struct Pcx
{
    int version = 5;
    int bitsPerPixel = 8;
    int planes = 1;
    int width = 0, height = 0;
    int bytesPerLine = 0;             // 0: the least that holds a scanline
    QByteArray headerPalette{};       // up to 48 bytes
    QByteArray vgaPalette{};          // 768 bytes for 8-bit pictures with one plane
    QByteArray pixels{};              // every scanline unpacked: planes × bytesPerLine bytes each
    bool runsAcrossScanlines = false; // encode the picture as one stream rather than line by line
    bool runLength = true;            // false: the scanlines as they are (encoding 0)
    QByteArray bytes() const;
    int lineBytes() const;
};

struct Tga
{
    int type = 2;
    int bits = 24;
    int descriptor = 0;
    int width = 0, height = 0;
    QByteArray id{};
    int mapFirst = 0, mapEntryBits = 0;
    QByteArray map{};    // entries of mapEntryBits
    QByteArray pixels{}; // raw pixels in file order
    bool footer = false;
    QByteArray bytes() const;
};

// Deterministic pseudo-random bytes; `alphabet` > 0 keeps values below it (so runs occur).
QByteArray noise(int n, quint32 seed, int alphabet = 256);

// The picture ImageMagick reads from the file as RGBA8888, or a null image with `error` set.
QImage oracle(const QString &path, QString *error);

} // namespace ImageFiles
