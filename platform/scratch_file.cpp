#include "platform/scratch_file.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
// Writes all of `size` bytes at `offset` of `fd`; false with errno set when it cannot.
bool WriteAllAt(int fd, const char* data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n, size -= n, offset += n;
    }
    return true;
}
}

ScratchFile::ScratchFile(const QString& folder, const QString& target)
    : target_(target)
{
    const QByteArray path = QFile::encodeName(folder);
    fd_ = ::open(path.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        // A file system without unnamed files: a unique name the system
        // makes, removed at once.
        QByteArray name = path + "/.quiltry-scratch-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0)
            ::unlink(name.constData());
    }
    if (fd_ < 0)
        Fail(errno);
}

ScratchFile::~ScratchFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void ScratchFile::Fail(int error) const
{
    throw AppError(QStringLiteral("Cannot write %1: %2.")
                       .arg(QDir::toNativeSeparators(target_), QString::fromLocal8Bit(std::strerror(error)).toLower()));
}

void ScratchFile::Append(const QByteArray& bytes)
{
    if (!WriteAllAt(fd_, bytes.constData(), bytes.size(), size_))
        Fail(errno);
    size_ += bytes.size();
}

void ScratchFile::Read(qint64 offset, qint64 size, QByteArray& into) const
{
    into.resize(size);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd_, into.data() + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail(n == 0 ? EIO : errno);
        done += n;
    }
}
