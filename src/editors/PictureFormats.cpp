#include "PictureFormats.h"

#include "ImageDecoders.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtPlugin>

Q_IMPORT_PLUGIN(EditorsImagePlugin)

namespace PictureFormats {

namespace {

// Files beyond this are not pictures we can show (the largest allowed picture as raw 32-bit
// pixels is 1 GiB; compressed formats are far smaller).
constexpr qint64 MaxFileBytes = qint64(1) << 30;

QImage readWithPlugins(QIODevice &device)
{
    QImageReader reader(&device);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > ImageDecoders::MaxSide || size.height() > ImageDecoders::MaxSide))
        return {};
    // The plugins' own guard against huge allocations, raised to the largest picture we show.
    reader.setAllocationLimit(1024);
    QImage image;
    if (!reader.read(&image))
        return {};
    if (image.width() > ImageDecoders::MaxSide || image.height() > ImageDecoders::MaxSide)
        return {};
    return image;
}

} // namespace

QImage loadPicture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return {};
    const QByteArray bytes = file.readAll();
    const QString extension = QFileInfo(path).suffix().toLower();
    // TGA has no signature: the name decides. PCX is also recognised by its header.
    if (extension == QLatin1String("tga"))
        return ImageDecoders::decodeTga(bytes);
    if (extension == QLatin1String("pcx") || ImageDecoders::looksLikePcx(bytes))
        return ImageDecoders::decodePcx(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readWithPlugins(buffer);
}

} // namespace PictureFormats
