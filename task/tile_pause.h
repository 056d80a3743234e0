#pragma once

#include <QString>
#include <optional>

// The pause after each stored tile. Public tile servers get one tile a
// second from each worker; a server of the user's own may be given less.
constexpr int kDefaultTilePauseMs = 1000;
constexpr int kMaxTilePauseMs = 60000;

// The pause of one task, settled by Start (see TilePauseFor).
struct TilePause {
    int Ms = kDefaultTilePauseMs;
    // The map type's pause key as read, when the configuration holds one.
    std::optional<int> ConfiguredMs;

    // The line the task log gains after its task block; none without a key.
    std::optional<QString> LogLine() const;
};
