// Start and Stop of a download task, and its end as the window shows it.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/task_progress_display.h"
#include "app/tile_size_survey.h"
#include "app/up_down_spinner.h"
#include "platform/message_box.h"
#include "platform/text_files.h"
#include "run/refresh_start.h"
#include "run/series_run.h"
#include "task/configured_servers.h"
#include "task/task_size_estimate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void TForm1::CreateRun()
{
    Run = new TaskRun(this);
    Series = new SeriesRunner(*Run, this);
    connect(Run, &TaskRun::LogLines, Memo1, &LogPane::AppendLines);
    connect(Run, &TaskRun::FailedLines, Memo2, &LogPane::AppendLines);
    connect(Series, &SeriesRunner::MemberStarted, this, [this](int index, int count, const TaskInputs& member) {
        RunGuarded([&] { ShowMemberStarted(index, count, member); });
    });
    connect(Series, &SeriesRunner::Ticked, this, [this] { RunGuarded([this] { UpdateProgress(); }); });
    // What the run reports never holds it up: the boxes do not wait for OK.
    connect(Series, &SeriesRunner::Refused, this, [](const QStringList& messages) {
        for (const QString& message : messages)
            ShowMessageWithoutWaiting(MessageKind::Plain, message);
    });
    connect(Series, &SeriesRunner::Problem, this,
        [](const QString& text) { ShowMessageWithoutWaiting(MessageKind::Exception, text); });
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
// The runner makes the checks; the window only asks its question.
void TForm1::StartTask()
{
    Series->SetRefresh(std::nullopt);
    TaskInputs inputs = CurrentInputs();
    if (!AcceptChangedTemplates(inputs, UpDownZoomTo->Position()))
        return;
    Series->Start(inputs, UpDownZoomTo->Position(), [this](qint64 tileCount, int zoom) {
        return AskYesNo(LargeTaskQuestion(tileCount, TileSizes->AverageTileBytes(), zoom));
    });
}

// Asks nothing: the task was accepted when it was downloaded.
void TForm1::RefreshTiles1Click()
{
    if (TaskRunning())
        return;
    RefreshSelection selection;
    selection.Now = QDateTime::currentSecsSinceEpoch();
    Series->SetRefresh(selection);
    Series->Start(CurrentInputs(), UpDownZoomTo->Position(), [](qint64, int) { return true; });
}

// The panes show the task's files as Start left them, then what the run adds.
void TForm1::ShowMemberStarted(int index, int count, const TaskInputs& member)
{
    const MDTask& task = *Run->CurrentTask();
    Memo1->SetLines(ReadTextLines(task.LogFileName));
    Memo2->SetLines(ReadTextLines(task.FailedFileName));
    QString stage;
    if (count > 1) {
        stage = QStringLiteral("zoom %1 (%2 of %3)").arg(member.Zoom).arg(index + 1).arg(count);
        Run->AppendLog({QStringLiteral("Zoom level %1 begins: ").arg(member.Zoom) + member.TypedTaskName
            + QStringLiteral(" (%1 of %2)").arg(index + 1).arg(count)});
    }
    LabelTotalxy->setText(QStringLiteral("Total images: ") + QString::number(task.TotalCount));
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
    if (outcome.Refresh) {
        ShowMessageWithoutWaiting(MessageKind::Plain, RefreshEndLine(*outcome.Refresh, outcome.Failed));
        return;
    }
    if (outcome.MemberCount == 1) {
        ShowMessageWithoutWaiting(MessageKind::Plain, QStringLiteral("Task stoped!") + QString(20, u' '));
        return;
    }
    const QStringList reasons = FailureReasonLines(outcome.FailureReasons);
    ShowMessageWithoutWaiting(MessageKind::Plain, (outcome.Stopped ? QStringLiteral("Zoom series stopped: ") : QStringLiteral("Zoom series ended: "))
        + QStringLiteral("%1 tiles stored, %2 blank, %3 failed in %4 of %5 zoom levels.")
              .arg(GroupedNumber(outcome.Stored), GroupedNumber(outcome.Blank), GroupedNumber(outcome.Failed))
              .arg(outcome.MembersRun)
              .arg(outcome.MemberCount)
        + (reasons.isEmpty() ? QString() : u'\n' + reasons.join(u'\n')));
}
