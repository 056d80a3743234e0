#include "support/hostile_files.h"
#include "support/temp_folder.h"
#include "task/tile_file_read.h"

#include <gtest/gtest.h>

using Outcome = TileFileBytes::Outcome;

TEST(TileFileRead, ReadsARegularFileWholeAndTellsAMissingOne)
{
    const TempFolder folder;
    const QByteArray bytes(kMaxTileFileBytes, 'p');
    folder.Write("largest.png", bytes);
    const TileFileBytes largest = ReadTileFileBytes(folder.File("largest.png"));
    EXPECT_EQ(largest.Result, Outcome::Read);
    EXPECT_EQ(largest.Bytes, bytes);
    EXPECT_EQ(largest.FileSize, kMaxTileFileBytes);

    folder.Write("empty.png", {});
    EXPECT_EQ(ReadTileFileBytes(folder.File("empty.png")).Result, Outcome::Read);
    EXPECT_EQ(ReadTileFileBytes(folder.File("none.png")).Result, Outcome::Missing);
    EXPECT_EQ(ReadTileFileBytes(folder.File("none/none.png")).Result, Outcome::Missing);
}

// A pipe or a device would block or never end; a huge file would fill the
// memory. Each is refused at once, with its reason.
TEST(TileFileRead, RefusesAnythingButABoundedRegularFile)
{
    const TempFolder folder;
    ASSERT_TRUE(hostile::MakeFifo(folder.File("fifo.png")));
    ASSERT_TRUE(hostile::LinkToDevZero(folder.File("zero.png")));
    ASSERT_TRUE(hostile::WriteSparseFile(folder.File("sparse.png"), "\x89PNG\r\n\x1a\n", qint64(1) << 30));
    ASSERT_TRUE(hostile::WriteSparseFile(folder.File("one-more.png"), {}, kMaxTileFileBytes + 1));
    folder.Write("real.png", "tile");
    ASSERT_TRUE(QFile::link(folder.File("real.png"), folder.File("link.png")));
    QDir(folder.Path()).mkdir(QStringLiteral("folder.png"));

    const std::vector<std::pair<const char*, QString>> refusals = {
        {"fifo.png", "not a regular file"},
        {"zero.png", "a symbolic link"},
        {"link.png", "a symbolic link"},
        {"folder.png", "not a regular file"},
        {"sparse.png", "larger than 16 MiB"},
        {"one-more.png", "larger than 16 MiB"},
    };
    for (const auto& [name, problem] : refusals) {
        SCOPED_TRACE(name);
        const TileFileBytes file = ReadTileFileBytes(folder.File(name));
        EXPECT_EQ(file.Result, Outcome::Refused);
        EXPECT_EQ(file.Problem, problem);
        EXPECT_TRUE(file.Bytes.isEmpty());
    }
    EXPECT_EQ(ReadTileFileBytes(folder.File("sparse.png")).FileSize, qint64(1) << 30);
}
