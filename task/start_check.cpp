#include "task/start_check.h"

#include "platform/app_error.h"
#include "platform/file_lock.h"
#include "task/download_task.h"
#include "task/stored_source.h"
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
    parameters.Source = members.first().Typed.Source;
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

// The first member Start would refuse, then the policy over the sum.
std::optional<QString> SeriesRefusal(const QList<CheckedInputs>& members, const TileServers& servers)
{
    for (const CheckedInputs& member : members)
        if (const auto refusal = RefusalBeforePolicy(member, servers))
            return refusal;
    const auto total = SumBeforePolicy(members, servers);
    return total ? PolicyRefusalOfSum(members, servers, *total) : std::nullopt;
}

// Whether the project file holds the member's area (read as numbers: "10.0"
// is the area of "10"), its shape's area file and map type.
bool HoldsTheSameArea(const QString& projectFile, const CheckedInputs& member)
{
    const auto identity = ReadSeriesIdentity(projectFile);
    if (!identity || identity->MapsType != member.Typed.MapsType || identity->AreaFile != AreaFileNameOf(member.Typed))
        return false;
    const MapSource* source = member.Typed.Source.get();
    if (StoredSourceName(projectFile).compare(source ? source->Name : QString(), Qt::CaseInsensitive) != 0)
        return false;
    const auto left = ReadAreaNumber(identity->LeftLongitude);
    const auto right = ReadAreaNumber(identity->RightLongitude);
    const auto top = ReadAreaNumber(identity->TopLatitude);
    const auto bottom = ReadAreaNumber(identity->BottomLatitude);
    const AreaEdges& area = *member.Area;
    return left == area.LeftLongitude && right == area.RightLongitude && top == area.TopLatitude
        && bottom == area.BottomLatitude;
}

// A member's project file of another area or map type.
std::optional<QString> TakenNameRefusal(const QList<CheckedInputs>& members)
{
    for (const CheckedInputs& member : members)
        if (QFileInfo::exists(member.ProjectFile) && !HoldsTheSameArea(member.ProjectFile, member))
            return QFileInfo(member.ProjectFile).fileName()
                + QStringLiteral(" belongs to another area; choose another task name");
    return std::nullopt;
}

bool EveryMemberContinues(const QList<CheckedInputs>& members)
{
    return std::all_of(members.begin(), members.end(),
        [](const CheckedInputs& member) { return ContinuesProject(member.ProjectFile, member.Typed); });
}
}

QString TaskLockFile(const QString& projectFile)
{
    return projectFile + QStringLiteral(".lock");
}

QString AlreadyRunningText(const QString& projectFile)
{
    return QStringLiteral("The task ") + projectFile + QStringLiteral(" is already running.");
}

bool TaskRunsNow(const QString& projectFile)
{
    const QString lockFile = TaskLockFile(projectFile);
    if (!QFileInfo::exists(lockFile))
        return false;
    FileLock probe;
    return probe.TryLock(lockFile) == FileLock::Outcome::HeldElsewhere;
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
    if (const auto problem = TaskNameProblem(first.Typed.TypedTaskName))
        throw Refusal({*problem});
    if (members.size() > 1 && !first.Area)
        throw Refusal({first.AreaProblem});
    if (first.Area)
        if (const auto refusal = TakenNameRefusal(members))
            throw Refusal({*refusal});
    if (members.size() > 1)
        if (const auto refusal = SeriesRefusal(members, servers))
            throw Refusal({*refusal});
    const auto count = SeriesTileCount(members, servers);
    const int zoom = members.last().Typed.Zoom;
    if (count && StartAsksFirst(*count, zoom) && !EveryMemberContinues(members) && !confirm(*count, zoom))
        throw Refusal();
}
