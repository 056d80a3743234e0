#pragma once

#include "platform/app_error.h"

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>

// Task files and lists are text in the local 8-bit encoding with CR LF after
// every line, the last one included. Every write replaces its file atomically:
// the new content goes to a temporary file beside it, every write and the
// flush to disk are checked, and only content that reached the disk whole is
// renamed over the old file. A crash, a kill or a full disk leaves the old
// file whole.

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

// Writes all of `bytes` to an open file. False when the disk refuses part of
// them; the file's errorString() then gives the reason.
bool WriteAll(QFileDevice& file, QByteArrayView bytes);

// A file being replaced. Raises FileWriteError when the
// temporary file cannot be created, written or flushed to disk; the old file
// then stays as it was. Destroyed without Commit(), it changes nothing.
class FileReplacement {
public:
    explicit FileReplacement(const QString& fileName);

    void Write(QByteArrayView bytes);
    void Commit();

private:
    [[noreturn]] void Fail(const QString& reason);

    QSaveFile file_;
};

// Raises FileWriteError when the file cannot be written.
void WriteFileAtomically(const QString& fileName, const QByteArray& bytes);

// Writes `lines`, each followed by CR LF. No lines give an empty file.
void WriteTextLines(const QString& fileName, const QStringList& lines);

// Reads a whole file; raises AppError "Cannot open file <name>" when it cannot.
QByteArray ReadWholeFile(const QString& fileName);

// Splits text at CR LF, LF or CR. A last line without a line end still counts;
// an empty text has no lines.
QStringList SplitTextLines(const QByteArray& bytes);

// ReadWholeFile + SplitTextLines.
QStringList ReadTextLines(const QString& fileName);

// Streams lines to a file with constant memory however many are written;
// nothing replaces the old file until Commit().
class TextLineWriter {
public:
    explicit TextLineWriter(const QString& fileName);

    void WriteLine(const QString& line);
    void WriteLine(QByteArrayView line);
    void WriteLine(const QByteArray& line) { WriteLine(QByteArrayView(line)); }
    void Commit();

private:
    void Flush();

    FileReplacement file_;
    QByteArray buffer_;
};
