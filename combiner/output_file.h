#pragma once

#include "platform/file_replacement.h"

#include <QString>
#include <functional>
#include <vector>

// One output file, written under a temporary name beside its target and
// renamed over the target only when complete: a cancel, an error or a kill
// never leaves a half-written file under the target's name. The temporary
// name is fixed per target, so a later run removes a stale one. It is
// created exclusively and never through a link (a link planted at the name
// is removed, not followed), and every write goes through the descriptor
// made then (a FileReplacement with a fixed temporary name). Destroyed
// uncommitted, it removes the temporary file.
class PendingOutput {
public:
    // Refuses, with AppError, a target that is a folder or whose folder is
    // missing, not a folder or not writable; creates the empty temporary file.
    explicit PendingOutput(const QString& target);

    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    const QString& Target() const { return target_; }
    const QString& TemporaryName() const { return temporary_; }
    // The temporary file, open for reading and writing.
    FileReplacement& File() { return file_; }
    // Whether the temporary name still names the file this object made.
    bool StillOurs() const { return file_.StillOurs(); }

    // Flushes the temporary file to disk and renames it over the target.
    void Commit();

    [[noreturn]] void Refuse(const QString& reason) const;

    static QString TemporaryNameFor(const QString& target);

private:
    QString target_;
    QString temporary_;
    FileReplacement file_;
};

// Commits an image and its side files (world file, projection files) so
// that after a kill at any point the image beside them comes from the same
// run, or is absent: the earlier image is removed first, the side files
// renamed next, the image last. `afterStep`, when given, is called after
// each of those steps.
void CommitImageWithSidecars(PendingOutput& image, const std::vector<PendingOutput*>& sidecars,
    const std::function<void()>& afterStep = {});

// Writes `bytes` as the whole content of a pending file (world file, projection file).
void WritePendingBytes(PendingOutput& output, const QByteArray& bytes);
