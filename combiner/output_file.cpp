#include "combiner/output_file.h"

#include "combiner/scratch_file.h"
#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void RefuseTarget(const QString& target, const QString& reason)
{
    throw AppError(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(target), reason));
}

void CheckTarget(const QString& target)
{
    const QFileInfo file(target);
    if (file.isDir())
        RefuseTarget(target, QStringLiteral("it is a folder"));
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        RefuseTarget(target, QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath())));
    if (!folder.isDir())
        RefuseTarget(target, QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder.filePath())));
}

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error)).toLower();
}

// O_EXCL makes the name ours alone and refuses whatever sits there, a link
// included; what sits there is a stale temporary (or something planted), and
// unlink removes a link itself, never what it points to.
int CreateExclusively(const QString& target, const QByteArray& name)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            RefuseTarget(target, ErrnoText(errno));
        if (::unlink(name.constData()) != 0 && errno != ENOENT)
            RefuseTarget(target, ErrnoText(errno));
    }
    RefuseTarget(target, QStringLiteral("its temporary file %1 keeps reappearing").arg(QString::fromLocal8Bit(name)));
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
    fd_ = CreateExclusively(target, QFile::encodeName(temporary_));
}

PendingOutput::~PendingOutput()
{
    if (!committed_ && StillOurs())
        ::unlink(QFile::encodeName(temporary_).constData());
    if (fd_ >= 0)
        ::close(fd_);
}

bool PendingOutput::StillOurs() const
{
    struct stat ours {}, named {};
    return fd_ >= 0 && ::fstat(fd_, &ours) == 0 && ::lstat(QFile::encodeName(temporary_).constData(), &named) == 0
        && ours.st_dev == named.st_dev && ours.st_ino == named.st_ino;
}

void PendingOutput::Refuse(const QString& reason) const
{
    RefuseTarget(target_, reason);
}

void PendingOutput::Commit()
{
    // A rename alone can reach the disk before the data it names.
    if (::fsync(fd_) != 0)
        Refuse(QStringLiteral("the temporary file could not be flushed to disk (%1)").arg(ErrnoText(errno)));
    if (!StillOurs())
        Refuse(QStringLiteral("its temporary file %1 was replaced while it was written").arg(QDir::toNativeSeparators(temporary_)));
    if (::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) != 0)
        Refuse(ErrnoText(errno));
    committed_ = true;
}

void WritePendingBytes(PendingOutput& output, const QByteArray& bytes)
{
    if (!WriteAllAt(output.Descriptor(), bytes.constData(), bytes.size(), 0)
        || ::ftruncate(output.Descriptor(), off_t(bytes.size())) != 0)
        output.Refuse(ErrnoText(errno));
}

void CommitImageWithSidecars(PendingOutput& image, const std::vector<PendingOutput*>& sidecars,
    const std::function<void()>& afterStep)
{
    const auto step = [&] {
        if (afterStep)
            afterStep();
    };
    if (::unlink(QFile::encodeName(image.Target()).constData()) != 0 && errno != ENOENT)
        image.Refuse(ErrnoText(errno));
    step();
    for (PendingOutput* sidecar : sidecars) {
        sidecar->Commit();
        step();
    }
    image.Commit();
    step();
}
