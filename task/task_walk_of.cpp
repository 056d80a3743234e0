#include "task/task_walk_of.h"

#include "task/download_task.h"

TaskWalk WalkOf(const MDTask& task)
{
    return task.Walk.IsShaped() ? task.Walk : TaskWalk(task.MinX, task.MinY, task.MaxX, task.MaxY);
}

bool TaskHoldsTile(const MDTask& task, int x, int y)
{
    if (task.Walk.IsShaped())
        return task.Walk.Holds(x, y);
    return x >= task.MinX && x <= task.MaxX && y >= task.MinY && y <= task.MaxY;
}
