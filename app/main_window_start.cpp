// Start and Stop of a download task, and its end as the window shows it.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/task_progress_display.h"
#include "app/tile_size_survey.h"
#include "app/up_down_spinner.h"
#include "platform/message_box.h"
#include "platform/text_files.h"
#include "run/run_panes.h"
#include "run/series_run.h"
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
    Series = new SeriesRunner(*Run, this);
    Series->SetErrorHandler([] { ShowCurrentException(); });
    connect(Series, &SeriesRunner::MemberStarted, this, [this](int index, int count, const TaskInputs& member) {
        RunGuarded([&] { MemberStarted(index, count, member); });
    });
    connect(Series, &SeriesRunner::Ticked, this, [this] { RunGuarded([this] { UpdateProgress(); }); });
    connect(Series, &SeriesRunner::Refused, this, [](const QStringList& messages) {
        RunGuarded([&] {
            for (const QString& message : messages)
                ShowMessage(message);
        });
    });
    connect(Series, &SeriesRunner::Ended, this, [this](const SeriesOutcome& outcome) {
        RunGuarded([&] { RunEnded(outcome); });
    });
}

void TForm1::BitBtn1Click()
{
    if (BitBtn1->text() == QStringLiteral("Start")) {
        StartTask();
        return;
    }
    Series->Stop();
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
        Series->Start(members, [](qint64) { return true; });
        return;
    }
    Series->Start(members, [this, zoom = inputs.Zoom](qint64 tileCount) {
        return AskYesNo(LargeTaskQuestion(tileCount, TileSizes->AverageTileBytes(), zoom));
    });
}

// Start's checks before anything is written, over the whole series: the
// tile usage policy and the large-task question count every zoom level.
bool TForm1::CheckSeries(const QList<TaskInputs>& members)
{
    const SeriesPrecheck check = CheckSeriesStart(members, ReadTileServers());
    if (check.Refusal) {
        ShowMessage(*check.Refusal);
        return false;
    }
    return !check.AskAboutTiles
        || AskYesNo(LargeTaskQuestion(*check.AskAboutTiles, TileSizes->AverageTileBytes(), members.last().Zoom));
}

void TForm1::MemberStarted(int index, int count, const TaskInputs& member)
{
    QString stage;
    if (count > 1) {
        stage = QStringLiteral("zoom %1 (%2 of %3)").arg(member.Zoom).arg(index + 1).arg(count);
        Memo1->AppendLine(QStringLiteral("Zoom level %1 begins: ").arg(member.Zoom) + member.TypedTaskName
            + QStringLiteral(" (%1 of %2)").arg(index + 1).arg(count));
    }
    LabelTotalxy->setText(QStringLiteral("Total images: ") + QString::number(Run->CurrentTask->TotalCount));
    BitBtn1->setText(QStringLiteral("Stop"));
    ProgressDisplay->SetStage(stage);
    if (Series->MembersStarted() == 1)
        BeginProgress();
    else
        UpdateProgress();
}

// A run refused before its first task started leaves the window as it was;
// closing ends it without a message.
void TForm1::RunEnded(const SeriesOutcome& outcome)
{
    if (outcome.MembersRun == 0)
        return;
    BitBtn1->setText(QStringLiteral("Start"));
    if (!outcome.Announced)
        return;
    if (outcome.MemberCount == 1) {
        ShowMessage(QStringLiteral("Task stoped!") + QString(20, u' '));
        return;
    }
    ShowMessage((outcome.Stopped ? QStringLiteral("Zoom series stopped: ") : QStringLiteral("Zoom series ended: "))
        + QStringLiteral("%1 tiles stored, %2 failed in %3 of %4 zoom levels.")
              .arg(GroupedNumber(outcome.Stored), GroupedNumber(outcome.Failed))
              .arg(outcome.MembersRun)
              .arg(outcome.MemberCount));
}
