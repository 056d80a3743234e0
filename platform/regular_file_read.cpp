#include "platform/regular_file_read.h"

#include "platform/file_handle.h"
#include "platform/file_replacement.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
RegularFileBytes Refused(QString problem, qint64 fileSize = 0)
{
    RegularFileBytes file;
    file.Result = RegularFileBytes::Outcome::Refused;
    file.Problem = std::move(problem);
    file.FileSize = fileSize;
    return file;
}

RegularFileBytes TooLarge(qint64 fileSize)
{
    RegularFileBytes file;
    file.Result = RegularFileBytes::Outcome::TooLarge;
    file.FileSize = fileSize;
    return file;
}
}

RegularFileBytes ReadRegularFile(const QString& path, qint64 maxBytes, LinkRule links)
{
    // O_NONBLOCK: opening a pipe without a writer must not wait for one.
    const FileHandle file(::open(QFile::encodeName(path).constData(),
        O_RDONLY | O_NONBLOCK | (links == LinkRule::Refuse ? O_NOFOLLOW : 0) | O_NOCTTY | O_CLOEXEC));
    if (!file.IsOpen()) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return {};
        return Refused(error == ELOOP ? QStringLiteral("a symbolic link") : qt_error_string(error));
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0)
        return Refused(qt_error_string(errno));
    if (!S_ISREG(status.st_mode))
        return Refused(QStringLiteral("not a regular file"));
    if (status.st_size > maxBytes)
        return TooLarge(status.st_size);

    // The file may grow while it is read: the cap holds for what is read.
    RegularFileBytes read;
    read.Result = RegularFileBytes::Outcome::Read;
    read.Bytes.resize(qsizetype(status.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == read.Bytes.size()) {
            if (filled > maxBytes)
                return TooLarge(filled);
            read.Bytes.resize(std::min<qsizetype>(filled * 2 + 4096, maxBytes + 1));
        }
        const ssize_t count = ::read(file.Get(), read.Bytes.data() + filled, size_t(read.Bytes.size() - filled));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return Refused(qt_error_string(errno), status.st_size);
        }
        if (count == 0)
            break;
        filled += count;
    }
    read.Bytes.truncate(filled);
    read.FileSize = filled;
    return read;
}

void RefuseUnlessRegularFile(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return;
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        throw FileWriteError(path, QStringLiteral("not a regular file"));
}
