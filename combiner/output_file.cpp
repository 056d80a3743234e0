#include "combiner/output_file.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
[[noreturn]] void Refuse(const QString& target, const QString& reason)
{
    throw AppError(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(target), reason));
}

void CheckTarget(const QString& target)
{
    const QFileInfo file(target);
    if (file.isDir())
        Refuse(target, QStringLiteral("it is a folder"));
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        Refuse(target, QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath())));
    if (!folder.isDir())
        Refuse(target, QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder.filePath())));
}

// A rename alone can reach the disk before the data it names.
bool SyncToDisk(const QString& fileName)
{
#ifdef Q_OS_WIN
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    return _commit(file.handle()) == 0;
#else
    const int fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
#endif
}
}

QString PendingOutput::TemporaryNameFor(const QString& target)
{
    return target + QStringLiteral(".quiltry-part");
}

PendingOutput::PendingOutput(const QString& target)
    : target_(target), temporary_(TemporaryNameFor(target))
{
    CheckTarget(target);
    QFile::remove(temporary_);  // stale, from a run that was killed
    QFile file(temporary_);
    if (!file.open(QIODevice::WriteOnly))
        Refuse(target, file.errorString().toLower());
}

PendingOutput::~PendingOutput()
{
    if (!committed_)
        QFile::remove(temporary_);
}

void PendingOutput::Commit()
{
    if (!SyncToDisk(temporary_))
        Refuse(target_, QStringLiteral("the temporary file could not be flushed to disk"));
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temporary_.toStdU16String()),
        std::filesystem::path(target_.toStdU16String()), error);
    if (error)
        Refuse(target_, QString::fromLocal8Bit(error.message()).toLower());
    committed_ = true;
}

void WritePendingBytes(PendingOutput& output, const QByteArray& bytes)
{
    QFile file(output.TemporaryName());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        Refuse(output.Target(), file.errorString().toLower());
}
