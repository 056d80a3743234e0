#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The one writer of a running task's log, failed list and validator file, for the window
// and the command line alike: lines wait in memory only until the next
// save, which appends them to the file with CR LF after each and brings
// them onto the disk, so memory does not grow with the task and a kill
// after a save loses none of them. The files are the ones Start wrote.
class GrowingTaskFiles final {
public:
    // At Start, after the task's files are written: nothing is pending.
    void BeginTask();
    void AppendLog(const QStringList& lines) { Add(log_, lines); }
    void AppendFailed(const QStringList& lines) { Add(failed_, lines); }
    // Lines of the validator file (each ended by CR LF), of tiles already on disk.
    void AppendValidators(const QByteArray& records);
    // Bring the file up to date with every line appended so far. Raise
    // FileWriteError when the file cannot be written; a later save tries
    // again with the lines still pending.
    void SaveLog(const QString& fileName) { Save(log_, fileName); }
    void SaveFailed(const QString& fileName) { Save(failed_, fileName); }
    void SaveValidators(const QString& fileName) { Save(validators_, fileName); }

private:
    static void Add(QByteArray& pending, const QStringList& lines);
    // Appends `pending` to the file and empties it; a file the disk refused
    // part of is cut back, so that the next save does not double lines.
    static void Save(QByteArray& pending, const QString& fileName);

    QByteArray log_;
    QByteArray failed_;
    QByteArray validators_;
};
