#pragma once

#include <QImageIOHandler>
#include <QImageIOPlugin>

// Our PCX and TGA decoders as an image-format plugin, linked in statically.
class EditorsImagePlugin : public QImageIOPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "EditorsImagePlugin.json")
public:
    Capabilities capabilities(QIODevice *device, const QByteArray &format) const override;
    QImageIOHandler *create(QIODevice *device, const QByteArray &format = QByteArray()) const override;
};

// Reads one picture of either format from its device.
class DecoderHandler : public QImageIOHandler
{
public:
    explicit DecoderHandler(const QByteArray &format) : m_format(format) {}
    bool canRead() const override;
    bool read(QImage *image) override;

private:
    QByteArray m_format;
};
