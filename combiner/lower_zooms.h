#pragma once

#include "combiner/lower_zoom_area.h"

#include <QtGlobal>
#include <functional>
#include <vector>

class TileSetWriter;

// The areas of the zoom levels below the lowest given, down to `lowestZoom`:
// each level's areas are the halves of the level's below it. `given` are the
// areas of the given tasks of the lowest zoom.
std::vector<std::vector<LowerZoomArea>> LowerZoomAreas(const std::vector<LowerZoomArea>& given, int lowestZoom);

// Builds those levels into `writer`, highest zoom first: each tile the
// 2 x 2 average (premultiplied) of the four tiles below it, encoded as PNG;
// where none of the four exists, no tile. `step` is called after each
// batch with the number of places done and may throw to stop. Returns the
// number of tiles built.
qint64 BuildLowerZooms(TileSetWriter& writer, const std::vector<std::vector<LowerZoomArea>>& levels,
    const std::function<void(qint64 places)>& step);
