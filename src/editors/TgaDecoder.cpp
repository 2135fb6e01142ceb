// TGA: an 18-byte header, the image ID, the colour map, then the pixels, raw or in run-length
// packets (a count byte, then one pixel repeated or that many raw pixels); an optional footer
// follows and is not needed for decoding.
#include "ImageDecoders.h"

#include <vector>

namespace ImageDecoders {

namespace {

constexpr qsizetype HeaderSize = 18;

quint16 le16(const uchar *p)
{
    return quint16(p[0] | (p[1] << 8));
}

struct Header
{
    int idLength, mapType, imageType, mapFirst, mapLength, mapEntryBits, width, height, bits, descriptor;
    int kind() const { return imageType & 7; } // 1 colour-mapped, 2 true colour, 3 greyscale
    bool rle() const { return imageType & 8; }
    int alphaBits() const { return descriptor & 0x0F; }
};

bool validColourBits(int bits)
{
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

bool readHeader(QByteArrayView file, Header &h)
{
    if (file.size() < HeaderSize)
        return false;
    const auto *d = reinterpret_cast<const uchar *>(file.data());
    h = {d[0], d[1], d[2], le16(d + 3), le16(d + 5), d[7], le16(d + 12), le16(d + 14), d[16], d[17]};
    if (h.mapType > 1 || (h.imageType & ~8) < 1 || (h.imageType & ~8) > 3 || h.width == 0 || h.height == 0)
        return false;
    if (h.width > MaxSide || h.height > MaxSide)
        return false;
    if (h.mapType == 1 && (h.mapLength == 0 || !validColourBits(h.mapEntryBits)))
        return false;
    switch (h.kind()) {
    case 1:
        return h.mapType == 1 && (h.bits == 8 || h.bits == 16);
    case 2:
        return validColourBits(h.bits);
    default:
        return h.bits == 8;
    }
}

// Five bits to eight, rounding down as the common readers do.
const uchar Scale5[32] = {0,   8,   16,  24,  32,  41,  49,  57,  65,  74,  82,  90,  98,  106, 115, 123,
                          131, 139, 148, 156, 164, 172, 180, 189, 197, 205, 213, 222, 230, 238, 246, 255};

// One pixel or colour-map entry of the given size as a colour.
QRgb colour(const uchar *p, int bits, bool alpha)
{
    switch (bits) {
    case 8:
        return qRgb(p[0], p[0], p[0]);
    case 15:
    case 16: {
        const int v = p[0] | (p[1] << 8);
        return qRgba(Scale5[(v >> 10) & 31], Scale5[(v >> 5) & 31], Scale5[v & 31],
                     alpha && bits == 16 && !(v & 0x8000) ? 0 : 255);
    }
    case 24:
        return qRgb(p[2], p[1], p[0]);
    default:
        return qRgba(p[2], p[1], p[0], p[3]);
    }
}

// Puts decoded pixels in place, in the order the file gives them (its origin corner first).
class PixelSink
{
public:
    PixelSink(QImage &image, bool topDown, bool rightToLeft)
        : m_image(image), m_topDown(topDown), m_rightToLeft(rightToLeft), m_width(image.width()),
          m_left(qint64(image.width()) * image.height())
    {
        startRow();
    }

    qint64 left() const { return m_left; }

    void put(QRgb value)
    {
        m_row[m_rightToLeft ? m_width - 1 - m_x : m_x] = value;
        --m_left;
        if (++m_x == m_width && m_left > 0) {
            ++m_y;
            startRow();
        }
    }

private:
    void startRow()
    {
        m_x = 0;
        m_row = reinterpret_cast<QRgb *>(m_image.scanLine(m_topDown ? m_y : m_image.height() - 1 - m_y));
    }

    QImage &m_image;
    bool m_topDown, m_rightToLeft;
    int m_width, m_x = 0, m_y = 0;
    qint64 m_left;
    QRgb *m_row = nullptr;
};

// Writers that do not use the alpha byte of 32-bit pixels (no alpha bits in the header) often
// leave it 0: such a picture is shown opaque rather than not at all.
QImage withoutEmptyAlpha(QImage image, const Header &h)
{
    if (h.alphaBits() > 0 || image.format() != QImage::Format_ARGB32)
        return image;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 0)
                return image;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            row[x] |= 0xFF000000u;
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
    return image;
}

} // namespace

bool looksLikeTga(QByteArrayView head)
{
    Header h;
    return readHeader(head, h);
}

QImage decodeTga(QByteArrayView file)
{
    Header h;
    if (!readHeader(file, h))
        return {};
    const auto *d = reinterpret_cast<const uchar *>(file.data());
    const uchar *end = d + file.size();
    const uchar *p = d + HeaderSize + h.idLength;
    const int entryBytes = (h.mapEntryBits + 7) / 8;
    const qsizetype mapBytes = h.mapType == 1 ? qsizetype(h.mapLength) * entryBytes : 0;
    if (end - p < mapBytes)
        return {};
    // 32-bit pixels always carry alpha; 16-bit ones only when the header counts an alpha bit.
    const bool alpha = h.alphaBits() > 0 || h.bits == 32 || (h.kind() == 1 && h.mapEntryBits == 32);
    std::vector<QRgb> map;
    if (h.kind() == 1) {
        map.resize(size_t(h.mapLength));
        for (int i = 0; i < h.mapLength; ++i)
            map[size_t(i)] = colour(p + qsizetype(i) * entryBytes, h.mapEntryBits, alpha);
    }
    p += mapBytes;

    const int pixelBytes = (h.bits + 7) / 8;
    const qint64 pixels = qint64(h.width) * h.height;
    // The least the pixel data can take: every pixel raw, or packets of at most 128 pixels.
    const qint64 least = h.rle() ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    if (end - p < least)
        return {}; // too short for what it declares: allocate nothing

    QImage image(h.width, h.height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    auto value = [&](const uchar *q) -> QRgb {
        if (h.kind() != 1)
            return colour(q, h.bits, alpha);
        const int index = (pixelBytes == 1 ? q[0] : le16(q)) - h.mapFirst;
        // An index outside the colour map is damage; it shows as black rather than failing the picture.
        return index >= 0 && index < h.mapLength ? map[size_t(index)] : qRgb(0, 0, 0);
    };
    PixelSink sink(image, h.descriptor & 0x20, h.descriptor & 0x10);
    if (!h.rle()) {
        for (qint64 i = 0; i < pixels; ++i, p += pixelBytes)
            sink.put(value(p));
        return withoutEmptyAlpha(std::move(image), h);
    }
    while (sink.left() > 0) {
        if (p == end)
            return {};
        const int packet = *p++;
        const qint64 count = std::min<qint64>((packet & 0x7F) + 1, sink.left());
        if (packet & 0x80) {
            if (end - p < pixelBytes)
                return {};
            const QRgb v = value(p);
            p += pixelBytes;
            for (qint64 i = 0; i < count; ++i)
                sink.put(v);
        } else {
            if (end - p < count * pixelBytes)
                return {};
            for (qint64 i = 0; i < count; ++i, p += pixelBytes)
                sink.put(value(p));
        }
    }
    return withoutEmptyAlpha(std::move(image), h);
}

} // namespace ImageDecoders
