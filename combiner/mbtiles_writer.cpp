#include "combiner/mbtiles_writer.h"

#include <QList>
#include <QStringList>
#include <algorithm>

namespace {
QString Number(double value)
{
    return QString::number(value, 'f', 8);
}
}

MBTilesWriter::MBTilesWriter(const QString& target, const TileSetDescription& description)
    : TileDatabase(target, kApplicationId, 0)
{
    db_.Execute("CREATE TABLE metadata (name text, value text)");
    db_.Execute("CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)");
    WriteMetadata(description);
    PrepareTileStatements(QStringLiteral("tiles"));
}

void MBTilesWriter::WriteMetadata(const TileSetDescription& d)
{
    // A column east of the grid (longitude 180 is not clamped) has no tiles;
    // readers reject bounds outside the world.
    const double west = std::clamp(d.West, -180.0, 180.0);
    const double east = std::clamp(d.East, -180.0, 180.0);
    QList<std::pair<QString, QString>> rows = {
        {QStringLiteral("name"), d.Name},
        {QStringLiteral("format"), QStringLiteral("png")},
        {QStringLiteral("type"), QStringLiteral("baselayer")},
        {QStringLiteral("version"), QStringLiteral("1")},
        {QStringLiteral("description"), d.Name},
        {QStringLiteral("bounds"), QStringList{Number(west), Number(d.South), Number(east), Number(d.North)}.join(u',')},
        {QStringLiteral("center"), QStringList{Number((west + east) / 2), Number((d.North + d.South) / 2),
                                       QString::number(d.MaxZoom)}.join(u',')},
        {QStringLiteral("minzoom"), QString::number(d.MinZoom)},
        {QStringLiteral("maxzoom"), QString::number(d.MaxZoom)},
    };
    if (!d.Attribution.isEmpty())
        rows.append({QStringLiteral("attribution"), d.Attribution});
    SqliteStatement insert(db_, "INSERT INTO metadata (name, value) VALUES (?, ?)");
    for (const auto& [key, value] : rows)
        insert.Bind(1, key).Bind(2, value).Run();
}

void MBTilesWriter::PrepareLookups()
{
    // Built once, after the given tiles: faster than keeping it up to date row by row.
    if (!indexed_)
        db_.Execute("CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)");
    indexed_ = true;
}

void MBTilesWriter::BeforeCommit()
{
    PrepareLookups();
}
