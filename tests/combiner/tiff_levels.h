#pragma once

#include <QFile>
#include <QImage>
#include <algorithm>
#include <cstring>
#include <tiffio.h>
#include <vector>

// Directory `directory` of a tiled RGBA TIFF as one image, read tile by tile
// without libtiff's colour conversion (which would premultiply); null when
// the file has no such directory.
inline QImage ReadTiffLevel(const QString& file, int directory)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(file).constData(), "r");
    if (!tiff)
        return {};
    if (!TIFFSetDirectory(tiff, tdir_t(directory))) {
        TIFFClose(tiff);
        return {};
    }
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    QImage image(int(width), int(height), QImage::Format_RGBA8888);
    std::vector<uchar> tile(256 * 256 * 4);
    for (uint32_t ty = 0; ty < height; ty += 256)
        for (uint32_t tx = 0; tx < width; tx += 256) {
            TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, tx, ty, 0, 0), tile.data(), tmsize_t(tile.size()));
            for (uint32_t y = ty; y < std::min(height, ty + 256); ++y)
                std::memcpy(image.scanLine(int(y)) + tx * 4, tile.data() + (y - ty) * 1024, std::min<uint32_t>(256, width - tx) * 4);
        }
    TIFFClose(tiff);
    return image;
}
