#include "cli/task_files_run.h"

#include "cli/commands.h"
#include "cli/error_output.h"
#include "cli/progress_line.h"
#include "cli/shell_quote.h"
#include "platform/stop_signals.h"
#include "run/refresh_start.h"
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

// The member's counts (a refresh's own line for a refresh), then its
// failures by reason, each on a line of its own.
QStringList MemberLines(const QString& projectFile, const MemberOutcome& outcome)
{
    QStringList lines{outcome.Refresh
            ? projectFile + QStringLiteral(": ") + RefreshEndLine(*outcome.Refresh, outcome.Failed)
                + FailedListNote(outcome)
            : QStringLiteral("%1: %2 of %3 tiles done: %4 stored, %5 blank, %6 failed%7")
                  .arg(projectFile, GroupedNumber(outcome.Finished), GroupedNumber(outcome.Total),
                      GroupedNumber(outcome.Stored()), GroupedNumber(outcome.Blank), GroupedNumber(outcome.Failed),
                      FailedListNote(outcome))};
    for (const QString& reason : FailureReasonLines(outcome.FailureReasons))
        lines << QStringLiteral("  ") + reason;
    return lines;
}

// How to go on after a stop: the same run again, on the members' files.
QString ContinueLine(const SeriesRunner& series, const QString& command)
{
    QStringList files;
    for (int i = 0; i < series.MemberCount(); ++i)
        files << ShellQuoted(series.Member(i).ProjectFile);
    return QStringLiteral("Stopped. Run `tessaly ") + command + u' ' + files.join(u' ')
        + QStringLiteral("` again to continue.");
}

// Runs what `begin` starts on the runner until the run has ended.
int RunOnTerminal(int memberCount, const std::function<void(SeriesRunner&)>& begin,
    const std::optional<RefreshSelection>& refresh = std::nullopt)
{
    InstallStopSignals();
    TaskRun run;
    run.SetStartStopRequest([] { return ReceivedStopSignal() != 0; });
    SeriesRunner series(run);
    series.SetRefresh(refresh);
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
        for (const QString& line : MemberLines(series.Member(index).ProjectFile, outcome))
            progress.Say(line);
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
    if (memberCount > 1 && end->Refresh) {
        progress.Say(QStringLiteral("All tasks: ") + RefreshEndLine(*end->Refresh, end->Failed));
    } else if (memberCount > 1) {
        progress.Say(QStringLiteral("All tasks: %1 tiles stored, %2 blank, %3 failed, %4 not fetched")
                .arg(GroupedNumber(end->Stored), GroupedNumber(end->Blank), GroupedNumber(end->Failed),
                    GroupedNumber(end->NotFetched)));
        for (const QString& reason : FailureReasonLines(end->FailureReasons))
            progress.Say(QStringLiteral("  ") + reason);
    }
    if (const int signal = ReceivedStopSignal()) {
        if (series.MemberCount() > 0)
            progress.Say(ContinueLine(series, refresh ? QStringLiteral("refresh") : QStringLiteral("run")));
        return 128 + signal;
    }
    return end->Failed == 0 && end->NotFetched == 0 ? kExitAllStored : kExitTilesFailed;
}
}

int RunTasksInTurn(const QList<TaskInputs>& tasks)
{
    return RunOnTerminal(int(tasks.size()), [&](SeriesRunner& series) { series.RunInTurn(tasks); });
}

int RefreshTasksInTurn(const QList<TaskInputs>& tasks, const RefreshSelection& selection)
{
    return RunOnTerminal(int(tasks.size()), [&](SeriesRunner& series) { series.RunInTurn(tasks); }, selection);
}

int RunNewTasks(const TaskInputs& inputs, int zoomTo, const LargeTaskConfirmation& confirm)
{
    const int memberCount = int(SeriesMemberInputs(inputs, zoomTo).size());
    return RunOnTerminal(memberCount, [&](SeriesRunner& series) { series.Start(inputs, zoomTo, confirm); });
}
