#pragma once

#include "run/task_run.h"

// Makes `prepared` the run's last task without writing or running anything,
// as if it had run and ended: for tests of what looks at the last task.
struct TaskRunTestAccess {
    static void SetLastTask(TaskRun& run, PreparedTask prepared)
    {
        run.parameters_ = std::move(prepared.Parameters);
        run.task_ = std::move(prepared.Task);
    }
};
