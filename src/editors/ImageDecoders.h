#pragma once

#include <QByteArrayView>
#include <QImage>

// Decoders for the two picture formats the platform's image plugins do not read (PCX) or read
// only in part (TGA). They work on the whole file in memory, never read past it, check that the
// file can hold the pixels it declares before allocating them, and refuse pictures wider or
// higher than MaxSide. A null image means the file could not be decoded.
namespace ImageDecoders {

constexpr int MaxSide = 16384;

QImage decodePcx(QByteArrayView file);
QImage decodeTga(QByteArrayView file);

// Cheap checks of the first bytes, for choosing a decoder by content.
bool looksLikePcx(QByteArrayView head);
bool looksLikeTga(QByteArrayView head);

} // namespace ImageDecoders
