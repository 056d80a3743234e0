#pragma once

#include <QByteArray>
#include <QImage>

// A 256 x 256 RGBA tile kept compressed in bands of lines, so that the lines
// of one band can be unpacked without the rest.
constexpr int kBandLines = 32;
constexpr int kBandsPerTile = 256 / kBandLines;

// Any 4-byte-per-pixel 256 x 256 image; it comes back in the same format.
QByteArray PackTileBands(const QImage& rgba);
QImage UnpackTile(const QByteArray& packed, QImage::Format format = QImage::Format_RGBA8888_Premultiplied);
// Band `band` of a packed tile into `out` (kBandLines lines of 1024 bytes);
// raises std::runtime_error when the packed bytes are damaged.
void UnpackTileBand(const QByteArray& packed, int band, unsigned char* out);
