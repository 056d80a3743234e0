#include "task/zoom_series.h"

#include "settings/ini_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {
const QString kProjectExtension = QStringLiteral(".qtsk");
constexpr int kHighestZoom = 30;

// The folder part of a path, with its separator, and the name after it.
std::pair<QString, QString> SplitFolder(const QString& path)
{
    const qsizetype nameStart = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(QDir::separator())) + 1;
    return {path.left(nameStart), path.mid(nameStart)};
}

int StoredZoom(const QString& projectFile)
{
    return TIniFile(projectFile).ReadInteger(QStringLiteral("Zoom"), QStringLiteral("Zoom"), 0);
}
}

QString SeriesProjectFileName(const QString& projectFileName, int zoom)
{
    const QString stem = projectFileName.endsWith(kProjectExtension) ? projectFileName.chopped(kProjectExtension.size())
                                                                     : projectFileName;
    return stem + QStringLiteral("_z") + QString::number(zoom) + kProjectExtension;
}

std::optional<SeriesName> ParseSeriesProjectFileName(const QString& projectFileName)
{
    // The zoom as SeriesProjectFileName writes it: no sign, no leading zero.
    static const QRegularExpression member(QStringLiteral("^(.+)_z(0|[1-9][0-9]?)\\.qtsk$"));
    const auto [folder, name] = SplitFolder(projectFileName);
    const QRegularExpressionMatch match = member.match(name);
    if (!match.hasMatch())
        return std::nullopt;
    const int zoom = match.captured(2).toInt();
    if (zoom > kHighestZoom)
        return std::nullopt;
    return SeriesName{folder + match.captured(1) + kProjectExtension, zoom};
}

std::optional<SeriesIdentity> ReadSeriesIdentity(const QString& projectFile)
{
    if (!QFileInfo(projectFile).isFile())
        return std::nullopt;
    const TIniFile project(projectFile);
    const QString area = QStringLiteral("AREA");
    SeriesIdentity identity{project.ReadString(area, QStringLiteral("LeftLongitude"), QString()),
        project.ReadString(area, QStringLiteral("RightLongitude"), QString()),
        project.ReadString(area, QStringLiteral("TopLatitude"), QString()),
        project.ReadString(area, QStringLiteral("BottomLatitude"), QString()),
        project.ReadInteger(QStringLiteral("MapsType"), QStringLiteral("MapsType"), -1),
        project.ReadString(area, QStringLiteral("AreaFile"), QString())};
    if (identity.LeftLongitude.isEmpty() || identity.RightLongitude.isEmpty() || identity.TopLatitude.isEmpty()
        || identity.BottomLatitude.isEmpty() || identity.MapsType < 0)
        return std::nullopt;
    return identity;
}

QList<SeriesTask> FindSeriesBeside(const QString& projectFile)
{
    const auto name = ParseSeriesProjectFileName(projectFile);
    const auto identity = ReadSeriesIdentity(projectFile);
    if (!name || !identity)
        return {SeriesTask{projectFile, QFileInfo(projectFile).isFile() ? StoredZoom(projectFile) : 0}};

    const auto [folder, ignored] = SplitFolder(projectFile);
    QList<SeriesTask> series{SeriesTask{projectFile, name->Zoom}};
    const QStringList candidates = QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
                                       .entryList({QStringLiteral("*") + kProjectExtension}, QDir::Files);
    for (const QString& candidateName : candidates) {
        const QString candidate = folder + candidateName;
        if (candidate == projectFile)
            continue;
        const auto candidateSeries = ParseSeriesProjectFileName(candidate);
        // A member whose stored zoom differs from its name's was renamed or
        // edited by hand: it is not what its name says.
        if (candidateSeries && candidateSeries->BaseProjectFile == name->BaseProjectFile
            && ReadSeriesIdentity(candidate) == identity && StoredZoom(candidate) == candidateSeries->Zoom)
            series.append(SeriesTask{candidate, candidateSeries->Zoom});
    }
    std::sort(series.begin(), series.end(), [](const SeriesTask& a, const SeriesTask& b) { return a.Zoom < b.Zoom; });
    return series;
}
