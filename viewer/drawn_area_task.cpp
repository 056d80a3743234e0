#include "viewer/drawn_area_task.h"

#include "geo/tile_math.h"
#include "platform/number_text.h"
#include "task/configured_servers.h"
#include "task/stored_shape.h"

#include <QFile>
#include <algorithm>
#include <vector>

namespace {
const QString kDrawnAreaName = QStringLiteral("drawn area");
}

ShapeResult DrawnAreaShape(const QPolygonF& mapCorners, int zoom)
{
    const double side = std::ldexp(1.0, zoom);
    QList<QPointF> corners;
    for (const QPointF& corner : mapCorners)
        corners << QPointF(TileXToLongitude(std::clamp(corner.x(), 0.0, side), zoom),
                           TileYToLatitude(std::clamp(corner.y(), 0.0, side), zoom));
    return PolygonShape(corners, kDrawnAreaName);
}

std::shared_ptr<const ShapedArea> DrawnArea(const AreaShape& shape)
{
    return MakeShapedArea(shape, QString(), kDrawnAreaName, 0);
}

QStringList WriteDrawnAreaTasks(const GeoArea& bounds, const std::shared_ptr<const ShapedArea>& shape, int zoom,
    int zoomTo, const TaskMapChoice& map, const QString& folder, const QString& typedTaskName,
    const LargeTaskConfirmation& confirm)
{
    TaskInputs inputs;
    inputs.LeftLongitude = GeneralRealText(bounds.Left);
    inputs.RightLongitude = GeneralRealText(bounds.Right);
    inputs.TopLatitude = GeneralRealText(bounds.Top);
    inputs.BottomLatitude = GeneralRealText(bounds.Bottom);
    inputs.Zoom = zoom;
    inputs.MapsType = map.MapsType;
    inputs.Source = map.Source;
    inputs.TypedFolder = folder;
    inputs.TypedTaskName = typedTaskName;
    inputs.Shape = ShapeNamedFor(shape, typedTaskName);
    const QList<CheckedInputs> members = ReadSeriesStart(inputs, zoomTo);
    const TileServers servers = ReadTileServers();
    CheckStart(members, servers, confirm);

    // Every member is built before any is written: one refused writes none.
    std::vector<std::unique_ptr<TaskParameters>> tasks;
    for (const CheckedInputs& member : members) {
        const AreaEdges& edges = member.Area.value();
        auto p = std::make_unique<TaskParameters>(SelectionTaskParameters(
            GeoArea{edges.LeftLongitude, edges.RightLongitude, edges.TopLatitude, edges.BottomLatitude},
            member.Typed.Zoom, map.MapsType, member.Folder, member.ProjectFileName, member.Typed.Shape, map.Source));
        p->Servers = servers;
        tasks.push_back(std::move(p));
    }
    QStringList written;
    try {
        for (const auto& p : tasks) {
            const MDTask task(p.get(), MDTask::ReadOnly{});
            task.WriteAreaFile();
            WriteSelectionTask(*p);
            written << p->Path + p->TaskName;
        }
    } catch (...) {
        // All of the series or none of it: a part would be taken for a whole series.
        for (const QString& file : std::as_const(written))
            QFile::remove(file);
        QFile::remove(folder + inputs.Shape->FileName);
        throw;
    }
    return written;
}
