#pragma once

#include "task/start_inputs.h"

#include <QList>

// Runs the tasks one after another, each as Start would with its inputs
// (their checks passed or their question accepted already), without a
// window: the log and failed list grow on disk, the progress and a summary
// go to stderr, SIGINT and SIGTERM stop the running task like Stop and no
// later task starts. Gives the exit status (see commands.h).
int RunTasksInTurn(const QList<TaskInputs>& tasks);
