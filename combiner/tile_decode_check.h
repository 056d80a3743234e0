#pragma once

#include <QByteArray>
#include <QSize>

// The size of the image a tile file's bytes hold when they decode whole, an
// invalid size when they do not: what TileStateRule::ForFile needs without
// the cost of a QImage. A PNG is inflated row by row into one buffer, without
// colour conversion, so broken chunks, CRC and zlib errors and truncation are
// caught as a full decode would catch them; other images are decoded by Qt.
QSize DecodedImageSize(const QByteArray& bytes);
