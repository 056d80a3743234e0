#include "app/start_inputs.h"

#include "platform/folders.h"
#include "settings/ini_file.h"

#include <QFileInfo>
#include <algorithm>

namespace {
// Index of the last folder separator or drive colon, -1 when there is none.
qsizetype LastSeparator(const QString& path)
{
    return std::max({path.lastIndexOf(u'/'), path.lastIndexOf(FolderSeparator()), path.lastIndexOf(u':')});
}
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
        && projectFile.left(nameStart) == WithTrailingSeparator(inputs.TypedFolder)
        && projectFile.mid(nameStart) == inputs.TypedTaskName;
}
