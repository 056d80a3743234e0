#pragma once

#include "task/task_walk.h"

class MDTask;

// The tiles `task`'s workers walk: a shaped task's cover, else its range
// MinX..MaxX x MinY..MaxY as the task holds it now.
TaskWalk WalkOf(const MDTask& task);

// Whether (x, y) is one of `task`'s tiles.
bool TaskHoldsTile(const MDTask& task, int x, int y);
