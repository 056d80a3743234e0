#pragma once

#include "geo/area_shape.h"
#include "task/opened_task.h"
#include "task/start_inputs.h"

#include <QString>
#include <memory>

// Shaped tasks for the programs that link GDAL: the task core's view of a
// shape (task/task_area.h) made from a shape read through GDAL, and the
// shape of a stored task read back from its area file.

// `shape` as the area of a task whose area file is `areaFileName` (no
// folder). Its tile covers are worked out once per zoom, on first use.
std::shared_ptr<const ShapedArea> MakeShapedArea(const AreaShape& shape, const QString& areaFileName,
    const QString& shapeName, double corridorMetres);

// The inputs Open task and `tessaly run` take from a project file (see
// InputsOfProjectFile), with the shape of a shaped task read from the area
// file its project file names. Raises Refusal "Cannot open the area file
// <file> of the task <project>: <reason>" when that file cannot be used.
TaskInputs InputsOfStoredTask(const QString& projectFile);

// The area file a shaped project file names, read back; nothing for a
// rectangle task. Raises Refusal as InputsOfStoredTask.
std::shared_ptr<const ShapedArea> ReadStoredShape(const QString& projectFile);

// `shape` as the area of the task typed as `typedTaskName` (see
// ProjectFileNameFor): the same shape, its area file named after the task
// (AreaFileNameFor). Null for null.
std::shared_ptr<const ShapedArea> ShapeNamedFor(const std::shared_ptr<const ShapedArea>& shape,
    const QString& typedTaskName);

// The four edge texts of a shaped task's inputs: its shape's bounds, the
// latitudes within the -85..85 that edges may have (the tiles come from the
// shape alone).
void SetEdgesToShapeBounds(TaskInputs& inputs, const AreaShape& shape);

// OpenTaskReadOnly with the shape of a shaped task read from its area file:
// the tools count, show and join only the area's tiles. Raises AppError as
// OpenTaskReadOnly, or Refusal as ReadStoredShape.
OpenedTask OpenStoredTaskReadOnly(const QString& projectFile);
