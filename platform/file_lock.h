#pragma once

#include "platform/file_handle.h"

#include <QString>

// An exclusive lock of the operating system on a lock file, held until
// Release() or the end of the process in any way: a killed holder leaves no
// stale lock behind, only the empty file, which the next holder takes over.
class FileLock {
public:
    enum class Outcome { Locked, HeldElsewhere, Failed };

    FileLock() = default;
    ~FileLock() { Release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock on `lockFile`, creating it when missing, never through a
    // link at its name. When Failed, Problem() is the system's text.
    Outcome TryLock(const QString& lockFile);
    // Removes the lock file, then gives up the lock.
    void Release();
    bool Held() const { return handle_.IsOpen(); }
    const QString& Problem() const { return problem_; }

private:
    FileHandle handle_;
    QString lockFile_;
    QString problem_;
};
