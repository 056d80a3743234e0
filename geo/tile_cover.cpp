#include "geo/tile_cover.h"

#include "geo/area_shape.h"
#include "geo/tile_math.h"

#include <geos_c.h>
#include <ogr_geometry.h>

#include <algorithm>
#include <memory>

namespace {
struct GeosContext {
    GeosContext() : Handle(GEOS_init_r()) {}
    ~GeosContext() { GEOS_finish_r(Handle); }
    GeosContext(const GeosContext&) = delete;
    GeosContext& operator=(const GeosContext&) = delete;
    GEOSContextHandle_t Handle;
};

struct GeometryDeleter {
    GEOSContextHandle_t Handle;
    void operator()(GEOSGeometry* geometry) const { GEOSGeom_destroy_r(Handle, geometry); }
};
using GeosGeometry = std::unique_ptr<GEOSGeometry, GeometryDeleter>;
}  // namespace

// Cuts the area into column bands, halving the range of columns at every
// step so each cut sees only the vertices of its half: O(n log columns).
// Within one column band every connected part of the area covers part of
// exactly the rows its latitude range overlaps. What only lies on a band's
// or a row's edge covers nothing of it.
class TileCoverBuilder {
public:
    TileCoverBuilder(TileCover& cover, GEOSContextHandle_t handle)
        : cover_(cover), handle_(handle), last_((1 << cover.zoom_) - 1) {}

    void Build(const AreaShape& shape)
    {
        GeosGeometry area(shape.Geometry().exportToGEOS(handle_), GeometryDeleter {handle_});
        if (!area || GEOSisEmpty_r(handle_, area.get()))
            return;
        const int west = std::clamp(LongitudeToTileX(shape.West(), cover_.zoom_), 0, last_);
        const int east = std::clamp(LongitudeToTileX(shape.East(), cover_.zoom_), 0, last_);
        cover_.minX_ = west;
        cover_.minY_ = last_;
        Split(*area, west, east);
        TrimEmptyColumns();
    }

private:
    // Columns first..last of `part`, which lies within their band.
    void Split(const GEOSGeometry& part, int first, int last)
    {
        if (first == last) {
            AddColumn(part, first);
            return;
        }
        const int middle = first + (last - first) / 2;
        for (auto [from, to] : {std::pair {first, middle}, std::pair {middle + 1, last}}) {
            GeosGeometry band(GEOSClipByRect_r(handle_, &part, TileXToLongitude(from, cover_.zoom_), -90,
                                               TileXToLongitude(to + 1, cover_.zoom_), 90),
                              GeometryDeleter {handle_});
            if (band && !GEOSisEmpty_r(handle_, band.get()))
                Split(*band, from, to);
            else
                SkipTo(to);
        }
    }

    void AddColumn(const GEOSGeometry& band, int x)
    {
        SkipTo(x - 1);
        rows_.clear();
        AddParts(band);
        std::sort(rows_.begin(), rows_.end(), [](RowSpan a, RowSpan b) { return a.First < b.First; });
        std::vector<RowSpan>& spans = cover_.spans_;
        const std::size_t start = spans.size();
        for (RowSpan rows : rows_) {
            if (spans.size() > start && rows.First <= spans.back().Last + 1)
                spans.back().Last = std::max(spans.back().Last, rows.Last);
            else
                spans.push_back(rows);
        }
        for (std::size_t i = start; i < spans.size(); ++i) {
            cover_.count_ += spans[i].Last - spans[i].First + 1;
            cover_.minY_ = std::min(cover_.minY_, spans[i].First);
            cover_.maxY_ = std::max(cover_.maxY_, spans[i].Last);
        }
        cover_.columnStart_.push_back(static_cast<std::uint32_t>(spans.size()));
    }

    void AddParts(const GEOSGeometry& geometry)
    {
        const int parts = GEOSGetNumGeometries_r(handle_, &geometry);
        if (parts > 1 || GEOSGeomTypeId_r(handle_, &geometry) == GEOS_GEOMETRYCOLLECTION) {
            for (int i = 0; i < parts; ++i)
                AddParts(*GEOSGetGeometryN_r(handle_, &geometry, i));
            return;
        }
        const int type = GEOSGeomTypeId_r(handle_, &geometry);
        double area = 0;
        if ((type != GEOS_POLYGON && type != GEOS_MULTIPOLYGON) || !GEOSArea_r(handle_, &geometry, &area) || area <= 0)
            return;  // what lies on the band's edge only
        double south = 0;
        double north = 0;
        GEOSGeom_getYMin_r(handle_, &geometry, &south);
        GEOSGeom_getYMax_r(handle_, &geometry, &north);
        if (south < north)
            rows_.push_back({TopRowBelow(north), BottomRowAbove(south)});
    }

    // The first row whose square reaches below `north`.
    int TopRowBelow(double north) const
    {
        int row = std::clamp(LatitudeToTileY(north, cover_.zoom_), 0, last_);
        while (row > 0 && TileYToLatitude(row, cover_.zoom_) < north)
            --row;
        while (row < last_ && TileYToLatitude(row + 1, cover_.zoom_) >= north)
            ++row;
        return row;
    }

    // The last row whose square reaches above `south`.
    int BottomRowAbove(double south) const
    {
        int row = std::clamp(LatitudeToTileY(south, cover_.zoom_), 0, last_);
        while (row < last_ && TileYToLatitude(row + 1, cover_.zoom_) > south)
            ++row;
        while (row > 0 && TileYToLatitude(row, cover_.zoom_) <= south)
            --row;
        return row;
    }

    // Closes columns up to `x` that the area does not reach.
    void SkipTo(int x)
    {
        while (cover_.minX_ + static_cast<int>(cover_.columnStart_.size()) - 1 <= x)
            cover_.columnStart_.push_back(static_cast<std::uint32_t>(cover_.spans_.size()));
    }

    // Columns at either end the area's bounds reached but no part touched.
    void TrimEmptyColumns()
    {
        std::vector<std::uint32_t>& start = cover_.columnStart_;
        while (start.size() > 1 && start[start.size() - 2] == start.back())
            start.pop_back();
        const auto firstFilled = std::find_if(start.begin(), start.end(), [](std::uint32_t s) { return s > 0; });
        const auto empty = std::max<std::ptrdiff_t>(0, firstFilled - start.begin() - 1);
        start.erase(start.begin(), start.begin() + empty);
        cover_.minX_ += static_cast<int>(empty);
        if (cover_.count_ == 0) {
            start.assign(1, 0);
            cover_.minY_ = 0;
        }
    }

    TileCover& cover_;
    GEOSContextHandle_t handle_;
    int last_;
    std::vector<RowSpan> rows_;
};

TileCover::TileCover(const AreaShape& shape, int zoom)
    : zoom_(zoom)
{
    const GeosContext geos;
    TileCoverBuilder(*this, geos.Handle).Build(shape);
}
