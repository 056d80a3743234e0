#include "platform/text_files.h"

#include "platform/app_error.h"

#include <QFile>
#include <cerrno>
#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
constexpr qsizetype kFlushSize = 256 * 1024;

bool FlushToDisk(int handle)
{
#ifdef Q_OS_WIN
    return ::_commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}
}

QString CannotCreateFileMessage(const QString& fileName, const QString& reason)
{
    return QStringLiteral("Cannot create file ") + fileName + QStringLiteral(": ") + reason;
}

FileReplacement::FileReplacement(const QString& fileName) : file_(fileName)
{
    // Unbuffered, so that a write the disk refuses fails in Write() and not
    // unseen in a flush at the end.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fail(file_.errorString());
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
    if (!WriteAll(file_, bytes))
        Fail(file_.errorString());
}

void FileReplacement::Commit()
{
    // The rename gives up the old file, so the new one must be on the disk
    // first; some file systems report a full disk only here.
    if (!FlushToDisk(file_.handle()))
        Fail(qt_error_string(errno));
    if (!file_.commit())
        Fail(file_.errorString());
}

void FileReplacement::Fail(const QString& reason)
{
    file_.cancelWriting();
    throw FileWriteError(file_.fileName(), reason);
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
