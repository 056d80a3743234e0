#include "run/task_lock.h"

#include "platform/app_error.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void TaskLock::Acquire(const QString& projectFile)
{
    Release();
    const QString lockFile = projectFile + QStringLiteral(".lock");
    const QByteArray path = QFile::encodeName(lockFile);
    const auto fail = [&](int error) {
        throw AppError(QStringLiteral("Cannot lock the task ") + projectFile + QStringLiteral(": ")
            + QString::fromLocal8Bit(std::strerror(error)) + u'.');
    };
    // The file may be removed by the holder between our open and our lock:
    // then the lock we got is on a name nobody else can find, so go again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0)
            fail(errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                throw AppError(QStringLiteral("The task ") + projectFile + QStringLiteral(" is already running."));
            fail(error);
        }
        struct stat opened {}, named {};
        if (::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 && opened.st_ino == named.st_ino
            && opened.st_dev == named.st_dev) {
            fd_ = fd;
            lockFile_ = lockFile;
            return;
        }
        ::close(fd);
    }
    fail(EAGAIN);
}

void TaskLock::Release()
{
    if (fd_ < 0)
        return;
    // Removed while still held, so no other run can lock the old file.
    ::unlink(QFile::encodeName(lockFile_).constData());
    ::close(fd_);
    fd_ = -1;
}
