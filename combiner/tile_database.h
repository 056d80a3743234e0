#pragma once

#include "combiner/output_file.h"
#include "combiner/sqlite_database.h"
#include "combiner/tile_set_writer.h"

#include <memory>

// The part MBTiles and GeoPackage share: one SQLite file written under its
// temporary name in one transaction, a table of tiles with columns
// zoom_level, tile_column, tile_row and tile_data, and lookups of tiles
// already written (for the zoom levels built from them).
class TileDatabase : public TileSetWriter {
public:
    ~TileDatabase() override;

    void AddTile(int zoom, int x, int y, const QByteArray& png) override;
    std::optional<QByteArray> ReadTile(int zoom, int x, int y) override;
    void Finish() override;

protected:
    TileDatabase(const QString& target, int applicationId, int userVersion);

    // Prepares the statements on `table`, once its schema is in place.
    void PrepareTileStatements(const QString& table);
    // The row a tile is stored under: from the north, or from the south (TMS).
    virtual qint64 StoredRow(int zoom, int y) const = 0;
    // Work left before the commit (an index built once at the end).
    virtual void BeforeCommit() {}

    PendingOutput output_;
    SqliteDatabase db_;

private:
    std::unique_ptr<SqliteStatement> insert_;
    std::unique_ptr<SqliteStatement> select_;
};
