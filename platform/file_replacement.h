#pragma once

#include "platform/app_error.h"
#include "platform/file_handle.h"

#include <QByteArray>
#include <QString>
#include <cstdio>

// The message of a failed write: "Cannot create file <name>: <reason>".
QString CannotCreateFileMessage(const QString& fileName, const QString& reason);

// A file that could not be written; Reason() is the system's text, such as
// "No space left on device".
class FileWriteError : public AppError {
public:
    FileWriteError(const QString& fileName, const QString& reason)
        : AppError(CannotCreateFileMessage(fileName, reason)), reason_(reason) {}

    QString Reason() const { return reason_; }

private:
    QString reason_;
};

// A file replaced atomically: the new content goes to a temporary file
// beside it, created exclusively (never an existing file, never through a
// link planted at its name), and only content that reached the disk whole
// is renamed over the old file, which until then stays as it was. A crash,
// a kill or a full disk leaves the old file whole. The new file keeps the
// permissions of the one it replaces. Every failure raises FileWriteError
// and removes the temporary file; destroyed without Commit(), it changes
// nothing.
class FileReplacement {
public:
    // The temporary file gets a name no one else uses: "<name>.<random>.part".
    explicit FileReplacement(const QString& fileName);
    // The file `name` inside the folder open as `folderHandle`, so no link on
    // the way to that folder is followed again; `fileName` names it in messages.
    FileReplacement(int folderHandle, const QString& name, const QString& fileName);
    // The temporary file has the fixed name `temporaryFileName` in the same
    // folder, so a later run finds a stale one: whatever sits at that name is
    // removed, never followed.
    FileReplacement(const QString& fileName, const QString& temporaryFileName);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    const QString& FileName() const { return fileName_; }
    QString TemporaryPath() const;

    // Appends at the end of the temporary file.
    void Write(QByteArrayView bytes);
    void WriteAt(qint64 offset, QByteArrayView bytes);
    // A descriptor of its own on the temporary file, placed at its start,
    // for a library that reads and writes the file itself and closes what it
    // is given; -1 when the system gives none.
    int DuplicateHandle() const;
    // The same as a stdio stream for writing; null when the system gives none.
    std::FILE* DuplicateStream() const;
    // Whether the temporary name still names the file this replacement made.
    bool StillOurs() const;

    // Flushes what was written to the disk.
    void Flush();
    // Flushes, then renames the temporary file over the file.
    void Commit();

private:
    void Start();
    void CreateExclusively();
    void CreateAtFixedName();
    [[noreturn]] void Fail(int error);
    void Discard();

    QString fileName_;
    FileHandle folder_;
    QByteArray name_;           // inside the folder
    QByteArray temporaryName_;  // inside the folder; empty once committed or removed
    bool fixedTemporaryName_ = false;
    FileHandle handle_;
    quint64 device_ = 0, inode_ = 0;  // of the temporary file made
};
