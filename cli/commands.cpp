#include "cli/commands.h"

#include "cli/error_output.h"
#include "cli/sources_listing.h"
#include "cli/task_files_run.h"
#include "platform/app_error.h"
#include "platform/folders.h"
#include "platform/stop_signals.h"
#include "platform/text_files.h"
#include "recovery/failed_tile_redownload.h"
#include "recovery/list_request_profile.h"
#include "recovery/redownload_job.h"
#include "run/task_start.h"
#include "settings/config_file.h"
#include "task/configured_servers.h"
#include "geo/area_file.h"
#include "geo/area_shape.h"
#include "geo/tile_cover.h"
#include "platform/number_text.h"
#include "task/download_task.h"
#include "task/opened_task.h"
#include "task/start_check.h"
#include "task/stored_shape.h"
#include "task/task_size_estimate.h"
#include "task/tile_range.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
int Print(const PrintCommand& command)
{
    std::fputs(command.Text.toUtf8().constData(), stdout);
    return kExitAllStored;
}

int Wrong(const UsageError& error)
{
    PrintError(error.Message);
    return kExitWrongCommandLine;
}

// The inputs of `new` as the window's boxes would hold them.
TaskInputs InputsOfNew(const NewCommand& command)
{
    TaskInputs inputs;
    inputs.LeftLongitude = command.Area.value(0);
    inputs.RightLongitude = command.Area.value(1);
    inputs.TopLatitude = command.Area.value(2);
    inputs.BottomLatitude = command.Area.value(3);
    inputs.Zoom = command.ZoomFrom;
    inputs.MapsType = command.MapsType;
    inputs.Source = command.Source;
    const QString folder =
        command.Folder.isEmpty() ? ReadDefaultPath(DefaultUserFolder(QStringLiteral("vornhold"))) : command.Folder;
    inputs.TypedFolder = WithTrailingSeparator(QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath()));
    inputs.TypedTaskName = command.TaskName;
    return inputs;
}

void TakeShape(TaskInputs& inputs, const AreaShape& shape, const NewCommand& command)
{
    SetEdgesToShapeBounds(inputs, shape);
    inputs.Shape = MakeShapedArea(shape, AreaFileNameFor(ProjectFileNameFor(inputs.TypedTaskName)),
        QFileInfo(command.ShapeFile).fileName(), command.CorridorMetres);
}

// "Shape route.gpx (corridor 1000 m), zoom 15: 1,412 tiles; its rectangle holds 65,536".
void PrintShapeSummary(const TaskInputs& inputs, int zoomTo)
{
    const ShapedArea& shape = *inputs.Shape;
    const QString corridor = shape.CorridorMetres > 0
        ? QStringLiteral(" (corridor %1 m)").arg(GeneralRealText(shape.CorridorMetres))
        : QString();
    for (int zoom = inputs.Zoom; zoom <= std::max(zoomTo, inputs.Zoom); ++zoom) {
        TaskParameters rectangle;
        rectangle.LeftLongitude = ReadAreaNumber(inputs.LeftLongitude).value_or(0);
        rectangle.RightLongitude = ReadAreaNumber(inputs.RightLongitude).value_or(0);
        rectangle.TopLatitude = ReadAreaNumber(inputs.TopLatitude).value_or(0);
        rectangle.BottomLatitude = ReadAreaNumber(inputs.BottomLatitude).value_or(0);
        rectangle.Zoom = zoom;
        const TaskTileRange rectangleRange = ComputeTaskTileRange(rectangle);
        PrintError(QStringLiteral("Shape %1%2, zoom %3: %4 tiles; its rectangle holds %5")
                .arg(shape.ShapeName, corridor)
                .arg(zoom)
                .arg(GroupedNumber(shape.CoverAt(zoom)->Count()), GroupedNumber(rectangleRange.Range.TotalCount)));
    }
}

// A new task the window would ask about first needs --yes; a continued
// one was asked the first time.
LargeTaskConfirmation ConfirmWithYes(const NewCommand& command, const TaskInputs& inputs)
{
    return [yes = command.Yes, inputs](qint64 tileCount, int zoom) {
        if (yes)
            return true;
        const TileSizeSample sample = SampleTileSizes(inputs.TypedFolder, MapFilePrefix(inputs.MapsType, inputs.Source.get()), 20000, {},
            inputs.Source ? inputs.Source->Extension() : QStringLiteral("png"));
        PrintError(LargeTaskQuestion(tileCount, sample.AverageTileBytes(), zoom));
        PrintError(QStringLiteral("Not written: give --yes to accept a task of this size."));
        return false;
    };
}

// The folders `new` makes (the task folder, each member's image folder)
// that were not there before it: a `new` that fails removes them again,
// those still empty.
class FoldersMadeByNew {
public:
    explicit FoldersMadeByNew(const QList<CheckedInputs>& members)
    {
        QStringList folders{members.first().Folder};
        for (const CheckedInputs& member : members)
            folders << member.Folder + MDTask::TaskBase(member.ProjectFileName);
        for (const QString& folder : folders)
            if (!QFileInfo::exists(folder))
                missing_ << folder;
    }

    void RemoveEmpty() const
    {
        for (auto folder = missing_.rbegin(); folder != missing_.rend(); ++folder)
            QDir().rmdir(*folder);
    }

private:
    QStringList missing_;
};

int New(const NewCommand& command)
{
    TaskInputs inputs = InputsOfNew(command);
    if (!command.ShapeFile.isEmpty()) {
        const ShapeResult shape = ReadShape({command.ShapeFile, command.Layer, command.CorridorMetres});
        for (const QString& note : shape.Notes)
            PrintError(note);
        if (!shape.Ok()) {
            PrintError(shape.ProblemText);
            return shape.Problem == ShapeProblem::NeedsCorridor ? kExitWrongCommandLine : kExitRefused;
        }
        TakeShape(inputs, *shape.Shape, command);
        PrintShapeSummary(inputs, command.ZoomTo);
    }
    const LargeTaskConfirmation confirm = ConfirmWithYes(command, inputs);
    if (command.Run)
        return RunNewTasks(inputs, command.ZoomTo, confirm);

    const QList<CheckedInputs> members = ReadSeriesStart(inputs, command.ZoomTo);
    const StartSettings settings = ReadStartSettings();
    CheckStart(members, settings.Servers, confirm);
    const FoldersMadeByNew folders(members);
    try {
        // Every member is prepared before any is written: one refused writes none.
        std::vector<PreparedTask> tasks;
        for (const CheckedInputs& member : members)
            tasks.push_back(PrepareTask(member, settings));
        for (const PreparedTask& task : tasks) {
            task.Task->WriteAreaFile();
            task.Task->WriteProjectFile();
            std::fprintf(stdout, "%s\n", (task.Parameters->Path + task.Parameters->TaskName).toUtf8().constData());
        }
    } catch (...) {
        folders.RemoveEmpty();
        throw;
    }
    return kExitAllStored;
}

// The tasks the project files name, each as Start would read them.
QList<TaskInputs> StoredTasks(const QStringList& files)
{
    QList<TaskInputs> tasks;
    for (const QString& file : files) {
        // A clear message for a missing or broken file; a shaped task is
        // opened with its area, whose rectangle may hold more tiles than a
        // task can.
        const OpenedTask opened = OpenStoredTaskReadOnly(file);
        const QString name = QFileInfo(file).fileName();
        if (ProjectFileNameFor(name) != name)
            throw Refusal({file + QStringLiteral(" is not a task: a task's project file is named NAME.qtsk.")});
        TaskInputs inputs = InputsOfProjectFile(file);
        inputs.Shape = opened.Parameters->Shape;  // its covers already worked out
        tasks << inputs;
    }
    return tasks;
}

int Run(const RunCommand& command)
{
    return RunTasksInTurn(StoredTasks(command.TaskFiles));
}

int Refresh(const RefreshCommand& command)
{
    RefreshSelection selection;
    selection.Now = QDateTime::currentSecsSinceEpoch();
    if (command.All)
        selection.Which = RefreshSelection::Choice::All;
    if (command.OlderThanSeconds) {
        selection.Which = RefreshSelection::Choice::FetchedBefore;
        selection.OlderThanSeconds = *command.OlderThanSeconds;
    }
    return RefreshTasksInTurn(StoredTasks(command.TaskFiles), selection);
}

int Sources()
{
    const QString folder = MapSourcesFolder();
    const MapSources sources = ReadMapSources(folder);
    std::fputs(SourcesTable(sources, folder).toUtf8().constData(), stdout);
    for (const QString& problem : sources.Problems)
        PrintError(problem);
    return kExitAllStored;
}

int Redownload(const RedownloadCommand& command)
{
    RedownloadJob run(RedownloadSettingsForList(command.ListFile, ReadTileServers()));
    QObject::connect(&run, &RedownloadJob::Logged, [](const QStringList& lines) {
        for (const QString& line : lines)
            std::fprintf(stdout, "%s\n", line.toUtf8().constData());
        std::fflush(stdout);
    });
    QEventLoop loop;
    RedownloadEnd end;
    QObject::connect(&run, &RedownloadJob::Ended, &loop, [&](const RedownloadEnd& ended) {
        end = ended;
        loop.quit();
    });
    InstallStopSignals();
    QTimer signalWatch;
    QObject::connect(&signalWatch, &QTimer::timeout, [&] {
        if (ReceivedStopSignal())
            run.Stop();
    });
    signalWatch.start(50);
    run.Start(command.ListFile);
    loop.exec();
    if (!end.Problem.isEmpty())
        PrintError(end.Problem);
    if (const int signal = ReceivedStopSignal())
        return 128 + signal;
    if (!end.ListOpened)
        return kExitRefused;
    return end.NotFetched > 0 || !end.Problem.isEmpty() ? kExitTilesFailed : kExitAllStored;
}
}

int RunCommandLine(const Command& command)
{
    try {
        if (const auto* print = std::get_if<PrintCommand>(&command))
            return Print(*print);
        if (const auto* error = std::get_if<UsageError>(&command))
            return Wrong(*error);
        if (const auto* refused = std::get_if<RefusedCommand>(&command)) {
            PrintError(refused->Message);
            return kExitRefused;
        }
        if (const auto* create = std::get_if<NewCommand>(&command))
            return New(*create);
        if (const auto* run = std::get_if<RunCommand>(&command))
            return Run(*run);
        if (const auto* refresh = std::get_if<RefreshCommand>(&command))
            return Refresh(*refresh);
        if (const auto* redownload = std::get_if<RedownloadCommand>(&command))
            return Redownload(*redownload);
        if (std::holds_alternative<SourcesCommand>(command))
            return Sources();
        return kExitWrongCommandLine;
    } catch (const Refusal& refusal) {
        for (const QString& message : refusal.Messages())
            PrintError(message);
    } catch (...) {
        PrintError(std::current_exception());
    }
    return kExitRefused;
}
