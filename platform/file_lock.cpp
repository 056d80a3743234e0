#include "platform/file_lock.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

FileLock::Outcome FileLock::TryLock(const QString& lockFile)
{
    Release();
    const QByteArray path = QFile::encodeName(lockFile);
    const auto fail = [&](int error) {
        problem_ = QString::fromLocal8Bit(std::strerror(error));
        return Outcome::Failed;
    };
    // The file may be removed by the holder between our open and our lock:
    // then the lock we got is on a name nobody else can find, so go again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        FileHandle handle(::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!handle.IsOpen())
            return fail(errno);
        if (::flock(handle.Get(), LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            return error == EWOULDBLOCK ? Outcome::HeldElsewhere : fail(error);
        }
        struct stat opened {}, named {};
        if (::fstat(handle.Get(), &opened) == 0 && ::stat(path.constData(), &named) == 0
            && opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            handle_ = std::move(handle);
            lockFile_ = lockFile;
            return Outcome::Locked;
        }
    }
    return fail(EAGAIN);
}

void FileLock::Release()
{
    if (!handle_.IsOpen())
        return;
    // Removed while still held, so no other holder can lock the old file.
    ::unlink(QFile::encodeName(lockFile_).constData());
    handle_.Close();
}
