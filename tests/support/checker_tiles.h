#pragma once

#include "support/hostile_tiles.h"

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <vector>

// Tiles of every kind a server sends (palette with transparency, grey, grey
// with alpha, RGB, RGBA, 16 bits a channel), each a one-pixel checkerboard of
// two colours: drawn smaller, a smooth image is their even mix everywhere,
// while sampling single pixels or mixing palette indices shows as noise.
struct CheckerTile {
    const char* Kind;
    QByteArray Png;
    QRgb Mix;  // premultiplied average of the two colours
};

namespace checker {

inline QByteArray PngOf(int size, int colourType, int bitDepth, const std::vector<png_byte>& first,
    const std::vector<png_byte>& second, const std::vector<png_color>& palette = {},
    const std::vector<png_byte>& alphas = {})
{
    return hostile::WritePng({size, size, colourType, bitDepth, palette, alphas},
        [&](int y, std::vector<png_byte>& row) {
            row.clear();
            for (int x = 0; x < size; ++x) {
                const auto& pixel = (x + y) % 2 ? second : first;
                row.insert(row.end(), pixel.begin(), pixel.end());
            }
        });
}

inline QRgb MixOf(QColor a, QColor b)
{
    const QRgb pa = qPremultiply(a.rgba()), pb = qPremultiply(b.rgba());
    return qRgba((qRed(pa) + qRed(pb)) / 2, (qGreen(pa) + qGreen(pb)) / 2, (qBlue(pa) + qBlue(pb)) / 2,
        (qAlpha(pa) + qAlpha(pb)) / 2);
}

inline std::vector<CheckerTile> AllKinds(int size)
{
    const QColor red(200, 40, 40), blue(20, 20, 220);
    return {
        {"palette with transparency",
            PngOf(size, PNG_COLOR_TYPE_PALETTE, 8, {0}, {1}, {{200, 40, 40}, {20, 20, 220}}, {255, 0}),
            MixOf(red, Qt::transparent)},
        {"grey", PngOf(size, PNG_COLOR_TYPE_GRAY, 8, {220}, {20}), MixOf(QColor(220, 220, 220), QColor(20, 20, 20))},
        {"grey with alpha", PngOf(size, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {220, 255}, {20, 64}),
            MixOf(QColor(220, 220, 220), QColor(20, 20, 20, 64))},
        {"RGB", PngOf(size, PNG_COLOR_TYPE_RGB, 8, {200, 40, 40}, {20, 20, 220}), MixOf(red, blue)},
        {"RGBA", PngOf(size, PNG_COLOR_TYPE_RGB_ALPHA, 8, {200, 40, 40, 255}, {20, 20, 220, 100}),
            MixOf(red, QColor(20, 20, 220, 100))},
        {"16 bits", PngOf(size, PNG_COLOR_TYPE_RGB_ALPHA, 16, {200, 0, 40, 0, 40, 0, 255, 255},
                        {20, 0, 20, 0, 220, 0, 100, 0}),
            MixOf(red, QColor(20, 20, 220, 100))},
    };
}

// The largest difference of any channel of any pixel from `mix`, premultiplied.
inline int LargestDifference(const QImage& image, QRgb mix)
{
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int largest = 0;
    for (int y = 0; y < premultiplied.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
        for (int x = 0; x < premultiplied.width(); ++x) {
            const QRgb p = line[x];
            largest = std::max({largest, std::abs(qRed(p) - qRed(mix)), std::abs(qGreen(p) - qGreen(mix)),
                std::abs(qBlue(p) - qBlue(mix)), std::abs(qAlpha(p) - qAlpha(mix))});
        }
    }
    return largest;
}

}  // namespace checker
