#include "combiner/mbtiles_writer.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <sqlite3.h>

namespace {
QString Number(double value)
{
    return QString::number(value, 'f', 8);
}
}

MBTilesWriter::MBTilesWriter(const QString& target, const MosaicGeometry& geometry, const QString& name)
    : geometry_(geometry), output_(target)
{
    if (sqlite3_open_v2(QFile::encodeName(output_.TemporaryName()).constData(), &db_,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        Fail();
    // The file lives under its temporary name until complete, so a rollback
    // journal on disk would protect nothing.
    Execute("PRAGMA journal_mode=MEMORY");
    Execute("PRAGMA synchronous=OFF");
    // Tiles are blobs of many kilobytes: large pages store them with a
    // sixteenth of the writes (and page-sized blobs less often overflow).
    Execute("PRAGMA page_size=65536");
    Execute("BEGIN");
    Execute("CREATE TABLE metadata (name text, value text)");
    Execute("CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)");
    WriteMetadata(name);
    if (sqlite3_prepare_v2(db_, "INSERT INTO tiles (zoom_level, tile_column, tile_row, tile_data) VALUES (?, ?, ?, ?)",
            -1, &insertTile_, nullptr) != SQLITE_OK)
        Fail();
}

MBTilesWriter::~MBTilesWriter()
{
    Close();
}

void MBTilesWriter::Fail() const
{
    const QString reason = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
    throw AppError(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(output_.Target()), reason));
}

void MBTilesWriter::Execute(const char* sql)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail();
}

void MBTilesWriter::WriteMetadata(const QString& name)
{
    const MosaicGeometry& g = geometry_;
    // A column east of the grid (longitude 180 is not clamped) has no tiles;
    // readers reject bounds outside the world.
    const double west = std::clamp(g.West, -180.0, 180.0);
    const double east = std::clamp(g.East, -180.0, 180.0);
    const QString zoom = QString::number(g.Zoom);
    const QList<std::pair<QString, QString>> rows = {
        {QStringLiteral("name"), name},
        {QStringLiteral("format"), QStringLiteral("png")},
        {QStringLiteral("type"), QStringLiteral("baselayer")},
        {QStringLiteral("version"), QStringLiteral("1")},
        {QStringLiteral("description"), name},
        {QStringLiteral("bounds"), QStringList{Number(west), Number(g.South), Number(east), Number(g.North)}.join(u',')},
        {QStringLiteral("center"), QStringList{Number((west + east) / 2), Number((g.North + g.South) / 2), zoom}.join(u',')},
        {QStringLiteral("minzoom"), zoom},
        {QStringLiteral("maxzoom"), zoom},
    };
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db_, "INSERT INTO metadata (name, value) VALUES (?, ?)", -1, &insert, nullptr) != SQLITE_OK)
        Fail();
    for (const auto& [key, value] : rows) {
        const QByteArray k = key.toUtf8(), v = value.toUtf8();
        sqlite3_bind_text(insert, 1, k.constData(), int(k.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 2, v.constData(), int(v.size()), SQLITE_TRANSIENT);
        const bool done = sqlite3_step(insert) == SQLITE_DONE;
        sqlite3_reset(insert);
        if (!done) {
            sqlite3_finalize(insert);
            Fail();
        }
    }
    sqlite3_finalize(insert);
}

int MBTilesWriter::SpanLength() const
{
    return int(std::min<qint64>(geometry_.Columns, kTilesPerSpan));
}

void MBTilesWriter::PrepareTile(SourceTile&) const
{
    // The file's own bytes go in as they are.
}

void MBTilesWriter::WriteSpan(const std::vector<SourceTile>& tiles)
{
    const qint64 gridSize = qint64(1) << geometry_.Zoom;
    for (const SourceTile& tile : tiles) {
        if (tile.State != TileState::Stored || tile.X >= gridSize || tile.Y >= gridSize)
            continue;
        sqlite3_bind_int(insertTile_, 1, geometry_.Zoom);
        sqlite3_bind_int64(insertTile_, 2, tile.X);
        sqlite3_bind_int64(insertTile_, 3, gridSize - 1 - tile.Y);
        sqlite3_bind_blob(insertTile_, 4, tile.Bytes.constData(), int(tile.Bytes.size()), SQLITE_STATIC);
        const bool done = sqlite3_step(insertTile_) == SQLITE_DONE;
        sqlite3_reset(insertTile_);
        if (!done)
            Fail();
    }
}

void MBTilesWriter::Finish()
{
    // Built once at the end: faster than keeping it up to date row by row.
    Execute("CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)");
    Execute("COMMIT");
    sqlite3_finalize(insertTile_);
    insertTile_ = nullptr;
    if (sqlite3_close(db_) != SQLITE_OK)
        Fail();
    db_ = nullptr;
    output_.Commit();
}

void MBTilesWriter::Close()
{
    sqlite3_finalize(insertTile_);
    insertTile_ = nullptr;
    if (db_)
        sqlite3_close(db_);
    db_ = nullptr;
}
