// Start and Stop of a download task.
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/start_inputs.h"
#include "app/tile_usage_policy.h"
#include "platform/app_error.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/text_files.h"
#include "settings/config_file.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

void TForm1::BitBtn1Click()
{
    if (BitBtn1->text() == QStringLiteral("Start"))
        StartTask();
    else
        StopTask();
}

// Every check that fails shows its message and ends the start with nothing
// changed; the task's files and the workers come only after all of them.
void TForm1::StartTask()
{
    const ProxySettings proxy = ReadProxySettings();

    if (Edit6->text().isEmpty()) {
        ShowMessage(QStringLiteral("Please select a path to save the images."));
        return;
    }
    const TaskInputs inputs = CurrentInputs();
    // Asked before the folder is made, so that No leaves nothing behind.
    if (!ConfirmLargeTask(inputs))
        return;
    if (!CreateFolderOneLevel(Edit6->text())) {
        ShowMessage(QStringLiteral("Create directory ") + Edit6->text() + QStringLiteral(" Failed."));
        return;
    }
    const QString folder = WithTrailingSeparator(Edit6->text());

    const auto area = ReadCheckedArea(inputs);
    if (const auto* problem = std::get_if<QString>(&area)) {
        ShowMessage(*problem);
        return;
    }
    const AreaEdges& edges = std::get<AreaEdges>(area);

    RunningThreads = 0;
    auto parameters = std::make_unique<TaskParameters>();
    parameters->LeftLongitude = edges.LeftLongitude;
    parameters->RightLongitude = edges.RightLongitude;
    parameters->TopLatitude = edges.TopLatitude;
    parameters->BottomLatitude = edges.BottomLatitude;
    parameters->Zoom = inputs.Zoom;
    parameters->ThreadCount = MaxDownThreads;
    parameters->ThreadSlots = MaxDownThreads;
    parameters->MapsType = inputs.MapsType;
    parameters->Path = folder;
    parameters->TaskName = ProjectFileNameFor(inputs.TypedTaskName);
    parameters->UseProxy = proxy.UseProxy;
    parameters->ProxyServer = proxy.ProxyServer;
    parameters->ProxyPort = proxy.ProxyPort;
    parameters->ProxyUsername = proxy.ProxyUsername;
    parameters->ProxyPassword = proxy.ProxyPassword;
    parameters->Continue = ContinuesProject(parameters->Path + parameters->TaskName, inputs);
    parameters->Servers = ReadTileServers();
    parameters->PauseAfterTile = TilePauseFor(parameters->Servers, parameters->MapsType);

    if (const auto refusal = TileUsagePolicyRefusal(*parameters)) {
        ShowMessage(*refusal);
        return;
    }

    // The earlier task keeps its own record: a failed build leaves both in place.
    std::unique_ptr<MDTask> task;
    try {
        task = std::make_unique<MDTask>(parameters.get());
    } catch (const AppError& error) {
        ShowMessage(error.Message());
        ShowMessage(QStringLiteral("Error: Create task failure."));
        return;
    } catch (const std::exception&) {
        ShowMessage(QStringLiteral("Error: Create task failure."));
        return;
    }
    CurrentTask = std::move(task);
    CurrentParameters = std::move(parameters);
    if (CurrentTask->TotalCount < CurrentParameters->ThreadCount)
        CurrentParameters->ThreadCount = int(CurrentTask->TotalCount);

    CurrentTask->WriteTaskFiles(clock_());

    Memo1->SetLines(ReadTextLines(CurrentTask->LogFileName));
    Memo2->SetLines(ReadTextLines(CurrentTask->FailedFileName));
    LabelTotalxy->setText(QStringLiteral("Total images: ") + QString::number(CurrentTask->TotalCount));
    BitBtn1->setText(QStringLiteral("Stop"));
    saveErrorShown_ = false;
    for (int i = 0; i < CurrentParameters->ThreadCount; ++i) {
        DownThreads[i] = std::make_unique<TDownThread>(false, i, CurrentTask.get(), &reports_, pause_);
        ++RunningThreads;
    }
    ReportTimer->start();
    Timer1->start();
    TimerTicks = 0;
    BeginProgress();
}

// Stop only asks; the progress monitor notices when the workers have ended.
void TForm1::StopTask()
{
    DeliverWorkerReports();
    for (int i = 0; i < CurrentParameters->ThreadCount; ++i) {
        DownThreads[i]->RequestStop();
        Memo1->AppendLine(QStringLiteral("Thread") + QString::number(i + 1)
            + QStringLiteral("will be terminated by user. please wait..."));
    }
}
