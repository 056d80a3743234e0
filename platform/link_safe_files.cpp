#include "platform/link_safe_files.h"

#include "platform/file_replacement.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
void WriteAll(FileHandle file, const QString& path, QByteArrayView bytes)
{
    // A nearly full disk takes part of a write; trying the rest gives the reason.
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(file.Get(), bytes.data(), size_t(bytes.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw FileWriteError(path, qt_error_string(written < 0 ? errno : ENOSPC));
        bytes = bytes.sliced(written);
    }
    if (!file.Close())
        throw FileWriteError(path, qt_error_string(errno));
}

// `name` within the folder `folderHandle` (AT_FDCWD: the current folder).
void WriteIn(int folderHandle, const QString& name, const QString& path, QByteArrayView bytes)
{
    FileHandle file(::openat(folderHandle, QFile::encodeName(name).constData(),
        O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file.IsOpen())
        throw FileWriteError(path, qt_error_string(errno));
    WriteAll(std::move(file), path, bytes);
}

bool CreateIn(int folderHandle, const QString& name, const QString& path, QByteArrayView bytes)
{
    FileHandle file(::openat(folderHandle, QFile::encodeName(name).constData(),
        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!file.IsOpen() && errno == EEXIST)
        return false;
    if (!file.IsOpen())
        throw FileWriteError(path, qt_error_string(errno));
    WriteAll(std::move(file), path, bytes);
    return true;
}
}

void WriteFileWithoutFollowingLinks(const QString& path, QByteArrayView bytes)
{
    WriteIn(AT_FDCWD, path, path, bytes);
}

bool CreateFileWithoutFollowingLinks(const QString& path, QByteArrayView bytes)
{
    return CreateIn(AT_FDCWD, path, path, bytes);
}

void WriteFileWithoutFollowingLinks(const FileHandle& folder, const QString& name, const QString& path, QByteArrayView bytes)
{
    WriteIn(folder.Get(), name, path, bytes);
}

bool CreateFileWithoutFollowingLinks(const FileHandle& folder, const QString& name, const QString& path, QByteArrayView bytes)
{
    return CreateIn(folder.Get(), name, path, bytes);
}

void ReplaceFileWithoutFollowingLinks(const FileHandle& folder, const QString& name, const QString& path, QByteArrayView bytes)
{
    FileReplacement replacement(folder.Get(), name, path);
    replacement.Write(bytes);
    replacement.Commit();
}

FileHandle OpenFolderWithoutFollowingLinks(const QString& folder, const QStringList& inside, const QString& fileName)
{
    FileHandle current(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (qsizetype i = 0; current.IsOpen() && i < inside.size(); ++i)
        current = FileHandle(::openat(current.Get(), QFile::encodeName(inside[i]).constData(),
            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!current.IsOpen())
        throw FileWriteError(fileName, qt_error_string(errno));
    return current;
}
