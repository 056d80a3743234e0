#pragma once

#include "task/map_type.h"
#include "task/start_inputs.h"

#include <QList>
#include <QString>
#include <optional>

// Start's inputs for a zoom series: one task per zoom level from the inputs'
// zoom to `zoomTo`, each named as a member of the series (see
// task/zoom_series.h). To equal to the zoom gives the ordinary task alone.
QList<TaskInputs> SeriesMemberInputs(const TaskInputs& inputs, int zoomTo);

// Tiles of all the members, or nothing when Start would refuse any of them
// (see AcceptedTileCount).
std::optional<qint64> SeriesTileCount(const QList<TaskInputs>& members, const TileServers& servers);

// Checks made once for the whole series before anything is written, in
// Start's order after the folder and area checks: a member's name taken by
// a task of another area or map type ("alps_z12.qtsk belongs to another
// area; choose another task name"), then the tile usage policy over the
// sum. The first message, or nothing.
std::optional<QString> SeriesRefusal(const QList<TaskInputs>& members, const TileServers& servers);

// What Start does before a series' first member is written: refuse with the
// first message of its checks (folder given, area, then SeriesRefusal), ask
// the large-task question about the tiles of every level (not when every
// member continues its project file), or go on.
struct SeriesPrecheck {
    std::optional<QString> Refusal;
    std::optional<qint64> AskAboutTiles;
};
SeriesPrecheck CheckSeriesStart(const QList<TaskInputs>& members, const TileServers& servers);
