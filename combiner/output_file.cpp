#include "combiner/output_file.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
[[noreturn]] void RefuseTarget(const QString& target, const QString& reason)
{
    throw AppError(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(target), reason));
}

// The target is checked before its temporary file is made beside it.
const QString& CheckedTarget(const QString& target)
{
    const QFileInfo file(target);
    if (file.isDir())
        RefuseTarget(target, QStringLiteral("it is a folder"));
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        RefuseTarget(target, QStringLiteral("the folder %1 does not exist").arg(QDir::toNativeSeparators(folder.filePath())));
    if (!folder.isDir())
        RefuseTarget(target, QStringLiteral("%1 is not a folder").arg(QDir::toNativeSeparators(folder.filePath())));
    return target;
}

FileReplacement CreateReplacement(const QString& target, const QString& temporary)
try {
    return FileReplacement(target, temporary);
} catch (const FileWriteError& error) {
    RefuseTarget(target, error.Reason().toLower());
}
}

QString PendingOutput::TemporaryNameFor(const QString& target)
{
    return target + QStringLiteral(".quiltry-part");
}

PendingOutput::PendingOutput(const QString& target)
    : target_(CheckedTarget(target)), temporary_(TemporaryNameFor(target)), file_(CreateReplacement(target, temporary_))
{
}

void PendingOutput::Refuse(const QString& reason) const
{
    RefuseTarget(target_, reason);
}

void PendingOutput::Commit()
{
    // A rename alone can reach the disk before the data it names.
    try {
        file_.Flush();
    } catch (const FileWriteError& error) {
        Refuse(QStringLiteral("the temporary file could not be flushed to disk (%1)").arg(error.Reason().toLower()));
    }
    if (!StillOurs())
        Refuse(QStringLiteral("its temporary file %1 was replaced while it was written").arg(QDir::toNativeSeparators(temporary_)));
    try {
        file_.Commit();
    } catch (const FileWriteError& error) {
        Refuse(error.Reason().toLower());
    }
}

void WritePendingBytes(PendingOutput& output, const QByteArray& bytes)
{
    try {
        output.File().WriteAt(0, bytes);
    } catch (const FileWriteError& error) {
        output.Refuse(error.Reason().toLower());
    }
}

void CommitImageWithSidecars(PendingOutput& image, const std::vector<PendingOutput*>& sidecars,
    const std::function<void()>& afterStep)
{
    const auto step = [&] {
        if (afterStep)
            afterStep();
    };
    QFile earlier(image.Target());
    if (QFileInfo(earlier).exists() || QFileInfo(earlier).isSymLink()) {
        if (!earlier.remove())
            image.Refuse(earlier.errorString().toLower());
    }
    step();
    for (PendingOutput* sidecar : sidecars) {
        sidecar->Commit();
        step();
    }
    image.Commit();
    step();
}
