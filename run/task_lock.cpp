#include "run/task_lock.h"

#include "platform/app_error.h"
#include "task/start_check.h"

void TaskLock::Acquire(const QString& projectFile)
{
    switch (lock_.TryLock(TaskLockFile(projectFile))) {
    case FileLock::Outcome::Locked: return;
    case FileLock::Outcome::HeldElsewhere:
        throw AppError(AlreadyRunningText(projectFile));
    case FileLock::Outcome::Failed:
        throw AppError(QStringLiteral("Cannot lock the task ") + projectFile + QStringLiteral(": ") + lock_.Problem() + u'.');
    }
}
