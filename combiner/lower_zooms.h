#pragma once

#include <QtGlobal>
#include <functional>
#include <vector>

class TileSetWriter;

// Tiles x MinX..MaxX, y MinY..MaxY of one zoom level.
struct TileRect {
    int Zoom = 0;
    qint64 MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;

    bool Contains(qint64 x, qint64 y) const { return x >= MinX && x <= MaxX && y >= MinY && y <= MaxY; }
    qint64 Count() const { return MaxX < MinX || MaxY < MinY ? 0 : (MaxX - MinX + 1) * (MaxY - MinY + 1); }
    // The tiles of the zoom level above that hold these.
    TileRect Halved() const { return {Zoom - 1, MinX / 2, MinY / 2, MaxX / 2, MaxY / 2}; }
};

// The areas of the zoom levels below the lowest given, down to `lowestZoom`:
// each level's areas are the halves of the level's below it. `given` are the
// areas of the given tasks of the lowest zoom.
std::vector<std::vector<TileRect>> LowerZoomAreas(const std::vector<TileRect>& given, int lowestZoom);

// Builds those levels into `writer`, highest zoom first: each tile the
// 2 x 2 average (premultiplied) of the four tiles below it, encoded as PNG;
// where none of the four exists, no tile. `step` is called after each
// batch with the number of places done and may throw to stop. Returns the
// number of tiles built.
qint64 BuildLowerZooms(TileSetWriter& writer, const std::vector<std::vector<TileRect>>& levels,
    const std::function<void(qint64 places)>& step);
