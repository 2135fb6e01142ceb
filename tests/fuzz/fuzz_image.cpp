// libFuzzer harness: the PCX and TGA decoders on any bytes. They must neither crash, read past
// the input, nor allocate more than a picture the input could hold.
#include "ImageDecoders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QImage pcx = ImageDecoders::decodePcx(bytes);
    const QImage tga = ImageDecoders::decodeTga(bytes);
    // Read the corners back, so that a picture of the wrong size would be noticed.
    for (const QImage &image : {pcx, tga})
        if (!image.isNull()) {
            volatile QRgb corner = image.pixel(image.width() - 1, image.height() - 1);
            (void)corner;
        }
    return 0;
}
