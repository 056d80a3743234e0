#include "combiner/lower_zoom_area.h"

#include "task/task_walk.h"

#include <algorithm>

LowerZoomArea::LowerZoomArea(const TileRect& rect) : bounds_(rect)
{
}

LowerZoomArea::LowerZoomArea(const TileRect& bounds, const TaskWalk& walk) : bounds_(bounds), shaped_(true)
{
    columnStart_.push_back(0);
    for (qint64 x = bounds_.MinX; x <= bounds_.MaxX; ++x) {
        for (const RowSpan& span : walk.Column(int(x)))
            if (span.Last >= bounds_.MinY && span.First <= bounds_.MaxY)
                spans_.push_back({std::max<qint64>(span.First, bounds_.MinY), std::min<qint64>(span.Last, bounds_.MaxY)});
        columnStart_.push_back(spans_.size());
    }
}

std::span<const LowerZoomArea::Span> LowerZoomArea::Column(qint64 x) const
{
    if (x < bounds_.MinX || x > bounds_.MaxX)
        return {};
    const std::size_t i = std::size_t(x - bounds_.MinX);
    return std::span<const Span>(spans_).subspan(columnStart_[i], columnStart_[i + 1] - columnStart_[i]);
}

qint64 LowerZoomArea::Count() const
{
    if (!shaped_)
        return bounds_.Count();
    qint64 count = 0;
    for (const Span& span : spans_)
        count += span.Last - span.First + 1;
    return count;
}

bool LowerZoomArea::Contains(qint64 x, qint64 y) const
{
    if (!shaped_ || !bounds_.Contains(x, y))
        return bounds_.Contains(x, y);
    const std::span<const Span> column = Column(x);
    return std::any_of(column.begin(), column.end(), [y](const Span& span) { return y >= span.First && y <= span.Last; });
}

LowerZoomArea LowerZoomArea::Halved() const
{
    if (!shaped_)
        return LowerZoomArea(bounds_.Halved());
    LowerZoomArea above;
    above.bounds_ = bounds_.Halved();
    above.shaped_ = true;
    above.columnStart_.push_back(0);
    for (qint64 x = above.bounds_.MinX; x <= above.bounds_.MaxX; ++x) {
        std::vector<Span> halves;
        for (const qint64 below : {2 * x, 2 * x + 1})
            for (const Span& span : Column(below))
                halves.push_back({span.First / 2, span.Last / 2});
        std::sort(halves.begin(), halves.end(), [](const Span& a, const Span& b) { return a.First < b.First; });
        const std::size_t columnFirst = above.spans_.size();
        for (const Span& half : halves) {
            if (above.spans_.size() > columnFirst && half.First <= above.spans_.back().Last + 1)
                above.spans_.back().Last = std::max(above.spans_.back().Last, half.Last);
            else
                above.spans_.push_back(half);
        }
        above.columnStart_.push_back(above.spans_.size());
    }
    return above;
}
