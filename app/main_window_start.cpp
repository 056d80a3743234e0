// Start and Stop of a download task, and its end as the window shows it.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/task_progress_display.h"
#include "app/tile_size_survey.h"
#include "app/up_down_spinner.h"
#include "platform/message_box.h"
#include "platform/text_files.h"
#include "run/run_panes.h"
#include "run/task_series.h"
#include "run/task_start.h"
#include "settings/config_file.h"
#include "task/task_size_estimate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
// The window's panes: Memo1 holds the log, Memo2 the failed list, each
// whole, and saves itself into its file.
class WindowPanes final : public RunPanes {
public:
    WindowPanes(LogPane& log, LogPane& failed) : log_(log), failed_(failed) {}

    void BeginTask(const MDTask& task) override
    {
        log_.SetLines(ReadTextLines(task.LogFileName));
        failed_.SetLines(ReadTextLines(task.FailedFileName));
    }
    void AppendLog(const QStringList& lines) override { log_.AppendLines(lines); }
    void AppendFailed(const QStringList& lines) override { failed_.AppendLines(lines); }
    void SaveLog(const QString& fileName) override { log_.SaveToFile(fileName); }
    void SaveFailed(const QString& fileName) override { failed_.SaveToFile(fileName); }

private:
    LogPane& log_;
    LogPane& failed_;
};
}

void TForm1::CreateRun()
{
    panes_ = std::make_unique<WindowPanes>(*Memo1, *Memo2);
    Run = new TaskRun(*panes_, this);
    Run->SetErrorHandler([] { ShowCurrentException(); });
    connect(Run, &TaskRun::Ticked, this, [this] { RunGuarded([this] { UpdateProgress(); }); });
    connect(Run, &TaskRun::Ended, this, [this](bool announce) { RunGuarded([this, announce] { TaskEnded(announce); }); });
}

void TForm1::BitBtn1Click()
{
    if (BitBtn1->text() == QStringLiteral("Start")) {
        StartTask();
        return;
    }
    if (series_)
        series_->Stopped = true;
    Run->Stop();
}

// "to" follows the zoom level while it equals it or is below it, and is
// never below it.
void TForm1::FollowZoomLevel()
{
    const int zoom = Edit5->text().toInt();
    if (UpDownZoomTo->Position() <= zoomFollowed_ || UpDownZoomTo->Position() < zoom)
        UpDownZoomTo->SetPosition(zoom);
    zoomFollowed_ = zoom;
}

// Every check that fails shows its message and ends the start with nothing
// changed; the task's files and the workers come only after all of them.
// A zoom series is checked once as a whole, then its members start one
// after another, each as a single task would.
void TForm1::StartTask()
{
    const TaskInputs inputs = CurrentInputs();
    const QList<TaskInputs> members = SeriesMemberInputs(inputs, UpDownZoomTo->Position());
    if (members.size() > 1) {
        if (!CheckSeries(members))
            return;
        series_ = SeriesRun{members};
        series_->Total = SeriesTileCount(members, ReadTileServers()).value_or(0);
        StartMember();
        return;
    }
    series_.reset();
    auto prepared = PrepareTask(inputs, ReadProxySettings(), ReadTileServers(), [&](qint64 tileCount) {
        return AskYesNo(LargeTaskQuestion(tileCount, TileSizes->AverageTileBytes(), inputs.Zoom));
    });
    if (const auto* refusal = std::get_if<StartRefusal>(&prepared)) {
        for (const QString& message : refusal->Messages)
            ShowMessage(message);
        return;
    }
    Run->Start(std::move(std::get<PreparedTask>(prepared)));
    LabelTotalxy->setText(QStringLiteral("Total images: ") + QString::number(Run->CurrentTask->TotalCount));
    BitBtn1->setText(QStringLiteral("Stop"));
    ProgressDisplay->SetStage(QString());
    BeginProgress();
}

// Start's checks before anything is written, over the whole series: the
// tile usage policy and the large-task question count every zoom level.
bool TForm1::CheckSeries(const QList<TaskInputs>& members)
{
    const TaskInputs& first = members.first();
    const TileServers servers = ReadTileServers();
    if (first.TypedFolder.isEmpty()) {
        ShowMessage(QStringLiteral("Please select a path to save the images."));
        return false;
    }
    const auto area = ReadCheckedArea(first);
    if (const auto* problem = std::get_if<QString>(&area)) {
        ShowMessage(*problem);
        return false;
    }
    if (const auto refusal = SeriesRefusal(members, servers)) {
        ShowMessage(*refusal);
        return false;
    }
    const auto count = SeriesTileCount(members, servers);
    bool allContinue = true;
    for (const TaskInputs& member : members)
        allContinue = allContinue && ContinuesProject(ProjectFilePathFor(member), member);
    const int highestZoom = members.last().Zoom;
    if (count && StartAsksFirst(*count, highestZoom) && !allContinue
        && !AskYesNo(LargeTaskQuestion(*count, TileSizes->AverageTileBytes(), highestZoom)))
        return false;
    return true;
}

// Starts the series' next member; false when it was refused (its messages
// shown) or none is left.
bool TForm1::StartMember()
{
    SeriesRun& run = *series_;
    if (run.Next >= run.Members.size())
        return false;
    const TaskInputs& member = run.Members[run.Next];
    auto prepared = PrepareTask(member, ReadProxySettings(), ReadTileServers(), [](qint64) { return true; });
    if (const auto* refusal = std::get_if<StartRefusal>(&prepared)) {
        for (const QString& message : refusal->Messages)
            ShowMessage(message);
        return false;
    }
    ++run.Next;
    Run->Start(std::move(std::get<PreparedTask>(prepared)));
    run.Totals << Run->CurrentTask->TotalCount;
    run.FailedLinesAtStart = Memo2->LineCount();
    const QString stage = QStringLiteral("zoom %1 (%2 of %3)").arg(member.Zoom).arg(run.Next).arg(run.Members.size());
    Memo1->AppendLine(QStringLiteral("Zoom level %1 begins: ").arg(member.Zoom) + member.TypedTaskName
        + QStringLiteral(" (%1 of %2)").arg(run.Next).arg(run.Members.size()));
    LabelTotalxy->setText(QStringLiteral("Total images: ") + QString::number(Run->CurrentTask->TotalCount));
    BitBtn1->setText(QStringLiteral("Stop"));
    ProgressDisplay->SetStage(stage);
    if (run.Next == 1)
        BeginProgress();
    else
        UpdateProgress();
    return true;
}

void TForm1::TaskEnded(bool announce)
{
    if (series_) {
        SeriesRun& run = *series_;
        const qint64 failed = Memo2->LineCount() - run.FailedLinesAtStart;
        run.Failed += failed;
        run.Stored += Run->FinishedAtEnd - failed;
        run.FinishedBefore += run.Totals.last();
        // The next member starts without a message box in between.
        if (announce && !run.Stopped && StartMember())
            return;
        BitBtn1->setText(QStringLiteral("Start"));
        if (announce)
            SeriesEnded();
        return;
    }
    BitBtn1->setText(QStringLiteral("Start"));
    if (announce)
        ShowMessage(QStringLiteral("Task stoped!") + QString(20, u' '));
}

void TForm1::SeriesEnded()
{
    const SeriesRun run = *series_;
    ShowMessage((run.Stopped ? QStringLiteral("Zoom series stopped: ") : QStringLiteral("Zoom series ended: "))
        + QStringLiteral("%1 tiles stored, %2 failed in %3 of %4 zoom levels.")
              .arg(GroupedNumber(run.Stored), GroupedNumber(run.Failed))
              .arg(run.Totals.size())
              .arg(run.Members.size()));
}
