// How big a task is before it starts, and how far it has come while it runs:
// the right end of the status bar and Start's question before large tasks.
#include "app/main_window.h"
#include "task/start_inputs.h"
#include "app/task_progress_display.h"
#include "task/task_size_estimate.h"
#include "app/tile_size_survey.h"
#include "platform/message_box.h"
#include "settings/config_file.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>

void TForm1::CreateProgressDisplay()
{
    ProgressDisplay = new TaskProgressDisplay(StatusBar1);
    StatusBar1->addPermanentWidget(ProgressDisplay);
    TileSizes = new TileSizeSurvey(this);

    const auto refresh = [this] { RunGuarded([this] { RefreshEstimate(); }); };
    for (QLineEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6})
        connect(edit, &QLineEdit::textChanged, this, refresh);
    for (QRadioButton* item : MapTypeItems)
        connect(item, &QRadioButton::toggled, this, [refresh](bool checked) {
            if (checked)
                refresh();
        });
    // A sample that ends after a task has started leaves the progress alone.
    connect(TileSizes, &TileSizeSurvey::AverageFound, this, [this] {
        if (!ProgressDisplay->ShowsProgress())
            RunGuarded([this] { RefreshEstimate(); });
    });
}

TaskInputs TForm1::CurrentInputs() const
{
    return {Edit1->text(), Edit3->text(), Edit2->text(), Edit4->text(), Edit5->text().toInt(),
        MapTypeCodeForItem(MapTypeItemIndex()), Edit6->text(), EditTaskName->text()};
}

// Inputs edited while a task runs do not touch its progress; once it has
// ended, the first edit shows the estimate of the new inputs.
void TForm1::RefreshEstimate()
{
    if (TaskRunning())
        return;
    const TaskInputs inputs = CurrentInputs();
    TileSizes->Survey(inputs.TypedFolder, MapTypeFilePrefix(inputs.MapsType));
    const auto count = AcceptedTileCount(inputs, ReadTileServers());
    ProgressDisplay->ShowEstimate(count ? TileCountAndSizeText(*count, TileSizes->AverageTileBytes()) : QString());
}

void TForm1::BeginProgress()
{
    // The task adds tiles to the folder: the next estimate samples it again.
    TileSizes->Forget();
    progressClock_.start();
    ProgressDisplay->BeginTask(Run->CurrentTask->TotalCount, Run->FinishedTiles(), 0);
}

void TForm1::UpdateProgress()
{
    // A tick run inside a save error's message box may have ended the task.
    if (!TaskRunning())
        return;
    ProgressDisplay->UpdateTask(Run->FinishedTiles(), progressClock_.elapsed());
}
