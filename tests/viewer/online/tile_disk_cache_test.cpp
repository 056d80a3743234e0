#include "viewer/online/tile_disk_cache.h"

#include "support/hostile_files.h"
#include "support/temp_folder.h"

#include <QDirIterator>
#include <QFile>
#include <gtest/gtest.h>

namespace {
const QDateTime kStoredAt(QDate(2026, 3, 1), QTime(12, 0, 0), Qt::UTC);

qint64 BytesInFolder(const QString& folder)
{
    qint64 bytes = 0;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        walk.next();
        bytes += walk.fileInfo().size();
    }
    return bytes;
}

void SetWrittenAt(const QString& path, int secondsLater)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(kStoredAt.addSecs(secondsLater), QFileDevice::FileModificationTime);
}
}

TEST(TileDiskCacheTest, TrimmingRemovesTheFilesWrittenLongestAgo)
{
    TempFolder folder;
    {
        TileDiskCache roomy(folder.Path() + QStringLiteral("source"), 100000);
        for (int y = 0; y < 8; ++y) {
            ASSERT_TRUE(roomy.Write(3, 0, y, {kStoredAt, {}, QByteArray(1000, 'b')}));
            SetWrittenAt(folder.File(QStringLiteral("source/3/0/%1.tile").arg(y)), y);
        }
        roomy.Trim([] { return false; });
        EXPECT_TRUE(roomy.Read(3, 0, 0));
        EXPECT_EQ(roomy.TotalBytes(), BytesInFolder(folder.Path()));
    }

    // Each file holds about 1 kB: 8 are over a 6 kB limit, 4 fit in three quarters of it.
    TileDiskCache small(folder.Path() + QStringLiteral("source"), 6000);
    small.Trim([] { return false; });
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(small.Read(3, 0, y).has_value(), y >= 4) << y;
    EXPECT_EQ(small.TotalBytes(), BytesInFolder(folder.Path()));
}

TEST(TileDiskCacheTest, WritingNeverTakesTheFolderPastItsLimit)
{
    TempFolder folder;
    const QString source = folder.Path() + QStringLiteral("source");
    constexpr qint64 kLimit = 10000;
    TileDiskCache cache(source, kLimit);
    // What an earlier run left: 6 files, within the limit.
    for (int y = 0; y < 6; ++y) {
        ASSERT_TRUE(cache.Write(4, 1, y, {kStoredAt, {}, QByteArray(1000, 'a')}));
        SetWrittenAt(folder.File(QStringLiteral("source/4/1/%1.tile").arg(y)), y);
    }
    TileDiskCache reopened(source, kLimit);
    reopened.Trim([] { return false; });
    EXPECT_EQ(reopened.TotalBytes(), BytesInFolder(source));

    // Panning on: new tiles, and one tile written again over and over.
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(reopened.Write(5, i, 0, {kStoredAt, {"ETag: \"x\""}, QByteArray(900 + i, 'c')})) << i;
        ASSERT_TRUE(reopened.Write(5, 0, 99, {kStoredAt, {}, QByteArray(500, 'r')})) << i;
        ASSERT_LE(BytesInFolder(source), kLimit) << i;
        ASSERT_EQ(reopened.TotalBytes(), BytesInFolder(source)) << i;
    }
    // The oldest went first; the one just written is there.
    EXPECT_FALSE(reopened.Read(4, 1, 0));
    ASSERT_TRUE(reopened.Read(5, 0, 99));
    EXPECT_EQ(reopened.Read(5, 0, 99)->Bytes, QByteArray(500, 'r'));

    reopened.Remove(5, 0, 99);
    EXPECT_EQ(reopened.TotalBytes(), BytesInFolder(source));
    // A tile larger than the whole cache is not kept, and costs nothing else.
    const qint64 before = BytesInFolder(source);
    EXPECT_FALSE(reopened.Write(6, 0, 0, {kStoredAt, {}, QByteArray(kLimit, 'x')}));
    EXPECT_EQ(BytesInFolder(source), before);
}

// A copy is written whole under a name of its own and never through a link;
// a pipe or a link in the cache's place is no copy and is not waited for.
TEST(TileDiskCacheTest, LinksAndPipesAtATilesPlaceAreNeitherFollowedNorRead)
{
    TempFolder folder;
    TileDiskCache cache(folder.Path() + QStringLiteral("source"), 1 << 20);
    ASSERT_TRUE(cache.Write(3, 0, 0, {kStoredAt, {}, "first"}));
    folder.Write("victim.txt", "victim");
    const QString tile = folder.File("source/3/0/0.tile");
    QFile::remove(tile);
    ASSERT_TRUE(QFile::link(folder.File("victim.txt"), tile));
    EXPECT_FALSE(cache.Read(3, 0, 0));
    ASSERT_TRUE(cache.Write(3, 0, 0, {kStoredAt, {}, "second"}));
    EXPECT_EQ(folder.Read("victim.txt"), "victim");
    EXPECT_EQ(cache.Read(3, 0, 0)->Bytes, "second");

    QFile::remove(tile);
    ASSERT_TRUE(hostile::MakeFifo(tile));
    EXPECT_FALSE(cache.Read(3, 0, 0));
}
