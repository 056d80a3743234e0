#pragma once

#include "combiner/tile_database.h"

// An MBTiles 1.3 database: its metadata, the tiles' PNG bytes unchanged and
// rows counted from the south (TMS).
class MBTilesWriter : public TileDatabase {
public:
    static constexpr int kApplicationId = 0x4D504258;  // "MPBX"

    MBTilesWriter(const QString& target, const TileSetDescription& description);

    void PrepareLookups() override;

private:
    qint64 StoredRow(int zoom, int y) const override { return (qint64(1) << zoom) - 1 - y; }
    void BeforeCommit() override;
    void WriteMetadata(const TileSetDescription& description);

    bool indexed_ = false;
};
