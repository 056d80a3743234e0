#pragma once

#include "task/start_check.h"
#include "task/start_inputs.h"
#include "task/tile_keeping.h"

#include <QList>

// Runs tasks one after another without a window: the log and failed list
// grow on disk, the progress and a summary go to stderr, SIGINT and SIGTERM
// stop the running task like Stop and no later task starts. Each gives the
// exit status (see commands.h).

// The tasks named by project files, each as Start would run its inputs.
int RunTasksInTurn(const QList<TaskInputs>& tasks);
// The same tasks refreshed (see PrepareRefresh): each ends with its refresh
// line, and a stop says how to go on.
int RefreshTasksInTurn(const QList<TaskInputs>& tasks, const RefreshSelection& selection);
// A new task, or the zoom series up to `zoomTo`, started as the window's
// Start would, with `confirm` answering its question.
int RunNewTasks(const TaskInputs& inputs, int zoomTo, const LargeTaskConfirmation& confirm);
