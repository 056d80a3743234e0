// Open task and the menu commands.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/up_down_spinner.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "recovery/redownload_window.h"
#include "settings/config_file.h"
#include "settings/ini_file.h"
#include "settings/options_dialog.h"
#include "tools/about_box.h"
#include "tools/converter_window.h"

#include <QDir>
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
    const auto fileName = ChooseFileToOpen(
        this, QStringLiteral("Open project file:"), QStringLiteral("Projects(*.qtsk)|*.qtsk"), DefaultPath);
    if (!fileName)
        return;
    const TIniFile project(*fileName);
    const QString area = QStringLiteral("AREA");
    Edit1->setText(project.ReadString(area, QStringLiteral("LeftLongitude"), QString()));
    Edit3->setText(project.ReadString(area, QStringLiteral("RightLongitude"), QString()));
    Edit2->setText(project.ReadString(area, QStringLiteral("TopLatitude"), QString()));
    Edit4->setText(project.ReadString(area, QStringLiteral("BottomLatitude"), QString()));
    const QFileInfo file(*fileName);
    Edit6->setText(WithTrailingSeparator(QDir::toNativeSeparators(file.absolutePath())));
    EditTaskName->setText(file.fileName());
    SelectMapTypeItem(ItemForMapTypeCode(project.ReadInteger(QStringLiteral("MapsType"), QStringLiteral("MapsType"), 0)));
    const int zoom = project.ReadInteger(QStringLiteral("Zoom"), QStringLiteral("Zoom"), 0);
    UpDown1->SetPosition(zoom);
    Edit5->setText(QString::number(zoom));
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
    if (!CurrentTask)
        return {};
    return {CurrentParameters->Path + CurrentParameters->TaskName};
}

void TForm1::Mapviewer1Click()
{
    ShellOpen(ToolBesideExecutable(QStringLiteral("orvane")), CurrentProjectArgument());
}

void TForm1::CombineImages1Click()
{
    ShellOpen(ToolBesideExecutable(QStringLiteral("quiltry")), CurrentProjectArgument());
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
