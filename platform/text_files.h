#pragma once

#include "platform/app_error.h"
#include "platform/file_replacement.h"

#include <QByteArray>
#include <QFile>
#include <QFileDevice>
#include <QString>
#include <QStringList>
#include <optional>

// Task files and lists are text in the local 8-bit encoding with CR LF after
// every line, the last one included. Every write replaces its file atomically:
// the new content goes to a temporary file beside it, every write and the
// flush to disk are checked, and only content that reached the disk whole is
// renamed over the old file (FileReplacement). Nothing is ever written
// through a symbolic link: a link at the file's name is replaced, not
// followed, so a folder others may write in cannot lead the write into
// another file.

// Writes all of `bytes` to an open file. False when the disk refuses part of
// them; the file's errorString() then gives the reason.
bool WriteAll(QFileDevice& file, QByteArrayView bytes);

// Opens `file` (by its name) to append to it, unbuffered, creating it when
// missing; a symbolic link at the name is never followed, and a pipe or
// device is refused at once, never waited on. Raises FileWriteError when it
// cannot be opened or is not a regular file.
void OpenForAppend(QFile& file);
// Brings what was written to an open file onto the disk. Raises
// FileWriteError when the system refuses.
void SyncToDisk(QFile& file);

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

// One line of a text file read as a stream; a line longer than the reader's
// cap holds only its first bytes and is marked.
struct TextLine {
    QString Text;
    bool TooLong = false;
};

// Reads a text file a line at a time (CR LF, LF or CR) with memory bounded
// by the cap on one line, whatever the file holds. Raises AppError "Cannot
// open file <name>" when the file cannot be opened or read, or is not a
// regular file (a pipe or device is refused at once, never waited on).
class TextLineReader {
public:
    TextLineReader(const QString& fileName, qsizetype maxLineBytes);

    // The next line; nothing at the end of the file.
    std::optional<TextLine> Next();

private:
    bool Fill();

    QFile file_;
    qsizetype maxLineBytes_;
    QByteArray buffer_;
    qsizetype start_ = 0;
    bool afterCr_ = false;  // a LF right after it ends no line of its own
};

// Streams lines to a file with constant memory however many are written;
// nothing replaces the old file until Commit().
class TextLineWriter {
public:
    explicit TextLineWriter(const QString& fileName);
    // The lines go to the temporary file `temporaryFileName` beside it,
    // a fixed name that the next writer finds and removes when a kill left
    // it behind (see FileReplacement).
    TextLineWriter(const QString& fileName, const QString& temporaryFileName);

    void WriteLine(const QString& line);
    void WriteLine(QByteArrayView line);
    void WriteLine(const QByteArray& line) { WriteLine(QByteArrayView(line)); }
    void Commit();

private:
    void Flush();

    FileReplacement file_;
    QByteArray buffer_;
};
