#include "combiner/geotiff_writer.h"
#include "combiner/overview_pyramid.h"
#include "combiner/tile_halving.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstring>
#include <span>
#include <zlib.h>

namespace {
constexpr int kSize = 256;

// A tile with unassociated alpha: opaque colour, a band fading out, a
// transparent corner, and noise so that no two tiles are alike.
QImage PatternTile(int column, int row)
{
    QImage tile(kSize, kSize, QImage::Format_RGBA8888);
    QRandomGenerator random(quint32(column * 1000 + row));
    for (int y = 0; y < kSize; ++y) {
        uchar* line = tile.scanLine(y);
        for (int x = 0; x < kSize; ++x) {
            const int alpha = x < 64 && y < 64 ? 0 : y >= 192 ? 255 - (x % 256) : 255;
            line[x * 4 + 0] = uchar((x + column * 40) & 0xff);
            line[x * 4 + 1] = uchar((y + row * 60) & 0xff);
            line[x * 4 + 2] = uchar(random.bounded(256));
            line[x * 4 + 3] = uchar(alpha);
        }
    }
    return tile;
}

bool IsMissing(int column, int row)
{
    return (column + 2 * row) % 5 == 3;
}

// Level `level` as one premultiplied image, made by a plain 2 x 2 average of
// the whole image above (transparent beyond its edges).
QImage ReferenceLevel(const QImage& above)
{
    const int width = (above.width() / kSize + 1) / 2 * kSize, height = (above.height() / kSize + 1) / 2 * kSize;
    QImage level(width, height, QImage::Format_RGBA8888_Premultiplied);
    level.fill(Qt::transparent);
    for (int y = 0; y < std::min(height, above.height() / 2); ++y)
        for (int x = 0; x < std::min(width, above.width() / 2); ++x)
            for (int c = 0; c < 4; ++c) {
                const auto at = [&](int px, int py) { return above.constScanLine(py)[px * 4 + c]; };
                level.scanLine(y)[x * 4 + c] = uchar((at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1) + 2) / 4);
            }
    return level;
}

std::vector<uchar> Inflate(const QByteArray& data)
{
    std::vector<uchar> pixels(size_t(kSize) * kSize * 4);
    uLongf size = uLongf(pixels.size());
    if (uncompress(pixels.data(), &size, reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size())) != Z_OK
        || size != pixels.size())
        pixels.clear();
    return pixels;
}

// Every tile of every level, inflated, level by level, row by row.
std::vector<std::vector<uchar>> LevelTiles(const OverviewPyramid& pyramid, int level)
{
    const OverviewPyramid::Level& l = pyramid.At(level);
    std::vector<std::vector<uchar>> tiles;
    QByteArray data;
    qint64 offset = 0;
    for (const quint32 size : l.Sizes) {
        l.Data->Read(offset, size, data);
        offset += size;
        tiles.push_back(Inflate(data));
    }
    return tiles;
}

struct PyramidCase {
    int Columns, Rows;
    int SpanLength;           // tiles handed over between two Settle calls
    qint64 UnpackedUpperBytes;  // 0: every waiting upper half packed
};

class OverviewPyramidTest : public ::testing::TestWithParam<PyramidCase> {};
}

// Odd and even sides, spans that split pairs of tiles, upper halves waiting
// as they are or packed: every tile of every level is the average of the
// level above (to 1 level of rounding, unpremultiplied), in row order.
TEST_P(OverviewPyramidTest, EveryLevelAveragesTheOneAbove)
{
    const PyramidCase c = GetParam();
    QTemporaryDir folder;
    const int levels = OverviewPyramid::LevelsFor(c.Columns, c.Rows);
    OverviewPyramid pyramid(c.Columns, c.Rows, levels, folder.path(), folder.filePath("out.tif"), c.UnpackedUpperBytes);
    QImage full(c.Columns * kSize, c.Rows * kSize, QImage::Format_RGBA8888_Premultiplied);
    full.fill(Qt::transparent);
    int handed = 0;
    for (int row = 0; row < c.Rows; ++row)
        for (int column = 0; column < c.Columns; ++column) {
            QImage half;
            if (!IsMissing(column, row)) {
                const QImage tile = PatternTile(column, row);
                half = HalveImage(tile);
                const QImage premultiplied = PremultipliedTile(tile);
                for (int y = 0; y < kSize; ++y)
                    std::memcpy(full.scanLine(row * kSize + y) + column * kSize * 4, premultiplied.constScanLine(y), kSize * 4);
            }
            pyramid.AddHalf(column, row, half);
            if (++handed % c.SpanLength == 0 || column == c.Columns - 1)
                pyramid.Settle();
        }
    ASSERT_EQ(pyramid.Levels(), levels);
    QImage reference = full;
    for (int level = 1; level <= levels; ++level) {
        reference = ReferenceLevel(reference);
        const OverviewPyramid::Level& l = pyramid.At(level);
        ASSERT_EQ(l.Columns * kSize, reference.width()) << "level " << level;
        ASSERT_EQ(l.Rows * kSize, reference.height()) << "level " << level;
        const auto tiles = LevelTiles(pyramid, level);
        ASSERT_EQ(qint64(tiles.size()), l.Columns * l.Rows) << "level " << level;
        for (qint64 index = 0; index < qint64(tiles.size()); ++index) {
            ASSERT_FALSE(tiles[size_t(index)].empty()) << "level " << level << " tile " << index << " does not inflate";
            const int tx = int(index % l.Columns), ty = int(index / l.Columns);
            const QImage unassociated = reference.copy(tx * kSize, ty * kSize, kSize, kSize).convertToFormat(QImage::Format_RGBA8888);
            const std::span<const uchar> expected(unassociated.constBits(), size_t(unassociated.sizeInBytes()));
            for (size_t i = 0; i < expected.size(); ++i) {
                const int alpha = expected[i | 3];
                const int tolerance = i % 4 == 3 ? 1 : alpha >= 128 ? 2 : 255;
                if (std::abs(int(tiles[size_t(index)][i]) - int(expected[i])) > tolerance)
                    FAIL() << "level " << level << " tile " << tx << "," << ty << " pixel " << i / 4 % kSize << ","
                           << i / 4 / kSize << " channel " << i % 4 << ": " << int(tiles[size_t(index)][i]) << " instead of "
                           << int(expected[i]);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sides, OverviewPyramidTest,
    ::testing::Values(PyramidCase{5, 3, 64, OverviewPyramid::kUnpackedUpperBytes}, PyramidCase{5, 3, 3, 0},
        PyramidCase{1, 6, 1, 0}, PyramidCase{7, 1, 2, OverviewPyramid::kUnpackedUpperBytes},
        PyramidCase{4, 5, 3, OverviewPyramid::kUnpackedUpperBytes}, PyramidCase{4, 5, 64, 0}),
    [](const ::testing::TestParamInfo<PyramidCase>& info) {
        const PyramidCase& c = info.param;
        return std::to_string(c.Columns) + "x" + std::to_string(c.Rows) + "_spans_of_" + std::to_string(c.SpanLength)
            + (c.UnpackedUpperBytes == 0 ? "_packed" : "_unpacked");
    });

// Waiting upper halves packed or not, spans long or short: the same bytes.
TEST(OverviewPyramid, SameBytesWhateverWaitsPackedAndWhereverSpansEnd)
{
    QTemporaryDir folder;
    const auto build = [&](qint64 unpacked, int span) {
        auto pyramid = std::make_unique<OverviewPyramid>(6, 4, 3, folder.path(), folder.filePath("out.tif"), unpacked);
        int handed = 0;
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 6; ++column) {
                pyramid->AddHalf(column, row, IsMissing(column, row) ? QImage() : HalveImage(PatternTile(column, row)));
                if (++handed % span == 0)
                    pyramid->Settle();
            }
        pyramid->Settle();
        return pyramid;
    };
    const auto one = build(OverviewPyramid::kUnpackedUpperBytes, 64), other = build(0, 5);
    for (int level = 1; level <= 3; ++level) {
        const OverviewPyramid::Level &a = one->At(level), &b = other->At(level);
        ASSERT_EQ(a.Sizes, b.Sizes) << "level " << level;
        QByteArray bytesA, bytesB;
        a.Data->Read(0, a.Data->Size(), bytesA);
        b.Data->Read(0, b.Data->Size(), bytesB);
        EXPECT_EQ(bytesA, bytesB) << "level " << level;
    }
}

// Halving straight from unassociated pixels gives what premultiplying the
// whole tile first gives.
TEST(TileHalving, UnassociatedSourceHalvesAsPremultiplied)
{
    const QImage tile = PatternTile(3, 4);
    const QImage direct = HalveImage(tile), viaQt = HalveImage(tile.convertToFormat(QImage::Format_RGBA8888_Premultiplied));
    ASSERT_EQ(direct.size(), QSize(128, 128));
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128 * 4; ++x)
            ASSERT_LE(std::abs(direct.constScanLine(y)[x] - viaQt.constScanLine(y)[x]), 1) << x / 4 << "," << y;
}
