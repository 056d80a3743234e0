#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <functional>
#include <png.h>
#include <vector>
#include <zlib.h>

// PNG files made to misbehave, as a server may send them.
namespace hostile {

// `png` with a chunk of `type` and `data` put right after its header chunk.
inline QByteArray WithChunkAfterHeader(const QByteArray& png, const char* type, const QByteArray& data)
{
    constexpr qsizetype kAfterHeader = 8 + 12 + 13;
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    chunk += QByteArray(type, 4) + data;
    const auto* typeAndData = reinterpret_cast<const Bytef*>(chunk.constData() + 4);
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(quint32(crc32(0, typeAndData, uInt(4 + data.size()))), crc.data());
    return png.left(kAfterHeader) + chunk + crc + png.mid(kAfterHeader);
}

// A short file whose second chunk declares 2 GiB - 1 bytes of `type`.
inline QByteArray WithHugeChunkLength(const QByteArray& png, const char* type)
{
    constexpr qsizetype kAfterHeader = 8 + 12 + 13;
    QByteArray head(4, '\0');
    qToBigEndian<quint32>(0x7FFFFFFF, head.data());
    return png.left(kAfterHeader) + head + QByteArray(type, 4) + png.mid(kAfterHeader, 100);
}

inline void AppendBytes(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// What a PNG written by WritePng looks like.
struct PngLayout {
    int Width = 0;
    int Height = 0;
    int ColourType = PNG_COLOR_TYPE_GRAY;
    int BitDepth = 8;
    std::vector<png_color> Palette;
    std::vector<png_byte> Alphas;  // tRNS of a palette
};

// A PNG written by libpng a row at a time (`fillRow` gives row y), so a huge
// one costs the test little memory.
inline QByteArray WritePng(const PngLayout& layout, const std::function<void(int y, std::vector<png_byte>& row)>& fillRow)
{
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &bytes, AppendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(layout.Width), png_uint_32(layout.Height), layout.BitDepth, layout.ColourType,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.Palette.empty())
        png_set_PLTE(png, info, layout.Palette.data(), int(layout.Palette.size()));
    if (!layout.Alphas.empty())
        png_set_tRNS(png, info, layout.Alphas.data(), int(layout.Alphas.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_byte> row;
    for (int y = 0; y < layout.Height; ++y) {
        fillRow(y, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// A valid opaque grey PNG of any size; a plain colour compresses to little.
inline QByteArray PlainPng(int width, int height)
{
    return WritePng({width, height}, [width](int, std::vector<png_byte>& row) { row.assign(size_t(width), 0x80); });
}

}  // namespace hostile
