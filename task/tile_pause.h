#pragma once

#include "task/map_type.h"

#include <QString>
#include <optional>

// The pause after each stored tile. Public tile servers get one tile a
// second from each worker; a server of the user's own may be given less,
// never the OpenStreetMap Foundation's.
constexpr int kDefaultTilePauseMs = 1000;
constexpr int kMaxTilePauseMs = 60000;
constexpr int kOpenStreetMapMinTilePauseMs = 1000;

struct TilePause {
    int Ms = kDefaultTilePauseMs;
    // The map type's pause key as read, when the configuration holds one.
    std::optional<int> ConfiguredMs;

    // The line the task log gains after its task block; none without a key.
    std::optional<QString> LogLine() const;
};

// The pause for a task of `mapTypeCode`: its key when there is one, raised
// to the floor for an openstreetmap.org host.
TilePause TilePauseFor(const TileServers& servers, int mapTypeCode);
