#pragma once

#include <QString>
#include <QStringList>

class MDTask;

// Where a running task's log and failed-tile lines go: the main window's two
// panes, or files that grow as the lines come for the command line. Either
// way the files end up holding the same lines with CR LF after each.
class RunPanes {
public:
    virtual ~RunPanes() = default;

    // At Start, after the task's files are written: the lines so far.
    virtual void BeginTask(const MDTask& task) = 0;
    virtual void AppendLog(const QStringList& lines) = 0;
    virtual void AppendFailed(const QStringList& lines) = 0;
    // Bring the file up to date with every line appended so far. Raise
    // FileWriteError (or AppError) when the file cannot be written; a later
    // save tries again.
    virtual void SaveLog(const QString& fileName) = 0;
    virtual void SaveFailed(const QString& fileName) = 0;
};
