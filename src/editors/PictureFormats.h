#pragma once

#include <QImage>
#include <QString>

// Every picture the program shows is read through here: PCX and TGA by our own decoders, the
// other formats by the platform's image plugins, all within the same size limit. Our decoders
// are also an image-format plugin, registered by this file wherever it is linked in (any program
// that shows pictures), so every QImageReader of the program reads PCX, and reads a TGA that the
// platform's own TGA plugin (asked first) refuses, such as a run-length one, by its content.
namespace PictureFormats {

// A null image when the file is missing, of an unknown format, damaged, truncated, or larger
// than the decoders' limit on either side.
QImage loadPicture(const QString &path);

} // namespace PictureFormats
