#include "combiner/combine_run.h"
#include "combiner/geopackage_writer.h"
#include "combiner/lower_zooms.h"
#include "combiner/mbtiles_writer.h"
#include "combiner/mosaic_writer.h"
#include "combiner/png_encode.h"
#include "combiner/tile_set_update.h"
#include "image/tile_image.h"
#include "task/task_walk.h"

#include <QDateTime>
#include <QFileInfo>
#include <set>
#include <tuple>
#include <unordered_map>

namespace {
constexpr int kSize = MosaicGeometry::kTileSize;

// The tiles of a task on the web-map grid (a column past 180 degrees has none).
TileRect GridArea(const MDTask& task)
{
    const int zoom = task.Parameters->Zoom;
    const qint64 last = (qint64(1) << zoom) - 1;
    return {zoom, task.MinX, task.MinY, std::min<qint64>(task.MaxX, last), std::min<qint64>(task.MaxY, last)};
}

int LowestGiven(const std::vector<TileRect>& areas)
{
    int zoom = areas.front().Zoom;
    for (const TileRect& area : areas)
        zoom = std::min(zoom, area.Zoom);
    return zoom;
}

TileSetDescription Describe(const CombineRun& run)
{
    TileSetDescription d;
    d.Name = run.Name();
    d.Attribution = run.Attribution();
    d.MinZoom = 31;
    d.West = 180, d.East = -180, d.North = -90, d.South = 90;
    for (const OpenedTask& task : run.Tasks()) {
        const MosaicGeometry g = MosaicGeometry::ForTask(*task.Task);
        d.MinZoom = std::min(d.MinZoom, g.Zoom);
        d.MaxZoom = std::max(d.MaxZoom, g.Zoom);
        d.West = std::min(d.West, g.West), d.East = std::max(d.East, g.East);
        d.North = std::max(d.North, g.North), d.South = std::min(d.South, g.South);
    }
    if (run.Request().LowerZooms >= 0)
        d.MinZoom = std::min(d.MinZoom, run.Request().LowerZooms);
    return d;
}

std::unique_ptr<TileSetWriter> CreateTileSetWriter(const CombineRequest& request, const TileSetDescription& description,
    bool updating)
{
    if (updating)
        return std::make_unique<TileSetUpdate>(request.Target, request.Format, description.Name);
    if (request.Format == OutputFormat::GeoPackage)
        return std::make_unique<GeoPackageWriter>(request.Target, description);
    return std::make_unique<MBTilesWriter>(request.Target, description);
}

// A tile that is not a PNG (a source of JPEG or WebP tiles), or not of the
// grid's 256 pixels (a source of 512-pixel tiles), goes in as a PNG of 256
// pixels, so the file's format metadata stays true. Runs on the reading
// threads.
void ConvertToPng(SourceTile& tile)
{
    if (tile.State != TileState::Stored || (IsPngData(tile.Bytes) && PngDataSize(tile.Bytes) == QSize(kSize, kSize)))
        return;
    const TileImage image = DecodeTileImage(tile.Bytes, [](QSize) { return QSize(kSize, kSize); });
    if (image.Image.isNull()) {
        tile.State = TileState::Unreadable;
        tile.Bytes.clear();
        return;
    }
    tile.Bytes = EncodePng(image.Image);
    tile.Converted = true;
}

// The lower zoom places above `changed` tiles of the lowest given zoom, each once.
std::vector<std::vector<LowerZoomArea>> LowerZoomsAbove(const std::vector<TileRect>& changed, int lowestZoom)
{
    std::vector<std::vector<LowerZoomArea>> levels;
    std::set<std::tuple<qint64, qint64>> places;
    for (const TileRect& tile : changed)
        places.insert({tile.MinX, tile.MinY});
    for (int zoom = changed.empty() ? 0 : changed.front().Zoom - 1; zoom >= std::max(lowestZoom, 0) && !places.empty();
         --zoom) {
        std::set<std::tuple<qint64, qint64>> above;
        std::vector<LowerZoomArea> level;
        for (const auto& [x, y] : places)
            if (above.insert({x / 2, y / 2}).second)
                level.emplace_back(TileRect{zoom, x / 2, y / 2, x / 2, y / 2});
        levels.push_back(std::move(level));
        places = std::move(above);
    }
    return levels;
}

// Which task wrote each tile that more than one given task covers: the
// first given wins, and the report names the other.
class TileOwners {
public:
    explicit TileOwners(std::vector<TileRect> areas) : areas_(std::move(areas)) {}

    // Whether task `index` may write (x, y); false when an earlier task did.
    std::optional<size_t> Claim(size_t index, qint64 x, qint64 y)
    {
        if (!Shared(index, x, y))
            return std::nullopt;
        const quint64 key = (quint64(areas_[index].Zoom) << 58) ^ (quint64(x) << 29) ^ quint64(y);
        const auto [at, inserted] = owners_.try_emplace(key, index);
        return inserted ? std::nullopt : std::optional<size_t>(at->second);
    }

private:
    bool Shared(size_t index, qint64 x, qint64 y) const
    {
        for (size_t other = 0; other < areas_.size(); ++other)
            if (other != index && areas_[other].Zoom == areas_[index].Zoom && areas_[other].Contains(x, y))
                return true;
        return false;
    }

    std::vector<TileRect> areas_;
    std::unordered_map<quint64, size_t> owners_;
};
}

void CombineTileSet(CombineRun& run)
{
    const TileSetDescription description = Describe(run);
    // An update takes only the tiles whose files changed since the output was written.
    const bool updating = run.Request().Update && QFileInfo::exists(run.Request().Target);
    const QDateTime writtenAt = updating ? QFileInfo(run.Request().Target).lastModified() : QDateTime();
    const auto writer = CreateTileSetWriter(run.Request(), description, updating);
    const std::vector<OpenedTask>& tasks = run.Tasks();
    std::vector<TileRect> areas;
    for (const OpenedTask& task : tasks) {
        areas.push_back(GridArea(*task.Task));
        run.AddToTotal(MosaicGeometry::ForTask(*task.Task).TileCount());
    }
    // Lower zooms only over the places a shaped task's tiles lie under.
    std::vector<LowerZoomArea> lowest;
    for (size_t index = 0; index < tasks.size(); ++index) {
        const TaskWalk& walk = tasks[index].Task->Walk;
        if (areas[index].Zoom == LowestGiven(areas))
            lowest.push_back(walk.IsShaped() ? LowerZoomArea(areas[index], walk) : LowerZoomArea(areas[index]));
    }
    auto lower = run.Request().LowerZooms >= 0 ? LowerZoomAreas(lowest, run.Request().LowerZooms)
                                              : std::vector<std::vector<LowerZoomArea>>{};
    if (run.Request().LowerZooms >= 0 && lower.empty())
        run.Observer().TileNote(QStringLiteral("lower zooms: none built, zoom %1 is not below the lowest zoom given (%2)")
                                    .arg(run.Request().LowerZooms).arg(LowestGiven(areas)));
    for (const auto& level : lower)
        for (const LowerZoomArea& area : level)
            run.AddToTotal(area.Count());

    TileOwners owners(areas);
    CombineCounts& counts = run.Counts();
    qint64 updated = 0;
    std::vector<TileRect> changedLowest;
    for (size_t index = 0; index < tasks.size(); ++index) {
        const int zoom = areas[index].Zoom;
        const MosaicTileReader reader(tasks, {index});
        run.ReadMosaic(reader, kTilesPerSpan, false, ConvertToPng, [&](const std::vector<SourceTile>& tiles) {
            for (const SourceTile& tile : tiles) {
                if (tile.State != TileState::Stored || !areas[index].Contains(tile.X, tile.Y))
                    continue;
                if (const auto owner = owners.Claim(index, tile.X, tile.Y)) {
                    run.NoteDuplicate(tile, index, *owner);
                    continue;
                }
                if (updating) {
                    if (QFileInfo(tasks[index].Task->TileFilePath(int(tile.X), int(tile.Y))).lastModified() <= writtenAt)
                        continue;
                    ++updated;
                    if (zoom == LowestGiven(areas))
                        changedLowest.push_back({zoom, tile.X, tile.Y, tile.X, tile.Y});
                }
                writer->AddTile(zoom, tile.X, tile.Y, tile.Bytes);
                if (tile.Converted) {
                    ++counts.Converted;
                    run.Observer().TileNote(QStringLiteral("converted: ") + tile.FileName);
                }
            }
        });
    }
    if (updating) {
        if (!lower.empty())
            lower = LowerZoomsAbove(changedLowest, run.Request().LowerZooms);
        run.Observer().TileNote(QStringLiteral("update: %1 tiles changed since %2 was written")
                                    .arg(updated)
                                    .arg(run.Request().Target));
    }
    if (!lower.empty())
        counts.Built = BuildLowerZooms(*writer, lower, [&run](qint64 places) {
            run.CheckCancel();
            run.Advance(places);
        });
    run.CheckCancel();
    writer->Finish();
}
