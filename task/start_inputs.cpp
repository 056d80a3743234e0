#include "task/start_inputs.h"

#include "platform/app_error.h"
#include "platform/folders.h"
#include "settings/ini_file.h"
#include "task/stored_source.h"
#include "task/tile_range.h"
#include "task/tile_usage_policy.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {
// Index of the last folder separator or drive colon, -1 when there is none.
qsizetype LastSeparator(const QString& path)
{
    return std::max({path.lastIndexOf(u'/'), path.lastIndexOf(FolderSeparator()), path.lastIndexOf(u':')});
}

// Whether Start's one-level folder creation would find or make the folder.
bool FolderExistsOrCanBeMade(const QString& folder)
{
    const QFileInfo info(QDir::cleanPath(folder));
    if (info.exists())
        return info.isDir();
    const QFileInfo parent(info.absolutePath());
    return parent.isDir() && parent.isWritable();
}

// What the tile range and the policy look at.
TaskParameters ParametersOf(const AreaEdges& edges, const TaskInputs& inputs, const TileServers& servers)
{
    TaskParameters parameters;
    parameters.LeftLongitude = edges.LeftLongitude;
    parameters.RightLongitude = edges.RightLongitude;
    parameters.TopLatitude = edges.TopLatitude;
    parameters.BottomLatitude = edges.BottomLatitude;
    parameters.Zoom = inputs.Zoom;
    parameters.MapsType = inputs.MapsType;
    parameters.Source = inputs.Source;
    parameters.Servers = servers;
    if (inputs.Shape) {
        parameters.Shape = inputs.Shape;
        parameters.Cover = inputs.Shape->CoverAt(inputs.Zoom);
    }
    return parameters;
}
}

QString AreaFileNameOf(const TaskInputs& inputs)
{
    return inputs.Shape ? inputs.Shape->FileName : QString();
}

QString StoredAreaFileName(const QString& projectFile)
{
    return TIniFile(projectFile).ReadString(QStringLiteral("AREA"), QStringLiteral("AreaFile"), QString());
}

std::optional<QString> AreaProblem(const AreaEdges& area)
{
    const auto outside = [](double value, double limit) { return !(value >= -limit && value <= limit); };
    if (outside(area.LeftLongitude, 180))
        return QStringLiteral("Left Longitude should be between -180 and 180.");
    if (outside(area.RightLongitude, 180))
        return QStringLiteral("Right Longitude should be between -180 and 180.");
    if (outside(area.TopLatitude, 85))
        return QStringLiteral("Top Latitude should be between -85 and 85.");
    if (outside(area.BottomLatitude, 85))
        return QStringLiteral("Bottom Latitude should be between -85 and 85.");
    if (area.LeftLongitude > area.RightLongitude)
        return QStringLiteral("Left Longitude should less than Right Longitude!");
    if (area.TopLatitude < area.BottomLatitude)
        return QStringLiteral("Bottom Latitude should less than Top Latitude!");
    return std::nullopt;
}

std::optional<QString> TaskNameProblem(const QString& typedTaskName)
{
    const auto unsafe = [](QChar c) { return c.category() == QChar::Other_Control || c == u'|'; };
    if (std::any_of(typedTaskName.begin(), typedTaskName.end(), unsafe)) {
        QString shown = typedTaskName;
        std::replace_if(shown.begin(), shown.end(), unsafe, u'?');
        return QStringLiteral("The task name ") + shown
            + QStringLiteral(" holds a control character or \"|\"; choose another task name.");
    }
    if (LastSeparator(typedTaskName) >= 0)
        return QStringLiteral("The task name ") + typedTaskName
            + QStringLiteral(" holds a folder; a task name is one file name in the task folder.");
    if (typedTaskName == QStringLiteral(".") || typedTaskName == QStringLiteral(".."))
        return QStringLiteral("The task name ") + typedTaskName + QStringLiteral(" is not a file name; choose another task name.");
    return std::nullopt;
}

QString ProjectFileNameFor(const QString& typedTaskName)
{
    const qsizetype dot = typedTaskName.lastIndexOf(u'.');
    const QString extension = dot > LastSeparator(typedTaskName) ? typedTaskName.mid(dot) : QString();
    return extension == QStringLiteral(".qtsk") ? typedTaskName : typedTaskName + QStringLiteral(".qtsk");
}

bool ContinuesProject(const QString& projectFile, const TaskInputs& inputs)
{
    if (!QFileInfo::exists(projectFile))
        return false;
    const TIniFile project(projectFile);
    const QString area = QStringLiteral("AREA");
    const qsizetype nameStart = LastSeparator(projectFile) + 1;
    return project.ReadInteger(QStringLiteral("MapsType"), QStringLiteral("MapsType"), 100) == inputs.MapsType
        && project.ReadString(area, QStringLiteral("LeftLongitude"), QString()) == inputs.LeftLongitude
        && project.ReadString(area, QStringLiteral("RightLongitude"), QString()) == inputs.RightLongitude
        && project.ReadString(area, QStringLiteral("TopLatitude"), QString()) == inputs.TopLatitude
        && project.ReadString(area, QStringLiteral("BottomLatitude"), QString()) == inputs.BottomLatitude
        && project.ReadInteger(QStringLiteral("Zoom"), QStringLiteral("Zoom"), 100) == inputs.Zoom
        && project.ReadString(area, QStringLiteral("AreaFile"), QString()) == AreaFileNameOf(inputs)
        && project.ReadString(QStringLiteral("Source"), QStringLiteral("Name"), QString())
                   .compare(inputs.Source ? inputs.Source->Name : QString(), Qt::CaseInsensitive)
            == 0
        && projectFile.left(nameStart) == WithTrailingSeparator(inputs.TypedFolder)
        && projectFile.mid(nameStart) == inputs.TypedTaskName;
}

AreaEdges ReadCheckedArea(const TaskInputs& inputs)
{
    const auto left = ReadAreaNumber(inputs.LeftLongitude);
    const auto right = ReadAreaNumber(inputs.RightLongitude);
    const auto top = ReadAreaNumber(inputs.TopLatitude);
    const auto bottom = ReadAreaNumber(inputs.BottomLatitude);
    if (!left || !right || !top || !bottom)
        throw Refusal({QStringLiteral("Longitude or latitude input error!")});
    const AreaEdges area{*left, *right, *top, *bottom};
    if (const auto problem = AreaProblem(area))
        throw Refusal({*problem});
    return area;
}

TaskInputs InputsOfProjectFile(const QString& projectFile)
{
    const TIniFile project(projectFile);
    const QString area = QStringLiteral("AREA");
    const QFileInfo file(projectFile);
    TaskInputs inputs;
    inputs.LeftLongitude = project.ReadString(area, QStringLiteral("LeftLongitude"), QString());
    inputs.RightLongitude = project.ReadString(area, QStringLiteral("RightLongitude"), QString());
    inputs.TopLatitude = project.ReadString(area, QStringLiteral("TopLatitude"), QString());
    inputs.BottomLatitude = project.ReadString(area, QStringLiteral("BottomLatitude"), QString());
    inputs.Zoom = project.ReadInteger(QStringLiteral("Zoom"), QStringLiteral("Zoom"), 0);
    inputs.MapsType = project.ReadInteger(QStringLiteral("MapsType"), QStringLiteral("MapsType"), 0);
    inputs.Source = SourceOfStoredTask(projectFile);
    inputs.TypedFolder = WithTrailingSeparator(QDir::toNativeSeparators(file.absolutePath()));
    inputs.TypedTaskName = file.fileName();
    return inputs;
}

CheckedInputs ReadCheckedInputs(const TaskInputs& typed)
{
    CheckedInputs task;
    task.Typed = typed;
    try {
        task.Area = ReadCheckedArea(typed);
    } catch (const Refusal& refusal) {
        task.AreaProblem = refusal.Message();
    }
    task.Folder = WithTrailingSeparator(typed.TypedFolder);
    task.ProjectFileName = ProjectFileNameFor(typed.TypedTaskName);
    task.ProjectFile = task.Folder + task.ProjectFileName;
    return task;
}

QList<CheckedInputs> ReadCheckedInputs(const QList<TaskInputs>& typed)
{
    QList<CheckedInputs> tasks;
    for (const TaskInputs& inputs : typed)
        tasks << ReadCheckedInputs(inputs);
    return tasks;
}

std::optional<QString> RefusalBeforePolicy(const CheckedInputs& task, const TileServers& servers)
{
    if (!task.Area)
        return task.AreaProblem;
    if (!FolderExistsOrCanBeMade(task.Typed.TypedFolder))
        return QStringLiteral("Create directory ") + task.Typed.TypedFolder + QStringLiteral(" Failed.");
    if (auto refusal = SourceRefusal(task.Typed))
        return refusal;
    return ComputeTaskTileRange(ParametersOf(*task.Area, task.Typed, servers)).Refusal;
}

std::optional<qint64> TileCountBeforePolicy(const CheckedInputs& task, const TileServers& servers)
{
    if (task.Typed.TypedFolder.isEmpty() || RefusalBeforePolicy(task, servers))
        return std::nullopt;
    return ComputeTaskTileRange(ParametersOf(*task.Area, task.Typed, servers)).Range.TotalCount;
}

std::optional<qint64> AcceptedTileCount(const CheckedInputs& task, const TileServers& servers)
{
    const auto count = TileCountBeforePolicy(task, servers);
    if (!count || TileUsagePolicyRefusal(ParametersOf(*task.Area, task.Typed, servers), *count))
        return std::nullopt;
    return count;
}
