#pragma once

#include "combiner/mosaic_writer.h"
#include "combiner/output_file.h"

typedef struct sqlite3 sqlite3;
typedef struct sqlite3_stmt sqlite3_stmt;

// An MBTiles 1.3 database: the metadata of one zoom level and the stored
// tiles' file bytes unchanged, rows counted from the south (TMS), all in one
// transaction. Tiles that are not stored are absent.
class MBTilesWriter : public MosaicWriter {
public:
    MBTilesWriter(const QString& target, const MosaicGeometry& geometry, const QString& name);
    ~MBTilesWriter() override;

    int SpanLength() const override;
    bool NeedsPixels() const override { return false; }
    void PrepareTile(SourceTile& tile) const override;
    void WriteSpan(const std::vector<SourceTile>& tiles) override;
    void Finish() override;

private:
    void Execute(const char* sql);
    void WriteMetadata(const QString& name);
    [[noreturn]] void Fail() const;
    void Close();

    MosaicGeometry geometry_;
    PendingOutput output_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insertTile_ = nullptr;
};
