#include "task/start_check.h"

#include "platform/app_error.h"
#include "task/download_task.h"
#include "task/task_size_estimate.h"
#include "task/tile_usage_policy.h"
#include "task/zoom_series.h"

#include <QFileInfo>
#include <algorithm>

namespace {
std::optional<QString> PolicyRefusalOfSum(const QList<TaskInputs>& members, const TileServers& servers, qint64 total)
{
    TaskParameters parameters;
    parameters.MapsType = members.first().MapsType;
    parameters.Zoom = members.last().Zoom;
    parameters.Servers = servers;
    return TileUsagePolicyRefusal(parameters, total);
}

std::optional<qint64> SumBeforePolicy(const QList<TaskInputs>& members, const TileServers& servers)
{
    qint64 total = 0;
    for (const TaskInputs& member : members) {
        const auto count = TileCountBeforePolicy(member, servers);
        if (!count)
            return std::nullopt;
        total += *count;
    }
    return total;
}

// A member's name taken by another area, then the policy over the sum.
std::optional<QString> SeriesRefusal(const QList<TaskInputs>& members, const TileServers& servers)
{
    for (const TaskInputs& member : members) {
        const QString projectFile = ProjectFilePathFor(member);
        if (!QFileInfo::exists(projectFile))
            continue;
        const auto identity = ReadSeriesIdentity(projectFile);
        const SeriesIdentity wanted{member.LeftLongitude, member.RightLongitude, member.TopLatitude,
            member.BottomLatitude, member.MapsType};
        if (!identity || !(*identity == wanted))
            return QFileInfo(projectFile).fileName()
                + QStringLiteral(" belongs to another area; choose another task name");
    }
    const auto total = SumBeforePolicy(members, servers);
    return total ? PolicyRefusalOfSum(members, servers, *total) : std::nullopt;
}

bool EveryMemberContinues(const QList<TaskInputs>& members)
{
    return std::all_of(members.begin(), members.end(),
        [](const TaskInputs& member) { return ContinuesProject(ProjectFilePathFor(member), member); });
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

std::optional<qint64> SeriesTileCount(const QList<TaskInputs>& members, const TileServers& servers)
{
    if (members.size() == 1)
        return AcceptedTileCount(members.first(), servers);
    const auto total = SumBeforePolicy(members, servers);
    if (!total || PolicyRefusalOfSum(members, servers, *total))
        return std::nullopt;
    return total;
}

void CheckStart(const QList<TaskInputs>& members, const TileServers& servers, const LargeTaskConfirmation& confirm)
{
    const TaskInputs& first = members.first();
    if (first.TypedFolder.isEmpty())
        throw Refusal({QStringLiteral("Please select a path to save the images.")});
    if (members.size() > 1) {
        ReadCheckedArea(first);
        if (const auto refusal = SeriesRefusal(members, servers))
            throw Refusal({*refusal});
    }
    const auto count = SeriesTileCount(members, servers);
    if (count && StartAsksFirst(*count, members.last().Zoom) && !EveryMemberContinues(members)
        && !confirm(*count, members.last().Zoom))
        throw Refusal();
}
