#include "combiner/tile_database.h"

TileDatabase::TileDatabase(const QString& target, int applicationId, int userVersion)
    : output_(target), db_(output_.TemporaryName(), target)
{
    if (!output_.StillOurs())
        output_.Refuse(QStringLiteral("its temporary file was replaced while it was opened"));
    // The file lives under its temporary name until complete, so a rollback
    // journal on disk would protect nothing.
    db_.Execute("PRAGMA journal_mode=MEMORY");
    db_.Execute("PRAGMA synchronous=OFF");
    // Tiles are blobs of many kilobytes: large pages store them with a
    // sixteenth of the writes (and page-sized blobs less often overflow).
    db_.Execute("PRAGMA page_size=65536");
    db_.Execute("PRAGMA application_id=" + QByteArray::number(applicationId));
    db_.Execute("PRAGMA user_version=" + QByteArray::number(userVersion));
    db_.Execute("BEGIN");
}

TileDatabase::~TileDatabase() = default;

void TileDatabase::PrepareTileStatements(const QString& table)
{
    const QByteArray name = table.toUtf8();
    insert_ = std::make_unique<SqliteStatement>(db_,
        "INSERT INTO \"" + name + "\" (zoom_level, tile_column, tile_row, tile_data) VALUES (?, ?, ?, ?)");
    select_ = std::make_unique<SqliteStatement>(db_,
        "SELECT tile_data FROM \"" + name + "\" WHERE zoom_level = ? AND tile_column = ? AND tile_row = ?");
}

void TileDatabase::AddTile(int zoom, int x, int y, const QByteArray& png)
{
    insert_->Bind(1, zoom).Bind(2, x).Bind(3, StoredRow(zoom, y)).BindBlob(4, png).Run();
}

std::optional<QByteArray> TileDatabase::ReadTile(int zoom, int x, int y)
{
    return select_->Bind(1, zoom).Bind(2, x).Bind(3, StoredRow(zoom, y)).QueryBlob();
}

void TileDatabase::Finish()
{
    BeforeCommit();
    db_.Execute("COMMIT");
    insert_.reset();
    select_.reset();
    db_.Close();
    output_.Commit();
}
