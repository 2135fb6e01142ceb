#include "ImageFiles.h"

#include <QProcess>

namespace ImageFiles {

namespace {

void put16(QByteArray &b, int at, int v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char((v >> 8) & 0xFF);
}

void pcxRuns(QByteArray &out, const char *p, int n)
{
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && run < 63 && p[i + run] == p[i])
            ++run;
        const auto v = uchar(p[i]);
        if (run > 1 || (v & 0xC0) == 0xC0)
            out.append(char(0xC0 | run));
        out.append(char(v));
        i += run;
    }
}

void tgaRuns(QByteArray &out, const QByteArray &pixels, int pixelBytes)
{
    const int n = int(pixels.size() / pixelBytes);
    auto px = [&](int i) { return pixels.mid(qsizetype(i) * pixelBytes, pixelBytes); };
    for (int i = 0; i < n;) {
        int run = 1;
        while (i + run < n && run < 128 && px(i + run) == px(i))
            ++run;
        if (run > 1) {
            out.append(char(0x80 | (run - 1)));
            out.append(px(i));
            i += run;
            continue;
        }
        int raw = 1;
        while (i + raw < n && raw < 128 && !(i + raw + 1 < n && px(i + raw) == px(i + raw + 1)))
            ++raw;
        out.append(char(raw - 1));
        out.append(pixels.mid(qsizetype(i) * pixelBytes, qsizetype(raw) * pixelBytes));
        i += raw;
    }
}

} // namespace

int Pcx::lineBytes() const
{
    return bytesPerLine ? bytesPerLine : (width * bitsPerPixel + 7) / 8;
}

QByteArray Pcx::bytes() const
{
    QByteArray b(128, '\0');
    b[0] = 0x0A;
    b[1] = char(version);
    b[2] = char(runLength ? 1 : 0);
    b[3] = char(bitsPerPixel);
    put16(b, 8, width - 1);
    put16(b, 10, height - 1);
    put16(b, 12, 72);
    put16(b, 14, 72);
    for (int i = 0; i < std::min<int>(48, int(headerPalette.size())); ++i)
        b[16 + i] = headerPalette[i];
    b[65] = char(planes);
    put16(b, 66, lineBytes());
    b[68] = 1;
    const int line = lineBytes() * planes;
    if (!runLength) {
        b.append(pixels);
    } else if (runsAcrossScanlines) {
        pcxRuns(b, pixels.constData(), int(pixels.size()));
    } else {
        for (int y = 0; y < height; ++y)
            for (int p = 0; p < planes; ++p)
                pcxRuns(b, pixels.constData() + qsizetype(y) * line + qsizetype(p) * lineBytes(), lineBytes());
    }
    if (!vgaPalette.isEmpty()) {
        b.append(char(12));
        b.append(vgaPalette);
    }
    return b;
}

QByteArray Tga::bytes() const
{
    QByteArray b(18, '\0');
    b[0] = char(id.size());
    b[1] = map.isEmpty() ? 0 : 1;
    b[2] = char(type);
    const int entryBytes = (mapEntryBits + 7) / 8;
    put16(b, 3, mapFirst);
    put16(b, 5, entryBytes ? int(map.size() / entryBytes) : 0);
    b[7] = char(mapEntryBits);
    put16(b, 12, width);
    put16(b, 14, height);
    b[16] = char(bits);
    b[17] = char(descriptor);
    b.append(id);
    b.append(map);
    if (type & 8)
        tgaRuns(b, pixels, (bits + 7) / 8);
    else
        b.append(pixels);
    if (footer) {
        b.append(QByteArray(8, '\0')); // no extension area, no developer directory
        b.append("TRUEVISION-XFILE.");
        b.append('\0');
    }
    return b;
}

QByteArray noise(int n, quint32 seed, int alphabet)
{
    QByteArray out(n, '\0');
    quint32 x = seed * 2654435761u + 1;
    for (int i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = char(alphabet < 256 ? x % quint32(alphabet) : x & 0xFF);
    }
    return out;
}

QImage oracle(const QString &path, QString *error)
{
    // ImageMagick keeps a TGA origin as an orientation tag rather than turning the rows around.
    const QStringList arguments{path, "-auto-orient", "-depth", "8", "png:-"};
    QProcess p;
    p.start(QStringLiteral("convert"), arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        *error = "convert " + arguments.join(' ') + ": " + QString::fromLocal8Bit(p.readAllStandardError());
        return {};
    }
    const QImage image = QImage::fromData(p.readAllStandardOutput(), "PNG");
    if (image.isNull())
        *error = QStringLiteral("convert %1: no picture").arg(path);
    return image;
}

} // namespace ImageFiles
