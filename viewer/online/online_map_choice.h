#pragma once

#include "task/map_type.h"
#include "viewer/online/online_tiles.h"

struct TaskParameters;

// The online map behind a task: the task's own map source when it has one
// (the template its project file recorded, with the request lines of the
// source file of that name when it is still there), else the MAPNIK server
// of the configuration.
OnlineMapSource OnlineMapFor(const TaskParameters* task, const TileServers& servers);
