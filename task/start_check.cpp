#include "task/start_check.h"

#include "platform/app_error.h"
#include "task/download_task.h"
#include "task/task_size_estimate.h"
#include "task/tile_usage_policy.h"
#include "task/zoom_series.h"

#include <QFileInfo>
#include <algorithm>

namespace {
std::optional<QString> PolicyRefusalOfSum(const QList<CheckedInputs>& members, const TileServers& servers, qint64 total)
{
    TaskParameters parameters;
    parameters.MapsType = members.first().Typed.MapsType;
    parameters.Zoom = members.last().Typed.Zoom;
    parameters.Servers = servers;
    return TileUsagePolicyRefusal(parameters, total);
}

std::optional<qint64> SumBeforePolicy(const QList<CheckedInputs>& members, const TileServers& servers)
{
    qint64 total = 0;
    for (const CheckedInputs& member : members) {
        const auto count = TileCountBeforePolicy(member, servers);
        if (!count)
            return std::nullopt;
        total += *count;
    }
    return total;
}

// A member's name taken by another area, then the policy over the sum.
std::optional<QString> SeriesRefusal(const QList<CheckedInputs>& members, const TileServers& servers)
{
    for (const CheckedInputs& member : members) {
        if (!QFileInfo::exists(member.ProjectFile))
            continue;
        const auto identity = ReadSeriesIdentity(member.ProjectFile);
        const TaskInputs& typed = member.Typed;
        const SeriesIdentity wanted{typed.LeftLongitude, typed.RightLongitude, typed.TopLatitude,
            typed.BottomLatitude, typed.MapsType, AreaFileNameOf(typed)};
        if (!identity || !(*identity == wanted))
            return QFileInfo(member.ProjectFile).fileName()
                + QStringLiteral(" belongs to another area; choose another task name");
    }
    const auto total = SumBeforePolicy(members, servers);
    return total ? PolicyRefusalOfSum(members, servers, *total) : std::nullopt;
}

bool EveryMemberContinues(const QList<CheckedInputs>& members)
{
    return std::all_of(members.begin(), members.end(),
        [](const CheckedInputs& member) { return ContinuesProject(member.ProjectFile, member.Typed); });
}
}

QList<TaskInputs> SeriesMemberInputs(const TaskInputs& inputs, int zoomTo)
{
    if (zoomTo <= inputs.Zoom)
        return {inputs};
    QList<TaskInputs> members;
    for (int zoom = inputs.Zoom; zoom <= zoomTo; ++zoom) {
        TaskInputs member = inputs;
        member.Zoom = zoom;
        member.TypedTaskName = SeriesProjectFileName(ProjectFileNameFor(inputs.TypedTaskName), zoom);
        members << member;
    }
    return members;
}

QList<CheckedInputs> ReadSeriesStart(const TaskInputs& inputs, int zoomTo)
{
    return ReadCheckedInputs(SeriesMemberInputs(inputs, zoomTo));
}

std::optional<qint64> SeriesTileCount(const QList<CheckedInputs>& members, const TileServers& servers)
{
    if (members.size() == 1)
        return AcceptedTileCount(members.first(), servers);
    const auto total = SumBeforePolicy(members, servers);
    if (!total || PolicyRefusalOfSum(members, servers, *total))
        return std::nullopt;
    return total;
}

void CheckStart(const QList<CheckedInputs>& members, const TileServers& servers, const LargeTaskConfirmation& confirm)
{
    const CheckedInputs& first = members.first();
    if (first.Typed.TypedFolder.isEmpty())
        throw Refusal({QStringLiteral("Please select a path to save the images.")});
    if (members.size() > 1) {
        if (!first.Area)
            throw Refusal({first.AreaProblem});
        if (const auto refusal = SeriesRefusal(members, servers))
            throw Refusal({*refusal});
    }
    const auto count = SeriesTileCount(members, servers);
    const int zoom = members.last().Typed.Zoom;
    if (count && StartAsksFirst(*count, zoom) && !EveryMemberContinues(members) && !confirm(*count, zoom))
        throw Refusal();
}
