#include "platform/text_files.h"

#include "platform/app_error.h"

#include <QFile>

namespace {
constexpr qsizetype kFlushSize = 256 * 1024;

AppError CannotCreate(const QString& fileName)
{
    return AppError(QStringLiteral("Cannot create file ") + fileName);
}
}

void WriteFileAtomically(const QString& fileName, const QByteArray& bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw CannotCreate(fileName);
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
    return file.readAll();
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
    // Lines are gathered in buffer_ already; a second buffer would only copy.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw CannotCreate(fileName);
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
    if (file_.write(buffer_) != buffer_.size()) {
        file_.cancelWriting();
        throw CannotCreate(file_.fileName());
    }
    buffer_.resize(0);  // keeps the allocation for the next lines
}

void TextLineWriter::Commit()
{
    Flush();
    if (!file_.commit())
        throw CannotCreate(file_.fileName());
}
