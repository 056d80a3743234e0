#pragma once

#include "task/tile_validators.h"

#include <QColor>
#include <QDateTime>

// How current a stored tile is by what the server said when it was fetched.
enum class TileAge {
    Fresh,    // within the freshness the server gave it
    Stale,    // past it (or given none)
    Unknown,  // fetched before the task kept validators
};

// When a task's tiles were fetched, from its validator file, as of one moment.
class TileAges {
public:
    TileAges() = default;
    TileAges(TileValidatorTable validators, const QDateTime& now);

    TileAge AgeOf(int x, int y) const;

    qint64 TilesWithDates() const { return validators_.size(); }
    QDateTime OldestFetch() const { return oldest_; }  // invalid without dates
    QDateTime NewestFetch() const { return newest_; }
    qint64 PastFreshness() const { return pastFreshness_; }

private:
    TileValidatorTable validators_;
    qint64 now_ = 0;
    QDateTime oldest_;
    QDateTime newest_;
    qint64 pastFreshness_ = 0;
};

// The tint an age gives a tile when the view colours tiles by age.
QColor TileAgeColor(TileAge age);
