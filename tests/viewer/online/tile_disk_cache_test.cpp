#include "viewer/online/tile_disk_cache.h"

#include "support/hostile_files.h"
#include "support/temp_folder.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
const QDateTime kReceived(QDate(2026, 3, 1), QTime(12, 0, 0), Qt::UTC);
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

// A copy is written whole under a name of its own and never through a link;
// a pipe or a link in the cache's place is no copy and is not waited for.
TEST(TileDiskCacheTest, LinksAndPipesAtATilesPlaceAreNeitherFollowedNorRead)
{
    TempFolder folder;
    const TileDiskCache cache(folder.Path() + QStringLiteral("source"));
    ASSERT_TRUE(cache.Write(3, 0, 0, {kReceived, {}, "first"}));
    folder.Write("victim.txt", "victim");
    const QString tile = folder.File("source/3/0/0.tile");
    QFile::remove(tile);
    ASSERT_TRUE(QFile::link(folder.File("victim.txt"), tile));
    EXPECT_FALSE(cache.Read(3, 0, 0));
    ASSERT_TRUE(cache.Write(3, 0, 0, {kReceived, {}, "second"}));
    EXPECT_EQ(folder.Read("victim.txt"), "victim");
    EXPECT_EQ(cache.Read(3, 0, 0)->Bytes, "second");

    QFile::remove(tile);
    ASSERT_TRUE(hostile::MakeFifo(tile));
    EXPECT_FALSE(cache.Read(3, 0, 0));
}
