#include "combiner_fixture.h"
#include "platform/app_error.h"

#include <QDateTime>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
// Every tile of a tile set as "zoom/column/row" to its bytes.
QMap<QString, QByteArray> TilesOf(const QString& file)
{
    QMap<QString, QByteArray> tiles;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles", -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW)
        tiles.insert(QStringLiteral("%1/%2/%3")
                         .arg(sqlite3_column_int(statement, 0))
                         .arg(sqlite3_column_int(statement, 1))
                         .arg(sqlite3_column_int(statement, 2)),
            QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 3)), sqlite3_column_bytes(statement, 3)));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return tiles;
}

CombineCounts CombineInto(const QStringList& tasks, const QString& target, OutputFormat format, bool update,
    RecordingObserver& observer)
{
    CombineRequest request{tasks, target, format};
    request.LowerZooms = 8;
    request.Update = update;
    return Combine(request, observer);
}
}

TEST(TileSetUpdate, OnlyChangedTilesAndTheLowerZoomsAboveThemAreWritten)
{
    for (OutputFormat format : {OutputFormat::MBTiles, OutputFormat::GeoPackage}) {
        SCOPED_TRACE(OutputFormatName(format).toStdString());
        CombinerTask t;
        const QString target = t.folder.File("map.") + OutputFormatSuffix(format);
        RecordingObserver first;
        CombineInto({t.ProjectFile()}, target, format, false, first);
        const QMap<QString, QByteArray> before = TilesOf(target);

        // One tile changed after the output was written; another rewritten
        // unchanged before it counts as old.
        t.WriteTile(842, 388, CombinerTask::TileImage(7, 7));
        QFile changed(t.TilePath(842, 388));
        ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
        ASSERT_TRUE(changed.setFileTime(QFileInfo(target).lastModified().addSecs(60), QFileDevice::FileModificationTime));
        changed.close();
        RecordingObserver observer;
        CombineInto({t.ProjectFile()}, target, format, true, observer);
        EXPECT_TRUE(observer.notes.contains(QStringLiteral("update: 1 tiles changed since %1 was written").arg(target)))
            << observer.notes.join(u'\n').toStdString();

        const QMap<QString, QByteArray> after = TilesOf(target);
        ASSERT_EQ(after.keys(), before.keys());
        const bool tms = format == OutputFormat::MBTiles;
        const auto row = [tms](int zoom, int y) { return tms ? (1 << zoom) - 1 - y : y; };
        QStringList differing;
        for (auto tile = after.begin(); tile != after.end(); ++tile)
            if (tile.value() != before.value(tile.key()))
                differing << tile.key();
        EXPECT_EQ(differing, (QStringList{QStringLiteral("10/842/%1").arg(row(10, 388)),
                                 QStringLiteral("8/210/%1").arg(row(8, 97)), QStringLiteral("9/421/%1").arg(row(9, 194))}));
        EXPECT_EQ(after.value(QStringLiteral("10/842/%1").arg(row(10, 388))), t.folder.Read("area/os_842_388_10.png"));
    }
}

TEST(TileSetUpdate, AnOutputOfOtherTasksIsRefusedAndAMissingOneWrittenWhole)
{
    CombinerTask t;
    const OtherTask other(t, QStringLiteral("elsewhere.qtsk"), 10);
    const QString target = t.folder.File("map.mbtiles");
    RecordingObserver observer;
    CombineInto({t.ProjectFile()}, target, OutputFormat::MBTiles, true, observer);
    EXPECT_EQ(TilesOf(target).size(), 6 + 4 + 2) << "zoom 10, 9 and 8";
    const QByteArray written = t.folder.Read("map.mbtiles");
    EXPECT_THROW(CombineInto({other.ProjectFile()}, target, OutputFormat::MBTiles, true, observer), AppError);
    EXPECT_EQ(t.folder.Read("map.mbtiles"), written);
}
