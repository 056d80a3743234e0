#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

struct TaskParameters;

// The inclusive tile range that covers a task's area at its zoom, with the
// outer edges of that range in degrees.
struct TileRange {
    int MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
    double LeftLongitude = 0, RightLongitude = 0;
    double TopLatitude = 0, BottomLatitude = 0;
    qint64 TotalCount = 0;
};

// The range a task of these parameters downloads, or the message that
// refuses the task: a zoom the tile grid cannot handle, or more tiles than
// the workers can number. Start and every preview of the task use this one
// computation, so they agree on the count.
struct TaskTileRange {
    TileRange Range;
    std::optional<QString> Refusal;
};
TaskTileRange ComputeTaskTileRange(const TaskParameters& parameters);
