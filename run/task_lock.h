#pragma once

#include "platform/file_lock.h"

#include <QString>

// Keeps a second run of the same task away while this one runs: an OS lock
// on "<project file>.lock" beside the project file. The system drops the
// lock when the process ends in any way, so a killed run leaves no stale
// lock behind, only the empty file, which the next run takes over.
class TaskLock {
public:
    // Raises AppError "The task <file> is already running." when another
    // process holds it, or "Cannot lock the task <file>: <reason>." when the
    // lock file cannot be made. Never follows a link at the lock's name.
    void Acquire(const QString& projectFile);
    void Release() { lock_.Release(); }
    bool Held() const { return lock_.Held(); }

private:
    FileLock lock_;
};
