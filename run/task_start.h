#pragma once

#include "settings/config_file.h"
#include "task/download_task.h"
#include "task/start_inputs.h"

#include <memory>

// A task built from the inputs of Start, ready to write its files and run.
struct PreparedTask {
    std::unique_ptr<TaskParameters> Parameters;
    std::unique_ptr<MDTask> Task;  // refers to *Parameters
};

// The configuration a start reads once, before its first task: every task
// of the start takes this snapshot, whatever the Options dialog changes
// meanwhile.
struct StartSettings {
    ProxySettings Proxy;
    TileServers Servers;
};
StartSettings ReadStartSettings();

// What a task needs beyond the checks made once for the start (CheckStart,
// task/start_check.h), in this order: no run holds the task now (see
// TaskRunsNow), the folder made one level, the area,
// the tile usage policy, the task core's own refusals; then the task. New or
// continued is decided by the project file the inputs name (see
// ContinuesProject). Raises AppError for a task that runs now, and Refusal
// with the messages for the user. Nothing but the folders is written here.
PreparedTask PrepareTask(const CheckedInputs& task, const StartSettings& settings);
