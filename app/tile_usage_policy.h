#pragma once

#include "task/download_task.h"

#include <QString>
#include <optional>

// The OpenStreetMap Foundation's tile usage policy forbids bulk downloading
// from its tile servers and blocks offenders without notice. A task for one
// of their hosts may therefore hold at most this many tiles.
constexpr qint64 kMaxTilesFromOpenStreetMap = 250;

// The message that refuses the task, when its map type's server is one of
// the Foundation's and its area holds too many tiles. Nothing for a zoom the
// tile grid cannot handle: building the task reports that.
std::optional<QString> TileUsagePolicyRefusal(const TaskParameters& parameters);
