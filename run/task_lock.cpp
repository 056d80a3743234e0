#include "run/task_lock.h"

#include "platform/app_error.h"

void TaskLock::Acquire(const QString& projectFile)
{
    switch (lock_.TryLock(projectFile + QStringLiteral(".lock"))) {
    case FileLock::Outcome::Locked: return;
    case FileLock::Outcome::HeldElsewhere:
        throw AppError(QStringLiteral("The task ") + projectFile + QStringLiteral(" is already running."));
    case FileLock::Outcome::Failed:
        throw AppError(QStringLiteral("Cannot lock the task ") + projectFile + QStringLiteral(": ") + lock_.Problem() + u'.');
    }
}
