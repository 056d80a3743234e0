#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What a tile set says of itself: its name, the licence's credit line and
// the zoom levels and area (degrees) of everything it holds.
struct TileSetDescription {
    QString Name;
    QString Attribution;  // empty: none known
    int MinZoom = 0, MaxZoom = 0;
    double West = 0, East = 0, North = 0, South = 0;
};

// An output that keeps tiles as they are, zoom level by zoom level (MBTiles,
// GeoPackage): PNG bytes under their tile column and row counted from the
// north. Nothing appears under the target's name before Finish().
class TileSetWriter {
public:
    virtual ~TileSetWriter() = default;
    virtual void AddTile(int zoom, int x, int y, const QByteArray& png) = 0;
    // Called once before the first ReadTile: from then on lookups are quick.
    virtual void PrepareLookups() {}
    // A tile added earlier; nothing when there is none.
    virtual std::optional<QByteArray> ReadTile(int zoom, int x, int y) = 0;
    // Completes the file and renames it over its target.
    virtual void Finish() = 0;
};
