#pragma once

#include "task/download_task.h"
#include "task/tile_pause.h"

#include <QString>
#include <optional>

// The OpenStreetMap Foundation's tile usage policy forbids bulk downloading
// from its tile servers and blocks offenders without notice. A task for one
// of their hosts may therefore hold at most this many tiles.
constexpr qint64 kMaxTilesFromOpenStreetMap = 250;
// Nor may any worker fetch from them faster than a tile a second.
constexpr int kOpenStreetMapMinTilePauseMs = 1000;

// The pause after each tile for a task of `mapTypeCode`: its pause key when
// the configuration has one, raised to the floor for an openstreetmap.org host.
TilePause TilePauseFor(const TileServers& servers, int mapTypeCode);
// The same for a map source: its Pause key, with the same floor.
TilePause TilePauseFor(const MapSource& source);

// The requests a worker of a task of `mapTypeCode` may keep in flight: one
// while it pauses after each tile, and always for an openstreetmap.org host;
// else the map type's in-flight key, or the default without one.
int TilesInFlightFor(const TileServers& servers, int mapTypeCode, const TilePause& pause);
// The same for a map source and its InFlight key.
int TilesInFlightFor(const MapSource& source, const TilePause& pause);

// True when the address (or address template) points at openstreetmap.org
// or one of its subdomains.
bool IsOpenStreetMapAddress(const QString& address);

// The message that refuses the task, when its map type's server is one of
// the Foundation's and its area holds too many tiles. Nothing for a range the
// task core refuses (zoom, 32-bit count): building the task reports that.
std::optional<QString> TileUsagePolicyRefusal(const TaskParameters& parameters);
// The same for `count` tiles of the map type (the tiles of a whole series).
std::optional<QString> TileUsagePolicyRefusal(const TaskParameters& parameters, qint64 count);
