#pragma once

#include "settings/config_file.h"
#include "task/download_task.h"
#include "task/start_inputs.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <variant>

// A task built from the inputs of Start, ready to write its files and run.
struct PreparedTask {
    std::unique_ptr<TaskParameters> Parameters;
    std::unique_ptr<MDTask> Task;  // refers to *Parameters
};

// Why Start did not build the task: the messages for the user in the order
// the checks ran; none when the user declined the large-task question.
struct StartRefusal {
    QStringList Messages;
};

// Asked before a new task above the size or zoom that Start asks about; true
// goes on. The window asks the user, the command line looks at --yes.
using LargeTaskConfirmation = std::function<bool(qint64 tileCount)>;

// Every check of Start in its order, then the task: folder given, the large
// task question (never for a continued task, and before the folder is made,
// so No leaves nothing behind), the folder made one level, the area, the tile
// usage policy, the task core's own refusals. New or continued is decided by
// the project file the inputs name (see ContinuesProject). Nothing but the
// folders is written here.
std::variant<PreparedTask, StartRefusal> PrepareTask(const TaskInputs& inputs, const ProxySettings& proxy,
    const TileServers& servers, const LargeTaskConfirmation& confirmLargeTask);
