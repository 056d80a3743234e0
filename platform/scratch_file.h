#pragma once

#include <QByteArray>
#include <QString>

// A file without a name in `folder` for data on its way into an output: it
// never shows in the folder and disappears with the process, whatever ends it.
class ScratchFile {
public:
    // Raises AppError naming `target` when the folder takes no such file.
    ScratchFile(const QString& folder, const QString& target);
    ~ScratchFile();

    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Appends `bytes`; raises AppError when the disk takes them not.
    void Append(const QByteArray& bytes);
    // `size` bytes from `offset` into `into`.
    void Read(qint64 offset, qint64 size, QByteArray& into) const;
    qint64 Size() const { return size_; }

private:
    [[noreturn]] void Fail(int error) const;

    int fd_ = -1;
    qint64 size_ = 0;
    QString target_;
};
