// Start and Stop of a download task, and its end as the window shows it.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/tile_size_survey.h"
#include "platform/message_box.h"
#include "platform/text_files.h"
#include "run/run_panes.h"
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
    if (BitBtn1->text() == QStringLiteral("Start"))
        StartTask();
    else
        Run->Stop();
}

// Every check that fails shows its message and ends the start with nothing
// changed; the task's files and the workers come only after all of them.
void TForm1::StartTask()
{
    const TaskInputs inputs = CurrentInputs();
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
    BeginProgress();
}

void TForm1::TaskEnded(bool announce)
{
    BitBtn1->setText(QStringLiteral("Start"));
    if (announce)
        ShowMessage(QStringLiteral("Task stoped!") + QString(20, u' '));
}
