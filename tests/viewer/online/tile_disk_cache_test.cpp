#include "viewer/online/tile_disk_cache.h"

#include "support/temp_folder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
const QDateTime kReceived(QDate(2026, 3, 1), QTime(12, 0, 0, 250), Qt::UTC);
}

TEST(TileDiskCacheTest, ATileComesBackAsWrittenAndADamagedFileIsNoTile)
{
    TempFolder folder;
    const TileDiskCache cache(folder.Path() + QStringLiteral("source"));
    // Tile bytes may hold empty lines of their own.
    const CachedTile tile{kReceived, {"ETag: \"a\"", "Cache-Control: max-age=60"}, "\x89PNG\n\n\r\nbody"};
    ASSERT_TRUE(cache.Write(12, 2047, 1361, tile));

    const std::optional<CachedTile> read = cache.Read(12, 2047, 1361);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->ReceivedAt, kReceived);
    EXPECT_EQ(read->HeaderLines, tile.HeaderLines);
    EXPECT_EQ(read->Bytes, tile.Bytes);
    EXPECT_FALSE(cache.Read(12, 2047, 1362));

    folder.Write(QStringLiteral("source/12/2047/1361.tile"), "X-Received: 2026-03");
    EXPECT_FALSE(cache.Read(12, 2047, 1361));
    folder.Write(QStringLiteral("source/12/2047/1361.tile"), "X-Received: yesterday\n\nbytes");
    EXPECT_FALSE(cache.Read(12, 2047, 1361));
}

TEST(TileDiskCacheTest, TrimmingRemovesTheFilesWrittenLongestAgo)
{
    TempFolder folder;
    const TileDiskCache cache(folder.Path() + QStringLiteral("source"));
    for (int y = 0; y < 8; ++y) {
        ASSERT_TRUE(cache.Write(3, 0, y, {kReceived, {}, QByteArray(1000, 'b')}));
        QFile file(folder.File(QStringLiteral("source/3/0/%1.tile").arg(y)));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(kReceived.addSecs(y), QFileDevice::FileModificationTime);
    }

    cache.Trim(100000, [] { return false; });
    EXPECT_TRUE(cache.Read(3, 0, 0));

    // Each file holds about 1 kB: 8 are over a 6 kB limit, 4 fit in three quarters of it.
    cache.Trim(6000, [] { return false; });
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(cache.Read(3, 0, y).has_value(), y >= 4) << y;
}
