#pragma once

#include "task/download_task.h"
#include "viewer/tile_scan.h"

#include <QRectF>

// An area chosen on the map, in degrees, in the order of the main window's
// edges.
struct GeoArea {
    double Left = 0;
    double Right = 0;
    double Top = 0;
    double Bottom = 0;
};

// The map rectangle (in tiles of `zoom`) as degrees a task accepts: within
// longitudes -180..180 and latitudes -85..85, rounded to six decimals.
GeoArea AreaOfMapRect(const QRectF& mapRect, int zoom);

// The four numbers for the clipboard: left, right, top, bottom.
QString BoundsText(const GeoArea& area);

// The inputs of a new task for `area`, as the main window's Start fills them
// (thread count lowered to the tile count). Raises AppError, as building the
// task does, for a zoom or a tile count no task can have.
// A shaped task's parameters (given `shape`) count the shape's tiles; a
// task of kMapSourceType carries `source`.
TaskParameters SelectionTaskParameters(const GeoArea& area, int zoom, int mapsType, const QString& folder,
                                       const QString& taskName, const std::shared_ptr<const ShapedArea>& shape = nullptr,
                                       const std::shared_ptr<const MapSource>& source = nullptr);

// Tiles of a new task with these inputs; raises AppError as above.
qint64 TaskTileCount(const TaskParameters& parameters);

// The size of a new task's tile: the average tile file of the task on view
// when it has files, else a typical map tile.
double AverageTileBytes(const TileCounts* viewedTask);

// Writes only the project file of a new task, with the task's own writer:
// the main window's "Open task ..." loads it and Start creates the rest.
void WriteSelectionTask(const TaskParameters& parameters);
