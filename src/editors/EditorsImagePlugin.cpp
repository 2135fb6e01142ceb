#include "EditorsImagePlugin.h"

#include "ImageDecoders.h"

namespace {

constexpr qint64 MaxFileBytes = qint64(1) << 30;

bool isPcx(const QByteArray &format)
{
    return format == "pcx";
}

} // namespace

QImageIOPlugin::Capabilities EditorsImagePlugin::capabilities(QIODevice *device, const QByteArray &format) const
{
    if (format == "pcx" || format == "tga")
        return CanRead;
    if (!format.isEmpty() || !device || !device->isReadable())
        return {};
    // Asked by content, after the plugins of formats with a signature have declined: this is
    // also how a run-length TGA that the platform's TGA plugin refuses reaches our decoder.
    const QByteArray head = device->peek(128);
    return ImageDecoders::looksLikePcx(head) || ImageDecoders::looksLikeTga(head) ? CanRead : Capabilities{};
}

QImageIOHandler *EditorsImagePlugin::create(QIODevice *device, const QByteArray &format) const
{
    QByteArray chosen = format;
    if (chosen.isEmpty())
        chosen = device && ImageDecoders::looksLikePcx(device->peek(128)) ? "pcx" : "tga";
    auto *handler = new DecoderHandler(chosen);
    handler->setDevice(device);
    handler->setFormat(chosen);
    return handler;
}

bool DecoderHandler::canRead() const
{
    if (!device())
        return false;
    const QByteArray head = device()->peek(128);
    return isPcx(m_format) ? ImageDecoders::looksLikePcx(head) : ImageDecoders::looksLikeTga(head);
}

bool DecoderHandler::read(QImage *image)
{
    QIODevice *in = device();
    if (!in || in->size() - in->pos() > MaxFileBytes)
        return false;
    const QByteArray bytes = in->readAll();
    *image = isPcx(m_format) ? ImageDecoders::decodePcx(bytes) : ImageDecoders::decodeTga(bytes);
    return !image->isNull();
}
