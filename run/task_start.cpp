#include "run/task_start.h"

#include "platform/app_error.h"
#include "platform/folders.h"
#include "task/task_size_estimate.h"
#include "task/tile_usage_policy.h"

namespace {
StartRefusal Refuse(const QString& message)
{
    return StartRefusal{{message}};
}

bool AskedAndDeclined(const TaskInputs& inputs, const TileServers& servers, const LargeTaskConfirmation& confirm)
{
    const auto count = AcceptedTileCount(inputs, servers);
    if (!count || !StartAsksFirst(*count, inputs.Zoom) || ContinuesProject(ProjectFilePathFor(inputs), inputs))
        return false;
    return !confirm(*count);
}
}

std::variant<PreparedTask, StartRefusal> PrepareTask(const TaskInputs& inputs, const ProxySettings& proxy,
    const TileServers& servers, const LargeTaskConfirmation& confirmLargeTask)
{
    if (inputs.TypedFolder.isEmpty())
        return Refuse(QStringLiteral("Please select a path to save the images."));
    if (AskedAndDeclined(inputs, servers, confirmLargeTask))
        return StartRefusal{};
    if (!CreateFolderOneLevel(inputs.TypedFolder))
        return Refuse(QStringLiteral("Create directory ") + inputs.TypedFolder + QStringLiteral(" Failed."));

    const auto area = ReadCheckedArea(inputs);
    if (const auto* problem = std::get_if<QString>(&area))
        return Refuse(*problem);
    const AreaEdges& edges = std::get<AreaEdges>(area);

    auto parameters = std::make_unique<TaskParameters>();
    parameters->LeftLongitude = edges.LeftLongitude;
    parameters->RightLongitude = edges.RightLongitude;
    parameters->TopLatitude = edges.TopLatitude;
    parameters->BottomLatitude = edges.BottomLatitude;
    parameters->Zoom = inputs.Zoom;
    parameters->ThreadCount = MaxDownThreads;
    parameters->ThreadSlots = MaxDownThreads;
    parameters->MapsType = inputs.MapsType;
    parameters->Path = WithTrailingSeparator(inputs.TypedFolder);
    parameters->TaskName = ProjectFileNameFor(inputs.TypedTaskName);
    parameters->UseProxy = proxy.UseProxy;
    parameters->ProxyServer = proxy.ProxyServer;
    parameters->ProxyPort = proxy.ProxyPort;
    parameters->ProxyUsername = proxy.ProxyUsername;
    parameters->ProxyPassword = proxy.ProxyPassword;
    parameters->Continue = ContinuesProject(parameters->Path + parameters->TaskName, inputs);
    parameters->Servers = servers;
    parameters->PauseAfterTile = TilePauseFor(parameters->Servers, parameters->MapsType);

    if (const auto refusal = TileUsagePolicyRefusal(*parameters))
        return Refuse(*refusal);

    PreparedTask prepared;
    try {
        prepared.Task = std::make_unique<MDTask>(parameters.get());
    } catch (const AppError& error) {
        return StartRefusal{{error.Message(), QStringLiteral("Error: Create task failure.")}};
    } catch (const std::exception&) {
        return Refuse(QStringLiteral("Error: Create task failure."));
    }
    prepared.Parameters = std::move(parameters);
    if (prepared.Task->TotalCount < prepared.Parameters->ThreadCount)
        prepared.Parameters->ThreadCount = int(prepared.Task->TotalCount);
    return prepared;
}
