#include "platform/text_files.h"

#include "platform/app_error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qsizetype kFlushSize = 256 * 1024;

// A name beside the file that no one else uses: "<name>.<random>.part".
QByteArray TemporaryName(const QByteArray& name)
{
    return name + '.' + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".part";
}

// Creates the temporary file exclusively: never an existing file, never
// through a link planted at its name.
int CreateExclusively(int folder, QByteArray& temporaryName, const QByteArray& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporaryName = TemporaryName(name);
        const int handle =
            ::openat(folder, temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (handle >= 0 || errno != EEXIST)
            return handle;
    }
    return -1;
}

// The new file keeps the permissions of the one it replaces.
void KeepPermissions(int handle, int folder, const QByteArray& name)
{
    struct stat old {};
    if (::fstatat(folder, name.constData(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        ::fchmod(handle, old.st_mode & 07777);
}

// The rename must take the file this replacement wrote, not one put in
// its place since.
bool IsStillOurFile(const struct stat& ours, int folder, const QByteArray& temporaryName)
{
    struct stat named {};
    return ::fstatat(folder, temporaryName.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0
        && ours.st_dev == named.st_dev && ours.st_ino == named.st_ino;
}
}

QString CannotCreateFileMessage(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Cannot create file ") + fileName + QStringLiteral(": ") + reason;
}

FileReplacement::FileReplacement(const QString& fileName)
    : fileName_(fileName),
      folder_(::open(QFile::encodeName(QFileInfo(fileName).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
      name_(QFile::encodeName(QFileInfo(fileName).fileName()))
{
    Start();
}

FileReplacement::FileReplacement(int folderHandle, const QString& name, const QString& fileName)
    : fileName_(fileName), folder_(::fcntl(folderHandle, F_DUPFD_CLOEXEC, 0)), name_(QFile::encodeName(name))
{
    Start();
}

void FileReplacement::Start()
{
    if (folder_.Get() < 0)
        Fail(errno);
    handle_ = CreateExclusively(folder_.Get(), temporaryName_, name_);
    if (handle_ < 0) {
        const int error = errno;
        temporaryName_.clear();
        Fail(error);
    }
    KeepPermissions(handle_, folder_.Get(), name_);
}

FileReplacement::~FileReplacement()
{
    Discard();
}

bool WriteAll(QFileDevice& file, QByteArrayView bytes)
{
    // A nearly full disk takes part of a write; trying the rest gives the reason.
    while (!bytes.isEmpty()) {
        const qint64 written = file.write(bytes.data(), bytes.size());
        if (written <= 0)
            return false;
        bytes = bytes.sliced(written);
    }
    return true;
}

void FileReplacement::Write(QByteArrayView bytes)
{
    // A nearly full disk takes part of a write; trying the rest gives the reason.
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(handle_, bytes.data(), size_t(bytes.size()));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            Fail(written < 0 ? errno : ENOSPC);
        bytes = bytes.sliced(written);
    }
}

void FileReplacement::Commit()
{
    // The rename gives up the old file, so the new one must be on the disk
    // first; some file systems report a full disk only here.
    struct stat written {};
    if (::fsync(handle_) != 0 || ::fstat(handle_, &written) != 0)
        Fail(errno);
    const int closed = ::close(handle_);
    handle_ = -1;
    if (closed != 0)
        Fail(errno);
    if (!IsStillOurFile(written, folder_.Get(), temporaryName_))
        Fail(EEXIST);
    if (::renameat(folder_.Get(), temporaryName_.constData(), folder_.Get(), name_.constData()) != 0)
        Fail(errno);
    temporaryName_.clear();
    // The rename itself reaches the disk only with its folder.
    ::fsync(folder_.Get());
}

void FileReplacement::Discard()
{
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
    if (!temporaryName_.isEmpty())
        ::unlinkat(folder_.Get(), temporaryName_.constData(), 0);
    temporaryName_.clear();
}

void FileReplacement::Fail(int error)
{
    Discard();
    throw FileWriteError(fileName_, qt_error_string(error));
}

void WriteFileAtomically(const QString& fileName, const QByteArray& bytes)
{
    FileReplacement file(fileName);
    file.Write(bytes);
    file.Commit();
}

void WriteTextLines(const QString& fileName, const QStringList& lines)
{
    TextLineWriter writer(fileName);
    for (const QString& line : lines)
        writer.WriteLine(line);
    writer.Commit();
}

QByteArray ReadWholeFile(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file ") + fileName);
    QByteArray bytes = file.readAll();
    // Half a file read is not the file.
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Cannot open file ") + fileName);
    return bytes;
}

QStringList SplitTextLines(const QByteArray& bytes)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = bytes.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.append(QString::fromLocal8Bit(bytes.constData() + start, end - start));
        if (end < size && bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

QStringList ReadTextLines(const QString& fileName)
{
    return SplitTextLines(ReadWholeFile(fileName));
}

TextLineReader::TextLineReader(const QString& fileName, qsizetype maxLineBytes)
    : file_(fileName), maxLineBytes_(maxLineBytes)
{
    if (!file_.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Cannot open file ") + fileName);
}

bool TextLineReader::Fill()
{
    buffer_.remove(0, start_);
    start_ = 0;
    const qsizetype kept = buffer_.size();
    buffer_.resize(kept + kFlushSize);
    const qint64 read = file_.read(buffer_.data() + kept, kFlushSize);
    if (read < 0)
        throw AppError(QStringLiteral("Cannot open file ") + file_.fileName());
    buffer_.resize(kept + read);
    return read > 0;
}

std::optional<TextLine> TextLineReader::Next()
{
    TextLine line;
    QByteArray bytes;
    bool atEnd = false;
    for (;;) {
        if (start_ == buffer_.size() && !Fill()) {
            atEnd = true;
            break;
        }
        if (afterCr_ && buffer_[start_] == '\n')
            ++start_;
        afterCr_ = false;
        qsizetype end = start_;
        while (end < buffer_.size() && buffer_[end] != '\r' && buffer_[end] != '\n')
            ++end;
        const qsizetype room = maxLineBytes_ - bytes.size();
        if (end - start_ > room)
            line.TooLong = true;
        bytes.append(buffer_.constData() + start_, std::clamp<qsizetype>(end - start_, 0, room));
        if (end < buffer_.size()) {
            afterCr_ = buffer_[end] == '\r';
            start_ = end + 1;
            break;
        }
        start_ = end;  // the line goes on in the next part of the file
    }
    if (atEnd && bytes.isEmpty() && !line.TooLong)
        return std::nullopt;
    line.Text = QString::fromLocal8Bit(bytes);
    return line;
}

TextLineWriter::TextLineWriter(const QString& fileName) : file_(fileName)
{
    buffer_.reserve(kFlushSize + 4096);
}

void TextLineWriter::WriteLine(const QString& line)
{
    WriteLine(line.toLocal8Bit());
}

void TextLineWriter::WriteLine(QByteArrayView line)
{
    buffer_.append(line);
    buffer_.append("\r\n", 2);
    if (buffer_.size() >= kFlushSize)
        Flush();
}

void TextLineWriter::Flush()
{
    file_.Write(buffer_);
    buffer_.resize(0);  // keeps the allocation for the next lines
}

void TextLineWriter::Commit()
{
    Flush();
    file_.Commit();
}

void OpenForAppend(QFile& file)
{
    const int handle = ::open(QFile::encodeName(file.fileName()).constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (handle < 0)
        throw FileWriteError(file.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
    file.open(handle, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
}
