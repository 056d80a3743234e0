// Open task and the menu commands.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/up_down_spinner.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "recovery/redownload_window.h"
#include "task/configured_servers.h"
#include "settings/options_dialog.h"
#include "task/start_inputs.h"
#include "task/stored_shape.h"
#include "task/zoom_series.h"
#include "tools/about_box.h"
#include "tools/converter_window.h"

#include <QFileInfo>
#include <QLineEdit>

namespace {
// An external tool installed beside the executable.
QString ToolBesideExecutable(const QString& name)
{
#ifdef Q_OS_WIN
    return ExecutableFolder() + name + QStringLiteral(".exe");
#else
    return ExecutableFolder() + name;
#endif
}
}

// Fills the inputs from a project file, so that Start continues its task.
// A running task, the panes and the button stay as they are.
void TForm1::LoadParametersfromprojectfilel1Click()
{
    if (const auto fileName = ChooseFileToOpen(
            this, QStringLiteral("Open project file:"), QStringLiteral("Projects(*.qtsk)|*.qtsk"), DefaultPath))
        OpenTaskFile(*fileName);
}

void TForm1::OpenTaskFile(const QString& fileName)
{
    const TaskInputs inputs = InputsOfStoredTask(fileName);
    UseShape(inputs.Shape);
    Edit1->setText(inputs.LeftLongitude);
    Edit3->setText(inputs.RightLongitude);
    Edit2->setText(inputs.TopLatitude);
    Edit4->setText(inputs.BottomLatitude);
    Edit6->setText(inputs.TypedFolder);
    EditTaskName->setText(inputs.TypedTaskName);
    if (inputs.Source)
        SelectSource(inputs.Source->Name);
    else
        SelectMapTypeItem(ItemForMapTypeCode(inputs.MapsType));
    UpDown1->SetPosition(inputs.Zoom);
    Edit5->setText(QString::number(inputs.Zoom));
    // A member of a zoom series: the series' name and its highest zoom, so
    // that Start continues the series from this member on.
    const QList<SeriesTask> series = FindSeriesBeside(fileName);
    const auto member = ParseSeriesProjectFileName(fileName);
    if (series.size() > 1 && member) {
        EditTaskName->setText(QFileInfo(member->BaseProjectFile).fileName());
        UpDownZoomTo->SetPosition(series.last().Zoom);
    }
}

void TForm1::Exit1Click()
{
    close();
}

void TForm1::Options2Click()
{
    frmOptions->exec();
}

void TForm1::ConvertLongitudeorLatitudetodegreen1Click()
{
    frmConvert->show();
}

void TForm1::Viewlogfile1Click()
{
    const MDTask* CurrentTask = Run->CurrentTask();
    if (!CurrentTask) {
        ShowMessage(QStringLiteral("No task running now.") + QString(18, u' '));
        return;
    }
    if (QFileInfo::exists(CurrentTask->LogFileName)) {
        ShellOpen(CurrentTask->LogFileName);
        return;
    }
    ShowMessage(QStringLiteral("No logfile now.") + QString(25, u' '));
}

// The tools open the current task's project file, so the viewer shows and
// the combiner joins what was just downloaded.
QStringList TForm1::CurrentProjectArgument() const
{
    if (!Run->CurrentTask())
        return {};
    return {Run->CurrentParameters()->Path + Run->CurrentParameters()->TaskName};
}

void TForm1::Mapviewer1Click()
{
    StartTool(QStringLiteral("orvane"));
}

void TForm1::CombineImages1Click()
{
    StartTool(QStringLiteral("quiltry"));
}

// A tool missing from beside the executable (a partial copy, a broken
// package) is named, so the user knows what to put back.
void TForm1::StartTool(const QString& name)
{
    const QString program = ToolBesideExecutable(name);
    if (!ShellOpen(program, CurrentProjectArgument()))
        ShowMessage(QStringLiteral("Cannot start ") + program + QStringLiteral(": it is missing or cannot be run."));
}

void TForm1::ReDownloadfailedfiles1Click()
{
    frmFlt->SetTileServers(ReadTileServers());
    frmFlt->exec();
}

void TForm1::Usermanual1Click()
{
    ShellOpen(HelpFileName);
}

void TForm1::Homepage1Click()
{
    ShellOpen(HomePageAddress);
}

void TForm1::About1Click()
{
    frmAbout->exec();
}
