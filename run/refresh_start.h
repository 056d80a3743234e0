#pragma once

#include "run/task_start.h"
#include "task/tile_keeping.h"

#include <QString>

// A refresh is a run of a task that was downloaded before: its workers walk
// every tile from the first, ask the server only about the tiles the
// selection names (see AskForTile) and leave the saved positions as they
// were. Raises Refusal when the task has no earlier run to refresh.
void PrepareRefresh(PreparedTask& task, const RefreshSelection& selection);

// The log's line at the start of a refresh: which tiles it asks about.
QString RefreshBeginLine(const RefreshSelection& selection);

// The one line a refresh ends with, in the log, on the command line and in
// the window's end box.
QString RefreshEndLine(const RefreshCounts& counts, qint64 failed);
