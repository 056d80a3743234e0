#pragma once

#include <QString>

// One output file, written under a temporary name beside its target and
// renamed over the target only when complete: a cancel, an error or a kill
// never leaves a half-written file under the target's name. The temporary
// name is fixed per target, so a later run removes a stale one.
class PendingOutput {
public:
    // Refuses, with AppError, a target that is a folder or whose folder is
    // missing, not a folder or not writable; creates the empty temporary file.
    explicit PendingOutput(const QString& target);
    ~PendingOutput();  // removes the temporary file unless committed

    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    const QString& Target() const { return target_; }
    const QString& TemporaryName() const { return temporary_; }

    // Flushes the temporary file to disk and renames it over the target.
    void Commit();

    static QString TemporaryNameFor(const QString& target);

private:
    QString target_;
    QString temporary_;
    bool committed_ = false;
};

// Writes `bytes` as a complete pending file (world file, projection file).
void WritePendingBytes(PendingOutput& output, const QByteArray& bytes);
