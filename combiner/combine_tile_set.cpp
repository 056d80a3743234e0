#include "combiner/combine_run.h"
#include "combiner/geopackage_writer.h"
#include "combiner/lower_zooms.h"
#include "combiner/mbtiles_writer.h"
#include "combiner/mosaic_writer.h"
#include "combiner/png_encode.h"
#include "image/tile_image.h"

#include <QFileInfo>
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

std::unique_ptr<TileSetWriter> CreateTileSetWriter(const CombineRequest& request, const TileSetDescription& description)
{
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
    const auto writer = CreateTileSetWriter(run.Request(), description);
    const std::vector<OpenedTask>& tasks = run.Tasks();
    std::vector<TileRect> areas;
    for (const OpenedTask& task : tasks) {
        areas.push_back(GridArea(*task.Task));
        run.AddToTotal(MosaicGeometry::ForTask(*task.Task).TileCount());
    }
    std::vector<TileRect> lowest;
    for (const TileRect& area : areas)
        if (area.Zoom == LowestGiven(areas))
            lowest.push_back(area);
    const auto lower = run.Request().LowerZooms >= 0 ? LowerZoomAreas(lowest, run.Request().LowerZooms)
                                                    : std::vector<std::vector<TileRect>>{};
    if (run.Request().LowerZooms >= 0 && lower.empty())
        run.Observer().TileNote(QStringLiteral("lower zooms: none built, zoom %1 is not below the lowest zoom given (%2)")
                                    .arg(run.Request().LowerZooms).arg(LowestGiven(areas)));
    for (const auto& level : lower)
        for (const TileRect& area : level)
            run.AddToTotal(area.Count());

    TileOwners owners(areas);
    CombineCounts& counts = run.Counts();
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
                writer->AddTile(zoom, tile.X, tile.Y, tile.Bytes);
                if (tile.Converted) {
                    ++counts.Converted;
                    run.Observer().TileNote(QStringLiteral("converted: ") + tile.FileName);
                }
            }
        });
    }
    if (!lower.empty())
        counts.Built = BuildLowerZooms(*writer, lower, [&run](qint64 places) {
            run.CheckCancel();
            run.Advance(places);
        });
    run.CheckCancel();
    writer->Finish();
}
