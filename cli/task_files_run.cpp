#include "cli/task_files_run.h"

#include "cli/commands.h"
#include "cli/error_output.h"
#include "cli/progress_line.h"
#include "cli/stop_signals.h"
#include "run/growing_task_files.h"
#include "platform/app_error.h"
#include "platform/text_files.h"
#include "run/task_run.h"
#include "settings/config_file.h"
#include "task/task_size_estimate.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

namespace {
constexpr int kSignalWatchIntervalMs = 50;

// Records of a failed-tile list, read as a stream.
qint64 CountLines(const QString& fileName)
{
    constexpr qsizetype kRecordCap = 1 << 16;  // a longer line still counts once
    qint64 lines = 0;
    try {
        TextLineReader reader(fileName, kRecordCap);
        while (const auto line = reader.Next())
            lines += line->Text.isEmpty() ? 0 : 1;
    } catch (const AppError&) {
        // An unreadable list counts what was read of it.
    }
    return lines;
}

struct TaskOutcome {
    bool Ran = false;
    qint64 Total = 0;
    qint64 Finished = 0;
    qint64 Failed = 0;
};

TaskOutcome RunOne(TaskRun& run, const TaskInputs& inputs, ProgressLine& progress, QElapsedTimer& clock)
{
    auto prepared = PrepareTask(inputs, ReadProxySettings(), ReadTileServers(), [](qint64) { return true; });
    if (const auto* refusal = std::get_if<StartRefusal>(&prepared)) {
        for (const QString& message : refusal->Messages)
            PrintError(message);
        return {};
    }
    try {
        run.Start(std::move(std::get<PreparedTask>(prepared)));
    } catch (...) {
        PrintCurrentException();
        return {};
    }
    const qint64 total = run.CurrentTask->TotalCount;
    progress.Begin(total, run.FinishedTiles(), clock.elapsed());

    QEventLoop loop;
    QObject::connect(&run, &TaskRun::Ticked, &loop, [&] { progress.Update(run.FinishedTiles(), clock.elapsed()); });
    QObject::connect(&run, &TaskRun::Ended, &loop, &QEventLoop::quit);
    QTimer signalWatch;
    bool stopAsked = false;
    QObject::connect(&signalWatch, &QTimer::timeout, &loop, [&] {
        if (ReceivedStopSignal() && !stopAsked) {
            stopAsked = true;
            run.Stop();
        }
    });
    signalWatch.start(kSignalWatchIntervalMs);
    loop.exec();
    progress.Update(run.FinishedAtEnd, clock.elapsed());
    progress.End();
    return {true, total, run.FinishedAtEnd, CountLines(run.CurrentTask->FailedFileName)};
}
}

int RunTasksInTurn(const QList<TaskInputs>& tasks)
{
    InstallStopSignals();
    GrowingTaskFiles files;
    TaskRun run(files);
    run.SetErrorHandler([] { PrintCurrentException(); });
    ProgressLine progress(stderr);
    QElapsedTimer clock;
    clock.start();

    bool allStored = true;
    qint64 stored = 0, failed = 0, left = 0;
    for (qsizetype i = 0; i < tasks.size(); ++i) {
        if (ReceivedStopSignal())
            break;
        const TaskInputs& inputs = tasks[i];
        if (tasks.size() > 1)
            progress.Say(QStringLiteral("Task %1 of %2: %3 (zoom %4)")
                    .arg(i + 1)
                    .arg(tasks.size())
                    .arg(ProjectFilePathFor(inputs))
                    .arg(inputs.Zoom));
        const TaskOutcome outcome = RunOne(run, inputs, progress, clock);
        if (!outcome.Ran)
            return kExitRefused;
        const qint64 notFetched = outcome.Total - outcome.Finished;
        stored += outcome.Finished - outcome.Failed;
        failed += outcome.Failed;
        left += notFetched;
        if (outcome.Failed > 0 || notFetched > 0)
            allStored = false;
        progress.Say(QStringLiteral("%1: %2 of %3 tiles done, %4 failed%5")
                .arg(ProjectFilePathFor(inputs), GroupedNumber(outcome.Finished), GroupedNumber(outcome.Total),
                    GroupedNumber(outcome.Failed),
                    outcome.Failed > 0 ? QStringLiteral(" (listed in ") + run.CurrentTask->FailedFileName + u')'
                                       : QString()));
    }
    if (tasks.size() > 1)
        progress.Say(QStringLiteral("All tasks: %1 tiles stored, %2 failed, %3 not fetched")
                .arg(GroupedNumber(stored), GroupedNumber(failed), GroupedNumber(left)));
    if (const int signal = ReceivedStopSignal())
        return 128 + signal;
    return allStored ? kExitAllStored : kExitTilesFailed;
}
