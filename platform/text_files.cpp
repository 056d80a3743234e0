#include "platform/text_files.h"

#include "platform/app_error.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr qsizetype kFlushSize = 256 * 1024;
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
    // O_NONBLOCK: a pipe must not hold the reader until a writer comes.
    FileHandle handle(::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!handle.IsOpen() || ::fstat(handle.Get(), &status) != 0 || !S_ISREG(status.st_mode)
        || !file_.open(handle.Release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
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

TextLineWriter::TextLineWriter(const QString& fileName, const QString& temporaryFileName)
    : file_(fileName, temporaryFileName)
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
    // O_NONBLOCK: a pipe without a reader must not hold the caller.
    FileHandle handle(::open(QFile::encodeName(file.fileName()).constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    // A pipe without a reader answers ENXIO.
    if (!handle.IsOpen() && errno == ENXIO)
        throw FileWriteError(file.fileName(), QStringLiteral("not a regular file"));
    if (!handle.IsOpen())
        throw FileWriteError(file.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
    struct stat status {};
    if (::fstat(handle.Get(), &status) != 0)
        throw FileWriteError(file.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(status.st_mode))
        throw FileWriteError(file.fileName(), QStringLiteral("not a regular file"));
    file.open(handle.Release(), QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
        QFileDevice::AutoCloseHandle);
}

void SyncToDisk(QFile& file)
{
    if (::fsync(file.handle()) != 0)
        throw FileWriteError(file.fileName(), QString::fromLocal8Bit(std::strerror(errno)));
}
