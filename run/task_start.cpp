#include "run/task_start.h"

#include "platform/app_error.h"
#include "platform/folders.h"
#include "task/configured_servers.h"
#include "settings/ini_file.h"
#include "task/start_check.h"
#include "task/stored_source.h"
#include "task/tile_usage_policy.h"

namespace {
// A source's MaxConnections caps its workers. A continued task keeps the
// count it started with: the workers' positions hold only for the same
// division of the walk.
int SourceWorkerCount(const MapSource& source, const QString& projectFile, bool continued)
{
    const int stored = continued ? TIniFile(projectFile).ReadInteger(QStringLiteral("THREADS"), QStringLiteral("ThreadCount"), 0) : 0;
    return stored >= 1 && stored <= MaxDownThreads ? stored : std::min(source.MaxConnections, MaxDownThreads);
}
}

StartSettings ReadStartSettings()
{
    return {ReadProxySettings(), ReadTileServers()};
}

PreparedTask PrepareTask(const CheckedInputs& task, const StartSettings& settings)
{
    const TaskInputs& inputs = task.Typed;
    // As the run's own lock would say, before any folder is made.
    if (TaskRunsNow(task.ProjectFile))
        throw AppError(AlreadyRunningText(task.ProjectFile));
    if (!CreateFolderOneLevel(inputs.TypedFolder))
        throw Refusal({QStringLiteral("Create directory ") + inputs.TypedFolder + QStringLiteral(" Failed.")});
    if (!task.Area)
        throw Refusal({task.AreaProblem});
    const AreaEdges& edges = *task.Area;
    if (const auto refusal = SourceRefusal(inputs))
        throw Refusal({*refusal});
    if (const auto changed = ChangedTemplateText(task); changed && !inputs.TemplateChangeAccepted)
        throw Refusal({ChangedTemplateRefusal(*changed)});

    auto parameters = std::make_unique<TaskParameters>();
    parameters->LeftLongitude = edges.LeftLongitude;
    parameters->RightLongitude = edges.RightLongitude;
    parameters->TopLatitude = edges.TopLatitude;
    parameters->BottomLatitude = edges.BottomLatitude;
    parameters->Zoom = inputs.Zoom;
    parameters->ThreadCount = MaxDownThreads;
    parameters->ThreadSlots = MaxDownThreads;
    parameters->MapsType = inputs.MapsType;
    parameters->Path = task.Folder;
    parameters->TaskName = task.ProjectFileName;
    parameters->UseProxy = settings.Proxy.UseProxy;
    parameters->ProxyServer = settings.Proxy.ProxyServer;
    parameters->ProxyPort = settings.Proxy.ProxyPort;
    parameters->ProxyUsername = settings.Proxy.ProxyUsername;
    parameters->ProxyPassword = settings.Proxy.ProxyPassword;
    parameters->Continue = ContinuesProject(task.ProjectFile, inputs);
    parameters->Servers = settings.Servers;
    parameters->PauseAfterTile = TilePauseFor(parameters->Servers, parameters->MapsType);
    parameters->TilesInFlight = TilesInFlightFor(parameters->Servers, parameters->MapsType, parameters->PauseAfterTile);
    if (inputs.Source) {
        parameters->Source = inputs.Source;
        parameters->PauseAfterTile = TilePauseFor(*inputs.Source);
        parameters->TilesInFlight = TilesInFlightFor(*inputs.Source, parameters->PauseAfterTile);
        parameters->ThreadCount = SourceWorkerCount(*inputs.Source, task.ProjectFile, parameters->Continue);
    }
    if (inputs.Shape) {
        parameters->Shape = inputs.Shape;
        parameters->Cover = inputs.Shape->CoverAt(inputs.Zoom);
    }

    if (const auto refusal = TileUsagePolicyRefusal(*parameters))
        throw Refusal({*refusal});

    PreparedTask prepared;
    try {
        prepared.Task = std::make_unique<MDTask>(parameters.get());
    } catch (const AppError& error) {
        throw Refusal({error.Message(), QStringLiteral("Error: Create task failure.")});
    } catch (const std::exception&) {
        throw Refusal({QStringLiteral("Error: Create task failure.")});
    }
    prepared.Parameters = std::move(parameters);
    if (prepared.Task->TotalCount < prepared.Parameters->ThreadCount)
        prepared.Parameters->ThreadCount = int(prepared.Task->TotalCount);
    return prepared;
}
