#pragma once

#include <QByteArray>
#include <QImage>

// The PNG file of an image (any QImage format; kept as RGBA, colour type 6),
// as tiles are stored in MBTiles and GeoPackage. Raises std::bad_alloc when
// libpng cannot get memory.
QByteArray EncodePng(const QImage& image);

// Whether bytes start with the PNG signature.
bool IsPngData(const QByteArray& bytes);
// The width and height its header gives; invalid without a header.
QSize PngDataSize(const QByteArray& bytes);
