#pragma once

#include "combiner/output_format.h"
#include "combiner/sqlite_database.h"
#include "combiner/tile_set_writer.h"

#include <QDateTime>
#include <memory>

// An MBTiles or GeoPackage file the combiner wrote before, brought up to
// date in place: tiles replace those of the same place, all in one
// transaction, so a kill midway leaves the file as it was. Raises AppError
// when the file is not a tile set of `format` named `name` (the name the
// same tasks give it).
class TileSetUpdate : public TileSetWriter {
public:
    TileSetUpdate(const QString& target, OutputFormat format, const QString& name);
    ~TileSetUpdate() override;

    void AddTile(int zoom, int x, int y, const QByteArray& png) override;
    std::optional<QByteArray> ReadTile(int zoom, int x, int y) override;
    void Finish() override;

private:
    qint64 StoredRow(int zoom, int y) const;

    SqliteDatabase db_;
    bool rowsFromSouth_;
    std::unique_ptr<SqliteStatement> replace_;
    std::unique_ptr<SqliteStatement> select_;
};
