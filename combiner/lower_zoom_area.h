#pragma once

#include "geo/tile_cover.h"

#include <QtGlobal>
#include <cstdint>
#include <span>
#include <vector>

class TaskWalk;

// Tiles x MinX..MaxX, y MinY..MaxY of one zoom level.
struct TileRect {
    int Zoom = 0;
    qint64 MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;

    bool Contains(qint64 x, qint64 y) const { return x >= MinX && x <= MaxX && y >= MinY && y <= MaxY; }
    qint64 Count() const { return MaxX < MinX || MaxY < MinY ? 0 : (MaxX - MinX + 1) * (MaxY - MinY + 1); }
    // The tiles of the zoom level above that hold these.
    TileRect Halved() const { return {Zoom - 1, MinX / 2, MinY / 2, MaxX / 2, MaxY / 2}; }
};

// The places of one zoom level that hold a given task's tiles: a rectangle
// for a rectangle task; for a shaped task only those over its area, as the
// sorted, disjoint row spans of each column, so the levels built below a
// route hold the route's tiles and not its rectangle's.
class LowerZoomArea {
public:
    explicit LowerZoomArea(const TileRect& rect);
    // The tiles `walk` holds within `bounds`.
    LowerZoomArea(const TileRect& bounds, const TaskWalk& walk);

    int Zoom() const { return bounds_.Zoom; }
    qint64 Count() const;
    bool Contains(qint64 x, qint64 y) const;
    // The places of the zoom level above that hold these.
    LowerZoomArea Halved() const;

    // Every place: a rectangle row by row, spans column by column.
    template <typename Visit>
    void ForEachPlace(Visit visit) const
    {
        if (!shaped_) {
            for (qint64 y = bounds_.MinY; y <= bounds_.MaxY; ++y)
                for (qint64 x = bounds_.MinX; x <= bounds_.MaxX; ++x)
                    visit(x, y);
            return;
        }
        for (qint64 x = bounds_.MinX; x <= bounds_.MaxX; ++x)
            for (const Span& span : Column(x))
                for (qint64 y = span.First; y <= span.Last; ++y)
                    visit(x, y);
    }

private:
    struct Span {
        qint64 First = 0;
        qint64 Last = 0;
    };
    LowerZoomArea() = default;
    std::span<const Span> Column(qint64 x) const;

    TileRect bounds_;
    bool shaped_ = false;
    std::vector<std::size_t> columnStart_;  // spans_ of column bounds_.MinX + i: [start[i], start[i + 1])
    std::vector<Span> spans_;
};
