#pragma once

#include <QImage>
#include <QString>

// Every picture the program shows is read through here: PCX and TGA by our own decoders, the
// other formats by the platform's image plugins, all within the same size limit. Our decoders
// are also registered as an image-format plugin, so any QImageReader of the program reads
// PCX (and TGA, where no other plugin claims it first).
namespace PictureFormats {

// A null image when the file is missing, of an unknown format, damaged, truncated, or larger
// than the decoders' limit on either side.
QImage loadPicture(const QString &path);

// Makes sure the plugin is registered with the program's image readers (idempotent).
void registerPlugin();

} // namespace PictureFormats
