#include "combiner/tile_set_update.h"

#include "platform/app_error.h"

namespace {
std::optional<QByteArray> QueryText(SqliteDatabase& db, const char* sql)
{
    try {
        return SqliteStatement(db, sql).QueryBlob();
    } catch (const AppError&) {
        return std::nullopt;  // no such table: not a tile set of this kind
    }
}
}

TileSetUpdate::TileSetUpdate(const QString& target, OutputFormat format, const QString& name)
    : db_(target, target), rowsFromSouth_(format == OutputFormat::MBTiles)
{
    const bool mbtiles = format == OutputFormat::MBTiles;
    const std::optional<QByteArray> table = mbtiles
        ? std::optional<QByteArray>("tiles")
        : QueryText(db_, "SELECT table_name FROM gpkg_contents WHERE data_type = 'tiles' LIMIT 1");
    const std::optional<QByteArray> storedName = mbtiles
        ? QueryText(db_, "SELECT value FROM metadata WHERE name = 'name'")
        : QueryText(db_, "SELECT identifier FROM gpkg_contents WHERE data_type = 'tiles' LIMIT 1");
    if (!table || !storedName || QString::fromUtf8(*storedName) != name)
        throw AppError(QStringLiteral("Cannot update %1: it is not a tile set made from these tasks.").arg(target));
    // The journal on disk keeps the file whole if the update is cut short.
    db_.Execute("BEGIN IMMEDIATE");
    const QByteArray quoted = '"' + *table + '"';
    replace_ = std::make_unique<SqliteStatement>(db_,
        ("INSERT OR REPLACE INTO " + quoted + " (zoom_level, tile_column, tile_row, tile_data) VALUES (?, ?, ?, ?)")
            .constData());
    select_ = std::make_unique<SqliteStatement>(db_,
        ("SELECT tile_data FROM " + quoted + " WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?").constData());
}

TileSetUpdate::~TileSetUpdate() = default;

qint64 TileSetUpdate::StoredRow(int zoom, int y) const
{
    return rowsFromSouth_ ? (qint64(1) << zoom) - 1 - y : y;
}

void TileSetUpdate::AddTile(int zoom, int x, int y, const QByteArray& png)
{
    replace_->Bind(1, zoom).Bind(2, x).Bind(3, StoredRow(zoom, y)).BindBlob(4, png).Run();
}

std::optional<QByteArray> TileSetUpdate::ReadTile(int zoom, int x, int y)
{
    return select_->Bind(1, zoom).Bind(2, x).Bind(3, StoredRow(zoom, y)).QueryBlob();
}

void TileSetUpdate::Finish()
{
    db_.Execute("COMMIT");
    replace_.reset();
    select_.reset();
    db_.Close();
}
