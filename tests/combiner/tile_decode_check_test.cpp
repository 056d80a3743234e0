#include "combiner/tile_decode_check.h"
#include "combiner_fixture.h"

#include <QImage>
#include <QtEndian>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

namespace {
QSize QImageSize(const QByteArray& bytes)
{
    QImage image;
    return image.loadFromData(bytes) ? image.size() : QSize();
}

// A tile of many colours, so its image data spans several zlib blocks.
QImage BusyTile(int width, int height)
{
    QImage image(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor((x * 7 + y) % 256, (y * 13) % 256, (x ^ y) % 256, 128 + x % 128));
    return image;
}

void AppendToByteArray(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

// Qt writes no interlaced PNG; libpng does.
QByteArray InterlacedPng(const QImage& rgba)
{
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        return {};
    png_set_write_fn(png, &bytes, AppendToByteArray, nullptr);
    png_set_IHDR(png, info, rgba.width(), rgba.height(), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_ADAM7,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (int y = 0; y < rgba.height(); ++y)
        rows.push_back(const_cast<png_bytep>(rgba.constScanLine(y)));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

// The PNG with one byte of its first image data chunk changed and that
// chunk's CRC made right again: only inflating the data can notice.
QByteArray WithImageDataCorrupted(QByteArray bytes)
{
    for (qsizetype at = 8; at + 12 <= bytes.size();) {
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at);
        if (bytes.mid(at + 4, 4) == "IDAT") {
            bytes[at + 8 + length / 2] = char(bytes[at + 8 + length / 2] ^ 0x5A);
            const auto* typeAndData = reinterpret_cast<const Bytef*>(bytes.constData() + at + 4);
            qToBigEndian<quint32>(quint32(crc32(0, typeAndData, 4 + length)), bytes.data() + at + 8 + length);
            return bytes;
        }
        at += 12 + length;
    }
    return {};
}
}

// Whatever a tile file holds, the quick check says what a full decode says.
TEST(TileDecodeCheck, AgreesWithAFullDecodeOnWholeAndDamagedFiles)
{
    const QImage busy = BusyTile(256, 256);
    const std::vector<std::pair<const char*, QByteArray>> tiles = {
        {"rgba", PngBytes(busy)},
        {"palette", PngBytes(busy.convertToFormat(QImage::Format_Indexed8))},
        {"interlaced", InterlacedPng(busy)},
        {"odd size", PngBytes(BusyTile(100, 37))},
    };
    for (const auto& [kind, png] : tiles) {
        SCOPED_TRACE(kind);
        ASSERT_FALSE(png.isEmpty());
        EXPECT_EQ(DecodedImageSize(png), QImageSize(png));
        EXPECT_TRUE(DecodedImageSize(png).isValid());
        // Cut anywhere, including in and before the end chunk.
        for (qsizetype length : {qsizetype(0), qsizetype(7), qsizetype(8), qsizetype(33), png.size() - 12, png.size() - 5,
                 png.size() - 4, png.size() - 1})
            EXPECT_EQ(DecodedImageSize(png.left(length)), QImageSize(png.left(length))) << "cut at " << length;
        for (qsizetype length = 40; length < png.size(); length += png.size() / 23)
            EXPECT_FALSE(DecodedImageSize(png.left(length)).isValid()) << "cut at " << length;
        // A changed byte breaks a CRC; with the CRC mended, the zlib stream.
        for (qsizetype at = 12; at < png.size(); at += std::max<qsizetype>(1, png.size() / 150)) {
            QByteArray damaged = png;
            damaged[at] = char(damaged[at] ^ 0x10);
            EXPECT_EQ(DecodedImageSize(damaged), QImageSize(damaged)) << "changed at " << at;
        }
        const QByteArray badData = WithImageDataCorrupted(png);
        EXPECT_FALSE(DecodedImageSize(badData).isValid());
        EXPECT_FALSE(QImageSize(badData).isValid());
    }
}

TEST(TileDecodeCheck, OtherImageFormatsAreDecodedAndAnythingElseIsNot)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    BusyTile(256, 128).save(&buffer, "JPEG");
    EXPECT_EQ(DecodedImageSize(jpeg), QSize(256, 128));
    EXPECT_FALSE(DecodedImageSize("<html>not found</html>").isValid());
    EXPECT_FALSE(DecodedImageSize(QByteArray()).isValid());
    EXPECT_FALSE(DecodedImageSize(QByteArray("\x89PNG\r\n\x1a\n", 8)).isValid());
}
