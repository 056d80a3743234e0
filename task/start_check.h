#pragma once

#include "task/map_type.h"
#include "task/start_inputs.h"

#include <QList>
#include <functional>
#include <optional>

// The checks a start makes once, before anything is written, for a single
// task and a zoom series alike. Drivers (the window, the command line) only
// say how the user is asked.

// Start's inputs for a zoom series: one task per zoom level from the inputs'
// zoom to `zoomTo`, each named as a member of the series (see
// task/zoom_series.h). To equal to the zoom gives the ordinary task alone.
QList<TaskInputs> SeriesMemberInputs(const TaskInputs& inputs, int zoomTo);

// The members of a start from typed inputs (see SeriesMemberInputs), each
// read once.
QList<CheckedInputs> ReadSeriesStart(const TaskInputs& inputs, int zoomTo);

// Tiles of all the members, or nothing when Start would refuse any of them
// (see AcceptedTileCount).
std::optional<qint64> SeriesTileCount(const QList<CheckedInputs>& members, const TileServers& servers);

// Asked before a new task above the size or zoom that Start asks about
// (see StartAsksFirst), with the tiles of every member and the highest zoom;
// true goes on. The window asks the user, the command line looks at --yes.
using LargeTaskConfirmation = std::function<bool(qint64 tileCount, int zoom)>;

// The lock file a running task holds beside its project file (see
// run/task_lock.h), and the message for a start of a task that runs.
QString TaskLockFile(const QString& projectFile);
QString AlreadyRunningText(const QString& projectFile);
// Whether a run (of any process, this one included) holds the task's lock
// now. Looks without making a lock file.
bool TaskRunsNow(const QString& projectFile);

// In this order: a folder given; the task name (see TaskNameProblem); for a
// series the area and what would refuse any member (its folder, its tile
// range); for a task or series whose area passes, a name taken by a task of
// another area or map type ("alps_z12.qtsk belongs to another area; choose
// another task name"); for a series the tile
// usage policy over the sum; then the large-task question about the tiles
// of every member (not when every member continues its project file).
// Raises Refusal with the first message, or without one when the question
// was declined. What a single task still needs is checked as it is
// prepared (see PrepareTask).
void CheckStart(const QList<CheckedInputs>& members, const TileServers& servers, const LargeTaskConfirmation& confirm);
