#include "platform/file_replacement.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A name beside the file that no one else uses: "<name>.<random>.part".
QByteArray RandomTemporaryName(const QByteArray& name)
{
    return name + '.' + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".part";
}

int OpenFolder(const QString& fileName)
{
    return ::open(QFile::encodeName(QFileInfo(fileName).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int CreateIn(int folder, const QByteArray& name)
{
    return ::openat(folder, name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}
}

QString CannotCreateFileMessage(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Cannot create file ") + fileName + QStringLiteral(": ") + reason;
}

FileReplacement::FileReplacement(const QString& fileName)
    : fileName_(fileName), folder_(OpenFolder(fileName)), name_(QFile::encodeName(QFileInfo(fileName).fileName()))
{
    Start();
}

FileReplacement::FileReplacement(int folderHandle, const QString& name, const QString& fileName)
    : fileName_(fileName), folder_(::fcntl(folderHandle, F_DUPFD_CLOEXEC, 0)), name_(QFile::encodeName(name))
{
    Start();
}

FileReplacement::FileReplacement(const QString& fileName, const QString& temporaryFileName)
    : fileName_(fileName), folder_(OpenFolder(fileName)), name_(QFile::encodeName(QFileInfo(fileName).fileName())),
      temporaryName_(QFile::encodeName(QFileInfo(temporaryFileName).fileName())), fixedTemporaryName_(true)
{
    Start();
}

FileReplacement::~FileReplacement()
{
    Discard();
}

void FileReplacement::Start()
{
    if (!folder_.IsOpen())
        Fail(errno);
    if (fixedTemporaryName_)
        CreateAtFixedName();
    else
        CreateExclusively();
    struct stat made {};
    if (::fstat(handle_.Get(), &made) != 0)
        Fail(errno);
    device_ = made.st_dev;
    inode_ = made.st_ino;
    // The new file keeps the permissions of the one it replaces.
    struct stat old {};
    if (::fstatat(folder_.Get(), name_.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        ::fchmod(handle_.Get(), old.st_mode & 07777);
}

void FileReplacement::CreateExclusively()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = RandomTemporaryName(name_);
        handle_ = FileHandle(CreateIn(folder_.Get(), name));
        if (handle_.IsOpen()) {
            temporaryName_ = name;
            return;
        }
        if (errno != EEXIST)
            Fail(errno);
    }
    Fail(EEXIST);
}

void FileReplacement::CreateAtFixedName()
{
    // What sits at the name is a stale temporary (or something planted);
    // removing a link removes the link itself, never what it points to.
    const QByteArray name = std::exchange(temporaryName_, {});
    for (int attempt = 0; attempt < 8; ++attempt) {
        handle_ = FileHandle(CreateIn(folder_.Get(), name));
        if (handle_.IsOpen()) {
            temporaryName_ = name;
            return;
        }
        if (errno != EEXIST)
            Fail(errno);
        if (::unlinkat(folder_.Get(), name.constData(), 0) != 0 && errno != ENOENT)
            Fail(errno);
    }
    Fail(EEXIST);
}

QString FileReplacement::TemporaryPath() const
{
    return QFileInfo(fileName_).absolutePath() + u'/' + QFile::decodeName(temporaryName_);
}

void FileReplacement::Write(QByteArrayView bytes)
{
    const off_t end = ::lseek(handle_.Get(), 0, SEEK_END);
    if (end < 0)
        Fail(errno);
    WriteAt(end, bytes);
}

void FileReplacement::WriteAt(qint64 offset, QByteArrayView bytes)
{
    // A nearly full disk takes part of a write; trying the rest gives the reason.
    while (!bytes.isEmpty()) {
        const ssize_t written = ::pwrite(handle_.Get(), bytes.data(), size_t(bytes.size()), off_t(offset));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Fail(written < 0 ? errno : ENOSPC);
        bytes = bytes.sliced(written);
        offset += written;
    }
}

int FileReplacement::DuplicateHandle() const
{
    // The copy shares the position with ours.
    ::lseek(handle_.Get(), 0, SEEK_SET);
    return ::fcntl(handle_.Get(), F_DUPFD_CLOEXEC, 0);
}

std::FILE* FileReplacement::DuplicateStream() const
{
    const int handle = DuplicateHandle();
    std::FILE* stream = handle >= 0 ? ::fdopen(handle, "wb") : nullptr;
    if (handle >= 0 && !stream)
        ::close(handle);
    return stream;
}

bool FileReplacement::StillOurs() const
{
    struct stat named {};
    return !temporaryName_.isEmpty()
        && ::fstatat(folder_.Get(), temporaryName_.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
        && quint64(named.st_dev) == device_ && quint64(named.st_ino) == inode_;
}

void FileReplacement::Flush()
{
    if (::fsync(handle_.Get()) != 0)
        Fail(errno);
}

void FileReplacement::Commit()
{
    // The rename gives up the old file, so the new one must be on the disk
    // first; some file systems report a full disk only here.
    Flush();
    if (!handle_.Close())
        Fail(errno);
    // The rename must take the file this replacement wrote, not one put in
    // its place since.
    if (!StillOurs())
        Fail(EEXIST);
    if (::renameat(folder_.Get(), temporaryName_.constData(), folder_.Get(), name_.constData()) != 0)
        Fail(errno);
    temporaryName_.clear();
    // The rename itself reaches the disk only with its folder.
    ::fsync(folder_.Get());
}

void FileReplacement::Discard()
{
    const bool ours = StillOurs();
    handle_.Close();
    if (ours)
        ::unlinkat(folder_.Get(), temporaryName_.constData(), 0);
    temporaryName_.clear();
}

void FileReplacement::Fail(int error)
{
    Discard();
    throw FileWriteError(fileName_, qt_error_string(error));
}
