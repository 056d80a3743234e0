#pragma once

#include "task/tile_validators.h"

#include <QByteArray>
#include <mutex>
#include <optional>

// Which stored tiles a refresh asks the server about. Tiles never stored are
// asked for in every case, as a download would.
struct RefreshSelection {
    enum class Choice {
        NoLongerFresh,  // past the freshness the server gave them, or of unknown freshness
        FetchedBefore,  // fetched longer than OlderThanSeconds ago
        All,
    };
    Choice Which = Choice::NoLongerFresh;
    qint64 OlderThanSeconds = 0;
    qint64 Now = 0;  // seconds since 1970 (UTC), fixed when the refresh starts
};

// What a refresh did with the tiles of a task.
struct RefreshCounts {
    qint64 Unchanged = 0;  // answered "not modified"
    qint64 Changed = 0;    // replaced by a new copy, or fetched for the first time
    qint64 Gone = 0;       // no longer on the server; the old copy stays
    qint64 NotAsked = 0;   // still fresh, or young enough
    qint64 BytesReceived = 0;
    qint64 FullDownloadBytes = 0;  // what fetching every tile afresh would have taken

    RefreshCounts& operator+=(const RefreshCounts& other);
};

// What the workers of one run keep about the tiles besides the tiles: the
// validators of the tiles they store (taken by the run at its saves and
// appended to the task's validator file after the tiles are on disk), and,
// in a refresh, what was stored before and the counts. Workers call it from
// their threads.
class TileKeeping {
public:
    // A download: nothing stored is looked at.
    TileKeeping() = default;
    // A refresh of tiles with `stored` validators; `blankImage` is the
    // image that stands in for tiles the server did not have.
    TileKeeping(const RefreshSelection& selection, TileValidatorTable stored, QByteArray blankImage);

    const std::optional<RefreshSelection>& Refresh() const { return refresh_; }
    // The validators read at the start; nullptr when none.
    const TileValidators* Stored(int x, int y) const;
    const QByteArray& BlankImage() const { return blankImage_; }

    void Record(int x, int y, const TileValidators& validators);
    // The records since the last call, in the order they came, each line
    // ended by CR LF: one block of bytes, as the file takes them, however
    // many thousand tiles a second come between two saves.
    QByteArray TakeRecords();

    void Count(const RefreshCounts& tile);
    RefreshCounts Counts() const;

private:
    std::optional<RefreshSelection> refresh_;
    TileValidatorTable stored_;
    QByteArray blankImage_;
    mutable std::mutex mutex_;
    QByteArray records_;
    RefreshCounts counts_;
};
