#include "combiner/tile_halving.h"

#include "combiner/mosaic_geometry.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int kSize = MosaicGeometry::kTileSize;

// c * a / 255, rounded: the premultiplication Qt does.
inline unsigned Premultiply(unsigned c, unsigned a)
{
    const unsigned t = c * a;
    return (t + (t >> 8) + 0x80) >> 8;
}

// The 2 x 2 averages of two lines whose pixels are opaque or premultiplied:
// the four bytes of a pixel summed two at a time in 16-bit lanes of a word.
void HalveLines(const uchar* top, const uchar* bottom, uchar* out, int width)
{
    constexpr quint32 kLanes = 0x00FF00FF, kRounding = 0x00020002;
    for (int x = 0; x < width; ++x) {
        quint32 p[4];
        std::memcpy(p, top + x * 8, 8);
        std::memcpy(p + 2, bottom + x * 8, 8);
        const quint32 even = (p[0] & kLanes) + (p[1] & kLanes) + (p[2] & kLanes) + (p[3] & kLanes) + kRounding;
        const quint32 odd = ((p[0] >> 8) & kLanes) + ((p[1] >> 8) & kLanes) + ((p[2] >> 8) & kLanes) + ((p[3] >> 8) & kLanes) + kRounding;
        const quint32 average = ((even >> 2) & kLanes) | (((odd >> 2) & kLanes) << 8);
        std::memcpy(out + x * 4, &average, 4);
    }
}

// The same of two lines with unassociated alpha, premultiplied on the way.
void HalveUnassociatedLines(const uchar* top, const uchar* bottom, uchar* out, int width)
{
    for (int x = 0; x < width; ++x, top += 8, bottom += 8, out += 4) {
        const uchar* p[4] = {top, top + 4, bottom, bottom + 4};
        for (int c = 0; c < 3; ++c)
            out[c] = uchar((Premultiply(p[0][c], p[0][3]) + Premultiply(p[1][c], p[1][3]) + Premultiply(p[2][c], p[2][3])
                               + Premultiply(p[3][c], p[3][3]) + 2) / 4);
        out[3] = uchar((p[0][3] + p[1][3] + p[2][3] + p[3][3] + 2) / 4);
    }
}

bool Opaque(const uchar* line, int pixels)
{
    uchar all = 255;
    for (int x = 0; x < pixels; ++x)
        all &= line[x * 4 + 3];
    return all == 255;
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
        // Opaque pixels are the same premultiplied: most lines of a map.
        if (unassociated && !(Opaque(top, 2 * width) && Opaque(bottom, 2 * width)))
            HalveUnassociatedLines(top, bottom, half.scanLine(y), width);
        else
            HalveLines(top, bottom, half.scanLine(y), width);
    }
    return half;
}

void PlaceQuarter(QImage& tile, const QImage& half, int qx, int qy)
{
    const int side = half.width();
    for (int y = 0; y < side; ++y)
        std::memcpy(tile.scanLine(qy * side + y) + qx * side * 4, half.constScanLine(y), size_t(side) * 4);
}

void UnpremultiplyInto(const QImage& tile, uchar* out)
{
    const int width = tile.width();
    for (int y = 0; y < tile.height(); ++y) {
        const uchar* in = tile.constScanLine(y);
        for (int x = 0; x < width; ++x, in += 4, out += 4) {
            const unsigned a = in[3];
            if (a == 255 || a == 0) {
                std::memcpy(out, in, 4);
                continue;
            }
            for (int c = 0; c < 3; ++c)
                out[c] = uchar(std::min(255u, (in[c] * 255u + a / 2) / a));
            out[3] = uchar(a);
        }
    }
}
