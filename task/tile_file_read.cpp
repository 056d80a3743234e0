#include "task/tile_file_read.h"

#include "platform/file_handle.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
TileFileBytes Refused(QString problem, qint64 fileSize = 0)
{
    TileFileBytes file;
    file.Result = TileFileBytes::Outcome::Refused;
    file.Problem = std::move(problem);
    file.FileSize = fileSize;
    return file;
}

QString TooLargeProblem()
{
    return QStringLiteral("larger than %1 MB").arg(kMaxTileFileBytes >> 20);
}
}

TileFileBytes ReadTileFileBytes(const QString& path)
{
    // O_NONBLOCK: opening a pipe without a writer must not wait for one.
    const FileHandle file(::open(QFile::encodeName(path).constData(),
        O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (file.Get() < 0) {
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
    if (status.st_size > kMaxTileFileBytes)
        return Refused(TooLargeProblem(), status.st_size);

    // The file may grow while it is read: the cap holds for what is read.
    TileFileBytes read;
    read.Result = TileFileBytes::Outcome::Read;
    read.Bytes.resize(qsizetype(status.st_size) + 1);
    qsizetype filled = 0;
    for (;;) {
        if (filled == read.Bytes.size()) {
            if (filled > kMaxTileFileBytes)
                return Refused(TooLargeProblem(), filled);
            read.Bytes.resize(std::min<qsizetype>(filled * 2 + 4096, kMaxTileFileBytes + 1));
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
