#include "combiner/geopackage_writer.h"

#include "combiner/mosaic_geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// The web-map grid's edge: half the equator in Web Mercator metres.
const double kWorldEdge = 6378137.0 * std::numbers::pi;

const char kWgs84Wkt[] =
    "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,AUTHORITY[\"EPSG\",\"7030\"]],"
    "AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,AUTHORITY[\"EPSG\",\"8901\"]],"
    "UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\",\"9122\"]],AXIS[\"Latitude\",NORTH],"
    "AXIS[\"Longitude\",EAST],AUTHORITY[\"EPSG\",\"4326\"]]";
}

GeoPackageWriter::GeoPackageWriter(const QString& target, const TileSetDescription& description)
    : TileDatabase(target, kApplicationId, kUserVersion)
{
    CreateTables();
    Describe(description);
    PrepareTileStatements(QString::fromLatin1(kTable));
}

void GeoPackageWriter::CreateTables()
{
    db_.Execute("CREATE TABLE gpkg_spatial_ref_sys (srs_name TEXT NOT NULL, srs_id INTEGER NOT NULL PRIMARY KEY, "
                "organization TEXT NOT NULL, organization_coordsys_id INTEGER NOT NULL, definition TEXT NOT NULL, "
                "description TEXT)");
    db_.Execute("CREATE TABLE gpkg_contents (table_name TEXT NOT NULL PRIMARY KEY, data_type TEXT NOT NULL, "
                "identifier TEXT UNIQUE, description TEXT DEFAULT '', "
                "last_change DATETIME NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ','now')), "
                "min_x DOUBLE, min_y DOUBLE, max_x DOUBLE, max_y DOUBLE, srs_id INTEGER, "
                "CONSTRAINT fk_gc_r_srs_id FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys(srs_id))");
    db_.Execute("CREATE TABLE gpkg_tile_matrix_set (table_name TEXT NOT NULL PRIMARY KEY, srs_id INTEGER NOT NULL, "
                "min_x DOUBLE NOT NULL, min_y DOUBLE NOT NULL, max_x DOUBLE NOT NULL, max_y DOUBLE NOT NULL, "
                "CONSTRAINT fk_gtms_table_name FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name), "
                "CONSTRAINT fk_gtms_srs FOREIGN KEY (srs_id) REFERENCES gpkg_spatial_ref_sys (srs_id))");
    db_.Execute("CREATE TABLE gpkg_tile_matrix (table_name TEXT NOT NULL, zoom_level INTEGER NOT NULL, "
                "matrix_width INTEGER NOT NULL, matrix_height INTEGER NOT NULL, tile_width INTEGER NOT NULL, "
                "tile_height INTEGER NOT NULL, pixel_x_size DOUBLE NOT NULL, pixel_y_size DOUBLE NOT NULL, "
                "CONSTRAINT pk_ttm PRIMARY KEY (table_name, zoom_level), "
                "CONSTRAINT fk_tmm_table_name FOREIGN KEY (table_name) REFERENCES gpkg_contents(table_name))");
    db_.Execute(QByteArray("CREATE TABLE \"") + kTable + "\" (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                "zoom_level INTEGER NOT NULL, tile_column INTEGER NOT NULL, tile_row INTEGER NOT NULL, "
                "tile_data BLOB NOT NULL, UNIQUE (zoom_level, tile_column, tile_row))");
}

void GeoPackageWriter::Describe(const TileSetDescription& d)
{
    SqliteStatement srs(db_, "INSERT INTO gpkg_spatial_ref_sys (srs_name, srs_id, organization, organization_coordsys_id, "
                             "definition, description) VALUES (?, ?, ?, ?, ?, ?)");
    srs.Bind(1, QStringLiteral("WGS 84 geodetic")).Bind(2, 4326).Bind(3, QStringLiteral("EPSG")).Bind(4, 4326)
        .Bind(5, QString::fromLatin1(kWgs84Wkt)).Bind(6, QStringLiteral("longitude/latitude coordinates in decimal degrees on the WGS 84 spheroid")).Run();
    srs.Bind(1, QStringLiteral("Undefined cartesian SRS")).Bind(2, -1).Bind(3, QStringLiteral("NONE")).Bind(4, -1)
        .Bind(5, QStringLiteral("undefined")).Bind(6, QStringLiteral("undefined cartesian coordinate reference system")).Run();
    srs.Bind(1, QStringLiteral("Undefined geographic SRS")).Bind(2, 0).Bind(3, QStringLiteral("NONE")).Bind(4, 0)
        .Bind(5, QStringLiteral("undefined")).Bind(6, QStringLiteral("undefined geographic coordinate reference system")).Run();
    srs.Bind(1, QStringLiteral("WGS 84 / Pseudo-Mercator")).Bind(2, 3857).Bind(3, QStringLiteral("EPSG")).Bind(4, 3857)
        .Bind(5, QString::fromLatin1(kWebMercatorWkt)).Bind(6, QStringLiteral("Web Mercator, the web-map tile grid")).Run();

    const QString table = QString::fromLatin1(kTable);
    const double west = std::clamp(LongitudeToMercatorX(d.West), -kWorldEdge, kWorldEdge);
    const double east = std::clamp(LongitudeToMercatorX(d.East), -kWorldEdge, kWorldEdge);
    SqliteStatement contents(db_, "INSERT INTO gpkg_contents (table_name, data_type, identifier, description, "
                                  "min_x, min_y, max_x, max_y, srs_id) VALUES (?, 'tiles', ?, ?, ?, ?, ?, ?, 3857)");
    contents.Bind(1, table).Bind(2, d.Name).Bind(3, d.Attribution).BindReal(4, west)
        .BindReal(5, LatitudeToMercatorY(d.South)).BindReal(6, east).BindReal(7, LatitudeToMercatorY(d.North)).Run();

    SqliteStatement set(db_, "INSERT INTO gpkg_tile_matrix_set (table_name, srs_id, min_x, min_y, max_x, max_y) "
                             "VALUES (?, 3857, ?, ?, ?, ?)");
    set.Bind(1, table).BindReal(2, -kWorldEdge).BindReal(3, -kWorldEdge).BindReal(4, kWorldEdge).BindReal(5, kWorldEdge).Run();

    SqliteStatement matrix(db_, "INSERT INTO gpkg_tile_matrix (table_name, zoom_level, matrix_width, matrix_height, "
                                "tile_width, tile_height, pixel_x_size, pixel_y_size) VALUES (?, ?, ?, ?, 256, 256, ?, ?)");
    for (int zoom = d.MinZoom; zoom <= d.MaxZoom; ++zoom) {
        const qint64 tiles = qint64(1) << zoom;
        const double pixel = 2 * kWorldEdge / double(tiles * MosaicGeometry::kTileSize);
        matrix.Bind(1, table).Bind(2, zoom).Bind(3, tiles).Bind(4, tiles).BindReal(5, pixel).BindReal(6, pixel).Run();
    }
}
