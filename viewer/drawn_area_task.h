#pragma once

#include "geo/area_shape.h"
#include "task/start_check.h"
#include "viewer/selection_task.h"
#include "viewer/task_map_choice.h"

#include <QPolygonF>
#include <memory>

// A polygon drawn on the map as the area of a new task: the task gets the
// tiles the polygon touches, not its rectangle's.

// The polygon (corners in tiles of `zoom`) in degrees as a shape: mended
// when its edges cross, cut at the map's latitudes; named "drawn area".
ShapeResult DrawnAreaShape(const QPolygonF& mapCorners, int zoom);

// `shape` as the area of a new task (its area file named when it is written).
std::shared_ptr<const ShapedArea> DrawnArea(const AreaShape& shape);

// What "New task from selection" writes for a drawn area: for zoom levels
// `zoom`..`zoomTo` one task of the chosen map, or a series named as the
// main window names it, each member's project file and the one area file they name, in
// `folder` (with its separator). Goes through the checks of every start
// (CheckStart, asking `confirm` about a large task) and writes nothing when
// one refuses (Refusal with the messages); a write that fails leaves no
// project file. Start in the main window makes the rest. The project files
// written, lowest zoom first.
QStringList WriteDrawnAreaTasks(const GeoArea& bounds, const std::shared_ptr<const ShapedArea>& shape, int zoom,
    int zoomTo, const TaskMapChoice& map, const QString& folder, const QString& typedTaskName,
    const LargeTaskConfirmation& confirm);
