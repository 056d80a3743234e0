#pragma once

#include <QByteArray>
#include <QImage>

// The DEFLATE encoders of TIFF tiles, shared by the GeoTIFF writer and the
// overviews it builds.

// Compresses `size` bytes into a zlib stream at libdeflate's `level` (1-12),
// as TIFF's DEFLATE stores it.
QByteArray DeflateTileData(const uchar* data, size_t size, int level);
// The TIFF tile of 256 x 256 RGBA pixels (unassociated alpha).
QByteArray DeflateTilePixels(const QImage& rgba);
// The TIFF tile of an overview's 256 x 256 premultiplied RGBA pixels.
QByteArray DeflateOverviewTile(const QImage& premultiplied);
// The TIFF tile of a transparent 256 x 256 tile.
const QByteArray& TransparentTileData();
