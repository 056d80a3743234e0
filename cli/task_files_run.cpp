#include "cli/task_files_run.h"

#include "cli/commands.h"
#include "cli/error_output.h"
#include "cli/progress_line.h"
#include "platform/stop_signals.h"
#include "run/series_run.h"
#include "run/task_run.h"
#include "task/task_size_estimate.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <optional>

namespace {
constexpr int kSignalWatchIntervalMs = 50;

// A list whose last save failed does not name the failed tiles.
QString FailedListNote(const MemberOutcome& outcome)
{
    if (outcome.Failed == 0)
        return QString();
    if (!outcome.FailedListProblem.isEmpty())
        return QStringLiteral(" (the list could not be saved in ") + outcome.FailedList + QStringLiteral(": ")
            + outcome.FailedListProblem + u')';
    return QStringLiteral(" (listed in ") + outcome.FailedList + u')';
}

QString MemberLine(const QString& projectFile, const MemberOutcome& outcome)
{
    return QStringLiteral("%1: %2 of %3 tiles done, %4 failed%5")
        .arg(projectFile, GroupedNumber(outcome.Finished), GroupedNumber(outcome.Total), GroupedNumber(outcome.Failed),
            FailedListNote(outcome));
}

// Runs what `begin` starts on the runner until the run has ended.
int RunOnTerminal(int memberCount, const std::function<void(SeriesRunner&)>& begin)
{
    InstallStopSignals();
    TaskRun run;
    run.SetStartStopRequest([] { return ReceivedStopSignal() != 0; });
    SeriesRunner series(run);
    ProgressLine progress(stderr);
    QElapsedTimer clock;
    clock.start();

    QEventLoop loop;
    std::optional<SeriesOutcome> end;
    QObject::connect(&series, &SeriesRunner::MemberBegins, [&](int index, int count, const TaskInputs& inputs) {
        if (count > 1)
            progress.Say(QStringLiteral("Task %1 of %2: %3 (zoom %4)")
                    .arg(index + 1)
                    .arg(count)
                    .arg(series.Member(index).ProjectFile)
                    .arg(inputs.Zoom));
    });
    QObject::connect(&series, &SeriesRunner::MemberStarted, [&] {
        progress.Begin(run.CurrentTask()->TotalCount, run.FinishedTiles(), clock.elapsed());
    });
    QObject::connect(&series, &SeriesRunner::Ticked, [&] { progress.Update(run.FinishedTiles(), clock.elapsed()); });
    QObject::connect(&series, &SeriesRunner::MemberEnded, [&](int index, const MemberOutcome& outcome) {
        if (!outcome.PassedOver) {
            progress.Update(outcome.Finished, clock.elapsed());
            progress.End();
        }
        progress.Say(MemberLine(series.Member(index).ProjectFile, outcome));
        // A signal that came while the task ended keeps the next from starting.
        if (ReceivedStopSignal())
            series.Stop();
    });
    QObject::connect(&series, &SeriesRunner::Refused, [](const QStringList& messages) {
        for (const QString& message : messages)
            PrintError(message);
    });
    QObject::connect(&series, &SeriesRunner::Problem, [](const QString& text) { PrintError(text); });
    QObject::connect(&series, &SeriesRunner::Ended, [&](const SeriesOutcome& outcome) {
        end = outcome;
        loop.quit();
    });
    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, [&] {
        if (ReceivedStopSignal())
            series.Stop();
    });

    if (ReceivedStopSignal())
        end = SeriesOutcome{};
    else
        begin(series);
    if (!end) {
        signalWatch.start(kSignalWatchIntervalMs);
        loop.exec();
    }
    if (end->Refused)
        return kExitRefused;
    if (memberCount > 1)
        progress.Say(QStringLiteral("All tasks: %1 tiles stored, %2 failed, %3 not fetched")
                .arg(GroupedNumber(end->Stored), GroupedNumber(end->Failed), GroupedNumber(end->NotFetched)));
    if (const int signal = ReceivedStopSignal())
        return 128 + signal;
    return end->Failed == 0 && end->NotFetched == 0 ? kExitAllStored : kExitTilesFailed;
}
}

int RunTasksInTurn(const QList<TaskInputs>& tasks)
{
    return RunOnTerminal(int(tasks.size()), [&](SeriesRunner& series) { series.RunInTurn(tasks); });
}

int RunNewTasks(const TaskInputs& inputs, int zoomTo, const LargeTaskConfirmation& confirm)
{
    const int memberCount = int(SeriesMemberInputs(inputs, zoomTo).size());
    return RunOnTerminal(memberCount, [&](SeriesRunner& series) { series.Start(inputs, zoomTo, confirm); });
}
