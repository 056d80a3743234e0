#include "image/tile_image.h"
#include "support/checker_tiles.h"
#include "support/hostile_tiles.h"
#include "support/png_bytes.h"
#include "support/temp_folder.h"

#include <QImage>
#include <QtEndian>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

namespace {
QSize QImageSize(const QByteArray& bytes)
{
    QImage image;
    return image.loadFromData(bytes) ? image.size() : QSize();
}

QSize DecodedImageSize(const QByteArray& bytes)
{
    return CheckTileImage(bytes).Size;
}

// What a full decode gives, which must agree with the check.
QSize FullDecodeSize(const QByteArray& bytes)
{
    const TileImage decoded = DecodeTileImage(bytes);
    return decoded.Image.isNull() ? QSize() : decoded.Image.size();
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

// Whatever a tile file holds, the quick check says what a full decode says,
// ours and Qt's.
TEST(TileImageCheck, AgreesWithAFullDecodeOnWholeAndDamagedFiles)
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
        EXPECT_EQ(FullDecodeSize(png), QImageSize(png));
        EXPECT_TRUE(DecodedImageSize(png).isValid());
        // Cut anywhere, including in and before the end chunk.
        for (qsizetype length : {qsizetype(0), qsizetype(7), qsizetype(8), qsizetype(33), png.size() - 12, png.size() - 5,
                 png.size() - 4, png.size() - 1})
        {
            EXPECT_EQ(DecodedImageSize(png.left(length)), QImageSize(png.left(length))) << "cut at " << length;
            EXPECT_EQ(FullDecodeSize(png.left(length)), QImageSize(png.left(length))) << "cut at " << length;
        }
        for (qsizetype length = 40; length < png.size(); length += png.size() / 23)
            EXPECT_FALSE(DecodedImageSize(png.left(length)).isValid()) << "cut at " << length;
        // A changed byte breaks a CRC; with the CRC mended, the zlib stream.
        for (qsizetype at = 12; at < png.size(); at += std::max<qsizetype>(1, png.size() / 150)) {
            QByteArray damaged = png;
            damaged[at] = char(damaged[at] ^ 0x10);
            EXPECT_EQ(DecodedImageSize(damaged), QImageSize(damaged)) << "changed at " << at;
            EXPECT_EQ(FullDecodeSize(damaged), QImageSize(damaged)) << "changed at " << at;
        }
        const QByteArray badData = WithImageDataCorrupted(png);
        EXPECT_FALSE(DecodedImageSize(badData).isValid());
        EXPECT_FALSE(FullDecodeSize(badData).isValid());
        EXPECT_FALSE(QImageSize(badData).isValid());
    }
}

TEST(TileImageCheck, OtherImageFormatsAreDecodedAndAnythingElseIsNot)
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

namespace {
// What the program writes to stderr while this lives.
class StderrCapture {
public:
    StderrCapture() : saved_(::dup(STDERR_FILENO))
    {
        std::fflush(stderr);
        const int file = ::open(QFile::encodeName(folder_.File("stderr")).constData(), O_WRONLY | O_CREAT, 0600);
        ::dup2(file, STDERR_FILENO);
        ::close(file);
    }
    ~StderrCapture() { Restore(); }

    QByteArray Text()
    {
        Restore();
        return folder_.Read("stderr");
    }

private:
    void Restore()
    {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }

    TempFolder folder_;
    int saved_;
};
}

TEST(TileImageLimits, HostilePngsAreRefusedWithTheirReasonAndNothingOnStderr)
{
    const QByteArray tile = PngBytes(BusyTile(256, 256));
    const std::vector<std::tuple<const char*, QByteArray, QString>> cases = {
        {"text chunk of 2 GiB - 1", hostile::WithHugeChunkLength(tile, "tEXt"), "PNG: "},
        {"image data chunk of 2 GiB - 1", hostile::WithHugeChunkLength(tile, "IDAT"), "PNG: "},
        {"5792 x 5792 pixels", hostile::PlainPng(5792, 5792), "larger than 4096 x 4096 pixels"},
        {"4097 x 1 pixels", hostile::PlainPng(4097, 1), "larger than 4096 x 4096 pixels"},
        {"cut in half", tile.left(tile.size() / 2), "PNG: "},
    };
    StderrCapture stderrText;
    for (const auto& [kind, bytes, problem] : cases) {
        SCOPED_TRACE(kind);
        ASSERT_GT(bytes.size(), 50);
        for (const TileImage& result : {CheckTileImage(bytes), DecodeTileImage(bytes)}) {
            EXPECT_FALSE(result.Decodes());
            EXPECT_TRUE(result.Image.isNull());
            EXPECT_TRUE(result.Problem.startsWith(problem)) << result.Problem.toStdString();
        }
    }
    EXPECT_EQ(stderrText.Text(), "");
}

TEST(TileImageLimits, TilesWithinTheLimitsDecode)
{
    const QByteArray tile = PngBytes(BusyTile(256, 256));
    // Text is skipped unread, however long.
    const QByteArray text = QByteArray("Comment\0", 8) + QByteArray(5 << 20, 'x');
    for (const QByteArray& bytes : {hostile::PlainPng(4096, 8), hostile::PlainPng(8, 4096),
             hostile::WithChunkAfterHeader(tile, "tEXt", text), hostile::WithChunkAfterHeader(tile, "zTXt", text)}) {
        const TileImage checked = CheckTileImage(bytes);
        const TileImage decoded = DecodeTileImage(bytes);
        EXPECT_TRUE(checked.Decodes()) << checked.Problem.toStdString();
        EXPECT_EQ(decoded.Image.size(), checked.Size);
        EXPECT_EQ(decoded.Problem, QString());
    }
}

// Every kind of tile comes with its own colours at its own size, and scaled
// down as their even mix: no palette noise, no single pixels picked.
TEST(TileImageScaling, EveryKindOfTileScalesDownSmoothly)
{
    for (const CheckerTile& tile : checker::AllKinds(256)) {
        SCOPED_TRACE(tile.Kind);
        const TileImage whole = DecodeTileImage(tile.Png);
        ASSERT_EQ(whole.Image.size(), QSize(256, 256));
        for (int edge : {128, 64, 100}) {
            const TileImage scaled = DecodeTileImage(tile.Png, [edge](QSize) { return QSize(edge, edge); });
            ASSERT_EQ(scaled.Image.size(), QSize(edge, edge));
            EXPECT_EQ(scaled.Size, QSize(256, 256));
            EXPECT_LE(checker::LargestDifference(scaled.Image, tile.Mix), 6) << "edge " << edge;
        }
    }
}

TEST(TileImageScaling, EachKindKeepsItsColoursAtItsOwnSize)
{
    const std::vector<CheckerTile> kinds = checker::AllKinds(4);
    const std::vector<std::pair<QColor, QColor>> colours = {
        {QColor(200, 40, 40), Qt::transparent},
        {QColor(220, 220, 220), QColor(20, 20, 20)},
        {QColor(220, 220, 220), QColor(20, 20, 20, 64)},
        {QColor(200, 40, 40), QColor(20, 20, 220)},
        {QColor(200, 40, 40), QColor(20, 20, 220, 100)},
        {QColor(199, 40, 40), QColor(20, 20, 219, 100)},
    };
    // Any fully transparent colour is the same.
    const auto seen = [](QColor colour) { return colour.alpha() == 0 ? QColor(Qt::transparent) : colour; };
    for (size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i].Kind);
        const QImage image = DecodeTileImage(kinds[i].Png).Image;
        EXPECT_EQ(seen(image.pixelColor(0, 0)), colours[i].first);
        EXPECT_EQ(seen(image.pixelColor(1, 0)), colours[i].second);
    }
}
