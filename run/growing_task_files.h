#pragma once

#include "run/run_panes.h"

#include <QByteArray>

// The log and failed list of a run without a window: lines wait in memory
// only until the next save, which appends them to the file and flushes it,
// so memory does not grow with the task. The files are the ones Start
// wrote; they end up as the window's panes would have saved them.
class GrowingTaskFiles final : public RunPanes {
public:
    void BeginTask(const MDTask& task) override;
    void AppendLog(const QStringList& lines) override { Add(log_, lines); }
    void AppendFailed(const QStringList& lines) override { Add(failed_, lines); }
    void SaveLog(const QString& fileName) override { Save(log_, fileName); }
    void SaveFailed(const QString& fileName) override { Save(failed_, fileName); }

private:
    static void Add(QByteArray& pending, const QStringList& lines);
    // Appends `pending` to the file and empties it; a file the disk refused
    // part of is cut back, so that the next save does not double lines.
    static void Save(QByteArray& pending, const QString& fileName);

    QByteArray log_;
    QByteArray failed_;
};
