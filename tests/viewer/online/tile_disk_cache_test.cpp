#include "viewer/online/tile_disk_cache.h"

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
