// PCX: a 128-byte header, then the scanlines, run-length encoded (encoding 1) or stored as they
// are (encoding 0); each scanline holds every plane one after the other, bytesPerLine bytes each;
// then for 8-bit pictures the marker 12 and a
// 256-colour palette in the last 769 bytes.
#include "ImageDecoders.h"

#include <array>
#include <cstring>
#include <vector>

namespace ImageDecoders {

namespace {

constexpr qsizetype HeaderSize = 128;
constexpr qsizetype VgaPaletteSize = 769; // marker + 256 × RGB

quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

// The largest number of bytes a run-length stream of n bytes can unpack to: every pair a run of 63.
qint64 mostUnpacked(qint64 n)
{
    return n / 2 * 63 + n % 2;
}

// Unpacks run-length bytes one scanline at a time; a run may go on into the next scanline.
// Without run-length encoding the bytes are the scanlines.
class RunReader
{
public:
    RunReader(const uchar *begin, const uchar *end, bool runLength) : m_p(begin), m_end(end), m_runLength(runLength) {}

    bool fill(uchar *out, qsizetype n)
    {
        if (!m_runLength) {
            if (m_end - m_p < n)
                return false;
            std::memcpy(out, m_p, size_t(n));
            m_p += n;
            return true;
        }
        while (n > 0) {
            if (m_runLeft > 0) {
                const qsizetype k = std::min<qsizetype>(n, m_runLeft);
                std::memset(out, m_runValue, size_t(k));
                out += k;
                n -= k;
                m_runLeft -= int(k);
                continue;
            }
            if (m_p == m_end)
                return false;
            const uchar b = *m_p++;
            if ((b & 0xC0) != 0xC0) {
                *out++ = b;
                --n;
                continue;
            }
            if (m_p == m_end)
                return false;
            m_runLeft = b & 0x3F;
            m_runValue = *m_p++;
        }
        return true;
    }

private:
    const uchar *m_p;
    const uchar *m_end;
    bool m_runLength;
    int m_runLeft = 0;
    uchar m_runValue = 0;
};

struct Header
{
    int version, encoding, bitsPerPixel, planes, width, height, bytesPerLine;
};

bool readHeader(QByteArrayView file, Header &h)
{
    if (file.size() < HeaderSize)
        return false;
    const auto *d = reinterpret_cast<const uchar *>(file.data());
    if (d[0] != 0x0A)
        return false;
    h.version = d[1];
    h.encoding = d[2];
    h.bitsPerPixel = d[3];
    const int xmin = le16(d + 4), ymin = le16(d + 6), xmax = le16(d + 8), ymax = le16(d + 10);
    h.planes = d[65];
    h.bytesPerLine = le16(d + 66);
    if (h.version > 5 || h.version == 1 || (h.encoding != 0 && h.encoding != 1) || xmax < xmin || ymax < ymin)
        return false;
    h.width = xmax - xmin + 1;
    h.height = ymax - ymin + 1;
    if (h.width > MaxSide || h.height > MaxSide)
        return false;
    const bool known = (h.bitsPerPixel == 1 && h.planes >= 1 && h.planes <= 4) ||
                       ((h.bitsPerPixel == 2 || h.bitsPerPixel == 4) && h.planes == 1) ||
                       (h.bitsPerPixel == 8 && (h.planes == 1 || h.planes == 3));
    return known && qint64(h.bytesPerLine) * 8 >= qint64(h.width) * h.bitsPerPixel;
}

std::array<QRgb, 256> headerPalette(const uchar *d)
{
    std::array<QRgb, 256> palette{};
    for (int i = 0; i < 16; ++i)
        palette[i] = qRgb(d[16 + 3 * i], d[17 + 3 * i], d[18 + 3 * i]);
    return palette;
}

// One scanline of palette indices from the planes of the unpacked scanline.
void indices(const Header &h, const uchar *line, uchar *out)
{
    const int w = h.width;
    if (h.bitsPerPixel == 8) {
        std::memcpy(out, line, size_t(w));
    } else if (h.bitsPerPixel == 4) {
        for (int x = 0; x < w; ++x)
            out[x] = (line[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
    } else if (h.bitsPerPixel == 2) {
        for (int x = 0; x < w; ++x)
            out[x] = (line[x / 4] >> (6 - 2 * (x % 4))) & 0x03;
    } else {
        std::memset(out, 0, size_t(w));
        for (int p = 0; p < h.planes; ++p) {
            const uchar *plane = line + qsizetype(p) * h.bytesPerLine;
            for (int x = 0; x < w; ++x)
                out[x] |= ((plane[x / 8] >> (7 - x % 8)) & 1) << p;
        }
    }
}

} // namespace

bool looksLikePcx(QByteArrayView head)
{
    Header h;
    return readHeader(head.first(std::min<qsizetype>(head.size(), HeaderSize)), h);
}

QImage decodePcx(QByteArrayView file)
{
    Header h;
    if (!readHeader(file, h))
        return {};
    const auto *d = reinterpret_cast<const uchar *>(file.data());
    const uchar *dataEnd = d + file.size();
    std::array<QRgb, 256> palette = headerPalette(d);
    const bool truecolour = h.bitsPerPixel == 8 && h.planes == 3;
    const bool vgaPalette = h.bitsPerPixel == 8 && h.planes == 1;
    if (vgaPalette) {
        if (file.size() < HeaderSize + VgaPaletteSize || dataEnd[-VgaPaletteSize] != 12)
            return {};
        const uchar *p = dataEnd - VgaPaletteSize + 1;
        for (int i = 0; i < 256; ++i, p += 3)
            palette[i] = qRgb(p[0], p[1], p[2]);
        dataEnd -= VgaPaletteSize;
    } else if (h.bitsPerPixel * h.planes == 1) {
        // Monochrome pictures are black and white whatever the header's palette holds.
        palette[0] = qRgb(0, 0, 0);
        palette[1] = qRgb(255, 255, 255);
    }
    const qsizetype lineBytes = qsizetype(h.bytesPerLine) * h.planes;
    const qint64 stored = dataEnd - d - HeaderSize;
    if (qint64(lineBytes) * h.height > (h.encoding == 1 ? mostUnpacked(stored) : stored))
        return {}; // the file is too short for what it declares: allocate nothing
    QImage image(h.width, h.height, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    std::vector<uchar> line(static_cast<size_t>(lineBytes));
    std::vector<uchar> index(static_cast<size_t>(h.width));
    RunReader runs(d + HeaderSize, dataEnd, h.encoding == 1);
    for (int y = 0; y < h.height; ++y) {
        if (!runs.fill(line.data(), lineBytes))
            return {};
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (truecolour) {
            const uchar *r = line.data(), *g = r + h.bytesPerLine, *b = g + h.bytesPerLine;
            for (int x = 0; x < h.width; ++x)
                out[x] = qRgb(r[x], g[x], b[x]);
            continue;
        }
        indices(h, line.data(), index.data());
        for (int x = 0; x < h.width; ++x)
            out[x] = palette[index[x]];
    }
    return image;
}

} // namespace ImageDecoders
