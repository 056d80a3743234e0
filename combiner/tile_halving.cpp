#include "combiner/tile_halving.h"

#include "combiner/mosaic_geometry.h"

#include <cstring>

namespace {
constexpr int kSize = MosaicGeometry::kTileSize;

// c * a / 255, rounded: the premultiplication Qt does.
inline unsigned Premultiply(unsigned c, unsigned a)
{
    const unsigned t = c * a;
    return (t + (t >> 8) + 0x80) >> 8;
}

// The 2 x 2 average of the pixels at p and p + 4 of two lines.
template <bool kUnassociated>
void HalveLine(const uchar* top, const uchar* bottom, uchar* out, int width)
{
    for (int x = 0; x < width; ++x, top += 8, bottom += 8, out += 4) {
        const uchar* p[4] = {top, top + 4, bottom, bottom + 4};
        if (kUnassociated && (p[0][3] & p[1][3] & p[2][3] & p[3][3]) != 255) {
            for (int c = 0; c < 3; ++c)
                out[c] = uchar((Premultiply(p[0][c], p[0][3]) + Premultiply(p[1][c], p[1][3]) + Premultiply(p[2][c], p[2][3])
                                   + Premultiply(p[3][c], p[3][3]) + 2) / 4);
            out[3] = uchar((p[0][3] + p[1][3] + p[2][3] + p[3][3] + 2) / 4);
            continue;
        }
        // Opaque (or already premultiplied) pixels average as they are.
        for (int c = 0; c < 4; ++c)
            out[c] = uchar((p[0][c] + p[1][c] + p[2][c] + p[3][c] + 2) / 4);
    }
}
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
    const bool unassociated = source.format() == QImage::Format_RGBA8888;
    QImage half(width, height, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < height; ++y) {
        const uchar* top = source.constScanLine(2 * y);
        const uchar* bottom = source.constScanLine(2 * y + 1);
        if (unassociated)
            HalveLine<true>(top, bottom, half.scanLine(y), width);
        else
            HalveLine<false>(top, bottom, half.scanLine(y), width);
    }
    return half;
}

void PlaceQuarter(QImage& tile, const QImage& half, int qx, int qy)
{
    const int side = half.width();
    for (int y = 0; y < side; ++y)
        std::memcpy(tile.scanLine(qy * side + y) + qx * side * 4, half.constScanLine(y), size_t(side) * 4);
}
