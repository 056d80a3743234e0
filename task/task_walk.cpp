#include "task/task_walk.h"

#include <algorithm>

TaskWalk::TaskWalk(int minX, int minY, int maxX, int maxY)
    : minX_(minX), minY_(minY), maxX_(maxX), maxY_(maxY), rectangleColumn_{minY, maxY}
{
}

TaskWalk::TaskWalk(std::shared_ptr<const TileCover> cover) : cover_(std::move(cover))
{
    if (cover_->IsEmpty())
        return;
    minX_ = cover_->MinX();
    maxX_ = cover_->MaxX();
    minY_ = cover_->MinY();
    maxY_ = cover_->MaxY();
    placesBefore_.reserve(static_cast<std::size_t>(maxX_ - minX_) + 2);
    qint64 places = 0;
    for (int x = minX_; x <= maxX_; ++x) {
        placesBefore_.push_back(places);
        for (const RowSpan& span : cover_->Column(x))
            places += qint64(span.Last) - span.First + 1;
    }
    placesBefore_.push_back(places);
}

std::span<const RowSpan> TaskWalk::Column(int x) const
{
    if (cover_)
        return cover_->Column(x);
    if (x < minX_ || x > maxX_)
        return {};
    return std::span<const RowSpan>(&rectangleColumn_, 1);
}

bool TaskWalk::Holds(int x, int y) const
{
    if (cover_)
        return cover_->Contains(x, y);
    return x >= minX_ && x <= maxX_ && y >= minY_ && y <= maxY_;
}

qint64 TaskWalk::PlaceOf(int x, int y) const
{
    if (!cover_)
        return (qint64(x) - minX_) * (qint64(maxY_) - minY_ + 1) + (qint64(y) - minY_) + 1;
    if (placesBefore_.empty() || x < minX_)
        return 0;
    if (x > maxX_)
        return placesBefore_.back();
    qint64 places = placesBefore_[static_cast<std::size_t>(x - minX_)];
    for (const RowSpan& span : cover_->Column(x)) {
        if (y < span.First)
            break;
        places += qint64(std::min(y, span.Last)) - span.First + 1;
    }
    return places;
}

std::pair<int, int> TaskWalk::TileAt(qint64 place) const
{
    if (!cover_) {
        const qint64 rows = qint64(maxY_) - minY_ + 1;
        return {int(minX_ + (place - 1) / rows), int(minY_ + (place - 1) % rows)};
    }
    // The last column with fewer tiles before it than `place`.
    const auto after = std::upper_bound(placesBefore_.begin(), placesBefore_.end(), place - 1);
    const std::size_t column = std::size_t(after - placesBefore_.begin()) - 1;
    const int x = minX_ + int(column);
    qint64 left = place - placesBefore_[column];
    for (const RowSpan& span : cover_->Column(x)) {
        const qint64 rows = qint64(span.Last) - span.First + 1;
        if (left <= rows)
            return {x, int(span.First + left - 1)};
        left -= rows;
    }
    return {x, maxY_};
}
