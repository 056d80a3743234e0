// How big a task is before it starts, and how far it has come while it runs:
// the right end of the status bar and Start's question before large tasks.
#include "app/main_window.h"
#include "task/stored_shape.h"
#include "task/start_inputs.h"
#include "app/task_progress_display.h"
#include "task/task_size_estimate.h"
#include "app/tile_size_survey.h"
#include "app/up_down_spinner.h"
#include "platform/message_box.h"
#include "task/start_check.h"
#include "task/configured_servers.h"

#include <QLineEdit>
#include <QComboBox>
#include <QRadioButton>
#include <QStatusBar>

void TForm1::CreateProgressDisplay()
{
    ProgressDisplay = new TaskProgressDisplay(StatusBar1);
    StatusBar1->addPermanentWidget(ProgressDisplay);
    TileSizes = new TileSizeSurvey(this);

    const auto refresh = [this] { RunGuarded([this] { RefreshEstimate(); }); };
    connect(Edit5, &QLineEdit::textChanged, this, [this] { RunGuarded([this] { FollowZoomLevel(); }); });
    connect(EditZoomTo, &QLineEdit::textChanged, this, [this] {
        if (UpDownZoomTo->Position() < Edit5->text().toInt())
            UpDownZoomTo->SetPosition(Edit5->text().toInt());
    });
    for (QLineEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit5, EditZoomTo, Edit6})
        connect(edit, &QLineEdit::textChanged, this, refresh);
    for (QRadioButton* item : MapTypeItems)
        connect(item, &QRadioButton::toggled, this, [refresh](bool checked) {
            if (checked)
                refresh();
        });
    connect(SourceItem, &QRadioButton::toggled, this, [refresh](bool checked) {
        if (checked)
            refresh();
    });
    connect(SourceList, &QComboBox::currentIndexChanged, this, refresh);
    // A sample that ends after a task has started leaves the progress alone.
    connect(TileSizes, &TileSizeSurvey::AverageFound, this, [this] {
        if (!ProgressDisplay->ShowsProgress())
            RunGuarded([this] { RefreshEstimate(); });
    });
}

TaskInputs TForm1::CurrentInputs() const
{
    TaskInputs inputs{Edit1->text(), Edit3->text(), Edit2->text(), Edit4->text(), Edit5->text().toInt(),
        MapTypeCodeForItem(MapTypeItemIndex()), Edit6->text(), EditTaskName->text(), {}, {}};
    inputs.Shape = ShapeNamedFor(shape_, inputs.TypedTaskName);
    if (SourceItem->isChecked()) {
        inputs.MapsType = kMapSourceType;
        inputs.Source = ChosenSource();
    }
    return inputs;
}

// Inputs edited while a task runs do not touch its progress; once it has
// ended, the first edit shows the estimate of the new inputs.
void TForm1::RefreshEstimate()
{
    if (TaskRunning())
        return;
    const TaskInputs inputs = CurrentInputs();
    ShowShape();
    TileSizes->Survey(inputs.TypedFolder, MapFilePrefix(inputs.MapsType, inputs.Source.get()),
        inputs.Source ? inputs.Source->Extension() : QStringLiteral("png"));
    const QList<CheckedInputs> members = ReadSeriesStart(inputs, UpDownZoomTo->Position());
    const auto count = SeriesTileCount(members, ReadTileServers());
    const double average = TileSizes->AverageTileBytes();
    ProgressDisplay->ShowEstimate(!count ? QString()
            : members.size() > 1         ? SeriesCountAndSizeText(*count, int(members.size()), average)
                                         : TileCountAndSizeText(*count, average));
}

void TForm1::BeginProgress()
{
    // The task adds tiles to the folder: the next estimate samples it again.
    TileSizes->Forget();
    progressClock_.start();
    ProgressDisplay->BeginTask(ProgressTotal(), ProgressFinished(), 0);
}

void TForm1::UpdateProgress()
{
    ProgressDisplay->UpdateTask(ProgressFinished(), progressClock_.elapsed());
}

qint64 TForm1::ProgressTotal() const
{
    return Series->TotalTiles();
}

qint64 TForm1::ProgressFinished() const
{
    return Series->FinishedTiles();
}
