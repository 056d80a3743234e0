#pragma once

#include "download/http_client.h"
#include "task/tile_validators.h"

#include <QDateTime>
#include <QStringList>
#include <optional>

class MDTask;

// How a worker asks for one tile and what it makes of the reply, for a
// download and a refresh alike (see TileKeeping). A download asks for every
// tile plainly; a refresh looks at the stored tile first.

struct TileAsk {
    bool Asked = true;         // false: still fresh (or young enough); no request
    QStringList RequestLines;  // the conditional lines of a refresh
    bool Stored = false;       // an earlier copy is on disk (not the blank image)
    qint64 StoredBytes = 0;
    std::optional<TileValidators> Validators;  // those of the stored copy, when known
};

// A stored copy counts as the one the validators were taken from only when
// its size is theirs (a kill between a tile's replacement and the next save
// leaves the old validators behind); a stored copy without them is asked
// about with its file's time. A file that holds the blank image counts as
// never stored.
TileAsk AskForTile(const MDTask& task, int x, int y);

enum class TileReply {
    Store,      // a tile came: store it
    Unchanged,  // the stored copy is current
    Gone,       // the server no longer has the tile; the stored copy stays
    Failed,     // judged by the failure classes
};
TileReply JudgeTileReply(const TileAsk& ask, const HttpResult& result);

// After the tile's outcome (Store only once the tile is on disk): the
// validators to keep and the refresh's counts. A failure is counted by its
// failed record instead.
void KeepTileOutcome(const MDTask& task, int x, int y, const TileAsk& ask, TileReply reply,
    const HttpResult& result, const QDateTime& now);
// A tile not asked for in a refresh.
void KeepTileNotAsked(const MDTask& task, const TileAsk& ask);
