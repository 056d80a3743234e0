#include "combiner/lower_zooms.h"

#include "combiner/parallel_for.h"
#include "combiner/png_encode.h"
#include "combiner/tile_halving.h"
#include "combiner/tile_set_writer.h"
#include "image/tile_image.h"

#include <QImage>
#include <array>
#include <optional>

namespace {
// Places decoded at once: four tiles below each, a bounded share of memory.
constexpr int kBatch = 32;

struct Place {
    qint64 X = 0, Y = 0;
    std::array<std::optional<QByteArray>, 4> Below;  // (0,0), (1,0), (0,1), (1,1)
    QByteArray Built;
};

void Build(Place& place)
{
    QImage tile = PremultipliedTile(QImage());
    for (int i = 0; i < 4; ++i) {
        if (!place.Below[i])
            continue;
        // Decoded within the program's decode memory, as the tiles were read.
        const TileImage below = DecodeTileImage(*place.Below[i], [&](QSize) { return tile.size(); });
        PlaceQuarter(tile, HalveImage(PremultipliedTile(below.Image)), i % 2, i / 2);
    }
    place.Built = EncodePng(tile);
}
}

std::vector<std::vector<LowerZoomArea>> LowerZoomAreas(const std::vector<LowerZoomArea>& given, int lowestZoom)
{
    std::vector<std::vector<LowerZoomArea>> levels;
    std::vector<LowerZoomArea> areas = given;
    while (!areas.empty() && areas.front().Zoom() > lowestZoom && areas.front().Zoom() > 0) {
        for (LowerZoomArea& area : areas)
            area = area.Halved();
        levels.push_back(areas);
    }
    return levels;
}

qint64 BuildLowerZooms(TileSetWriter& writer, const std::vector<std::vector<LowerZoomArea>>& levels,
    const std::function<void(qint64 places)>& step)
{
    writer.PrepareLookups();
    qint64 built = 0;
    std::vector<Place> batch;
    const auto flush = [&](int zoom) {
        ParallelFor(int(batch.size()), [&](int i) { Build(batch[size_t(i)]); });
        for (const Place& place : batch)
            writer.AddTile(zoom, int(place.X), int(place.Y), place.Built);
        built += qint64(batch.size());
        step(qint64(batch.size()));
        batch.clear();
    };
    for (const std::vector<LowerZoomArea>& areas : levels) {
        const int zoom = areas.front().Zoom();
        for (size_t a = 0; a < areas.size(); ++a) {
            areas[a].ForEachPlace([&](qint64 x, qint64 y) {
                bool earlier = false;
                for (size_t b = 0; b < a && !earlier; ++b)
                    earlier = areas[b].Contains(x, y);
                if (earlier)
                    return;
                Place place{x, y, {}, {}};
                bool any = false;
                for (int i = 0; i < 4; ++i) {
                    place.Below[size_t(i)] = writer.ReadTile(zoom + 1, int(2 * x + i % 2), int(2 * y + i / 2));
                    any = any || place.Below[size_t(i)].has_value();
                }
                if (!any) {
                    step(1);
                    return;
                }
                batch.push_back(std::move(place));
                if (batch.size() == kBatch)
                    flush(zoom);
            });
        }
        flush(zoom);
    }
    return built;
}
