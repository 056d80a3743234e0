#pragma once

#include "task/download_task.h"

#include <QString>
#include <memory>

// A task opened from its project file by the tools that look at what a task
// brought home (Map Viewer, Map Combiner). Its range and tile file names come
// from MDTask itself, so the tools and the downloader never disagree about
// which file is which tile. Opening creates and changes nothing on disk.
struct OpenedTask {
    std::unique_ptr<TaskParameters> Parameters;
    std::unique_ptr<MDTask> Task;  // refers to *Parameters
};

// Raises AppError "Cannot open the task <file>: <reason>." when the file is
// missing, unreadable, empty, binary, or lacks a map type, area or zoom that
// a task can be built from.
OpenedTask OpenTaskReadOnly(const QString& projectFileName);
// The same for a shaped task whose shape was read (see task/stored_shape.h):
// its tiles are those of `shape`.
OpenedTask OpenTaskReadOnly(const QString& projectFileName, std::shared_ptr<const ShapedArea> shape);

// Raises the same AppError when the file is missing, not a file or cannot be read.
void CheckProjectFileReadable(const QString& projectFileName);
