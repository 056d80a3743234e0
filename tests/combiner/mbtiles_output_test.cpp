#include "combiner_fixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
struct Database {
    sqlite3* db = nullptr;
    explicit Database(const QString& file) { sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr); }
    ~Database() { sqlite3_close(db); }

    // The first column of every row, as text (blobs as their bytes).
    QList<QByteArray> Column(const char* sql) const
    {
        QList<QByteArray> values;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return {"error: " + QByteArray(sqlite3_errmsg(db))};
        while (sqlite3_step(statement) == SQLITE_ROW)
            values << QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 0)), sqlite3_column_bytes(statement, 0));
        sqlite3_finalize(statement);
        return values;
    }
};
}

TEST(MBTilesOutput, StoredTilesUnchangedInTmsRowsWithMetadata)
{
    CombinerTask t;
    const QString target = t.CombineWithout(843, 388, QStringLiteral("map.mbtiles"), OutputFormat::MBTiles);

    const Database db(target);
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'name'"), QList<QByteArray>{"area"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'format'"), QList<QByteArray>{"png"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'type'"), QList<QByteArray>{"baselayer"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'minzoom'"), QList<QByteArray>{"10"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'maxzoom'"), QList<QByteArray>{"10"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'bounds'"),
        QList<QByteArray>{"115.66406250,39.63953756,116.71875000,40.17887331"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'center'"),
        QList<QByteArray>{"116.19140625,39.90920544,10"});

    EXPECT_EQ(db.Column("SELECT count(*) FROM tiles"), QList<QByteArray>{"5"});
    // Row 388 from the north is row 1023 - 388 = 635 from the south.
    EXPECT_EQ(db.Column("SELECT tile_data FROM tiles WHERE zoom_level = 10 AND tile_column = 842 AND tile_row = 635"),
        QList<QByteArray>{t.folder.Read("area/os_842_388_10.png")});
    EXPECT_TRUE(db.Column("SELECT tile_row FROM tiles WHERE tile_column = 843 AND tile_row = 635").isEmpty());
    EXPECT_EQ(db.Column("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql LIKE 'CREATE UNIQUE INDEX%'"),
        QList<QByteArray>{"1"});
}
