#include "viewer/selection_task.h"

#include "geo/tile_math.h"
#include "platform/number_text.h"
#include "task/task_size_estimate.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kMaxLongitude = 180;
constexpr double kMaxLatitude = 85;

double Rounded(double degrees, double limit)
{
    return std::clamp(std::round(degrees * 1e6) / 1e6, -limit, limit);
}
}

GeoArea AreaOfMapRect(const QRectF& mapRect, int zoom)
{
    const QRectF r = mapRect.normalized();
    return GeoArea{Rounded(TileXToLongitude(r.left(), zoom), kMaxLongitude),
                   Rounded(TileXToLongitude(r.right(), zoom), kMaxLongitude),
                   Rounded(TileYToLatitude(r.top(), zoom), kMaxLatitude),
                   Rounded(TileYToLatitude(r.bottom(), zoom), kMaxLatitude)};
}

QString BoundsText(const GeoArea& area)
{
    return GeneralRealText(area.Left) + u' ' + GeneralRealText(area.Right) + u' ' + GeneralRealText(area.Top) + u' '
        + GeneralRealText(area.Bottom);
}

TaskParameters SelectionTaskParameters(const GeoArea& area, int zoom, int mapsType, const QString& folder,
                                       const QString& taskName, const std::shared_ptr<const ShapedArea>& shape,
                                       const std::shared_ptr<const MapSource>& source)
{
    TaskParameters p;
    p.LeftLongitude = area.Left;
    p.RightLongitude = area.Right;
    p.TopLatitude = area.Top;
    p.BottomLatitude = area.Bottom;
    p.Zoom = zoom;
    p.MapsType = mapsType;
    p.Source = source;
    p.Path = folder;
    p.TaskName = taskName;
    if (shape) {
        p.Shape = shape;
        p.Cover = shape->CoverAt(zoom);
    }
    p.ThreadCount = int(std::min<qint64>(MaxDownThreads, TaskTileCount(p)));
    return p;
}

qint64 TaskTileCount(const TaskParameters& parameters)
{
    return MDTask(&parameters, MDTask::ReadOnly{}).TotalCount;
}

double AverageTileBytes(const TileCounts* viewedTask)
{
    qint64 files = 0;
    if (viewedTask)
        files = viewedTask->Stored + viewedTask->Blank + viewedTask->Unreadable + viewedTask->Unchecked;
    return files > 0 ? double(viewedTask->BytesOnDisk) / double(files) : kDefaultTileBytes;
}

void WriteSelectionTask(const TaskParameters& parameters)
{
    // The read-only task creates no image folder; Start does that.
    MDTask(&parameters, MDTask::ReadOnly{}).WriteProjectFile();
}
