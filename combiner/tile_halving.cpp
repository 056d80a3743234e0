#include "combiner/tile_halving.h"

#include "combiner/mosaic_geometry.h"

#include <cstring>

namespace {
constexpr int kSize = MosaicGeometry::kTileSize;
}

QImage PremultipliedTile(const QImage& tile)
{
    if (!tile.isNull())
        return tile.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    QImage clear(kSize, kSize, QImage::Format_RGBA8888_Premultiplied);
    clear.fill(Qt::transparent);
    return clear;
}

QImage HalveImage(const QImage& source)
{
    const int width = source.width() / 2, height = source.height() / 2;
    QImage half(width, height, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const uchar* top = source.constScanLine(2 * y);
        const uchar* bottom = source.constScanLine(2 * y + 1);
        uchar* out = half.scanLine(y);
        for (int x = 0; x < width * 4; x += 4) {
            const int in = 2 * x;
            for (int c = 0; c < 4; ++c)
                out[x + c] = uchar((top[in + c] + top[in + 4 + c] + bottom[in + c] + bottom[in + 4 + c] + 2) / 4);
        }
    }
    return half;
}

void PlaceQuarter(QImage& tile, const QImage& half, int qx, int qy)
{
    const int side = half.width();
    for (int y = 0; y < side; ++y)
        std::memcpy(tile.scanLine(qy * side + y) + qx * side * 4, half.constScanLine(y), size_t(side) * 4);
}
