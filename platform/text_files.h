#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>

// Task files and lists are text in the local 8-bit encoding with CR LF after
// every line, the last one included. Every write replaces its file atomically
// (temporary file beside it, then rename), so a crash, a kill or a full disk
// leaves the old file whole.

// Raises AppError "Cannot create file <name>" when the file cannot be written.
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

    QSaveFile file_;
    QByteArray buffer_;
};
