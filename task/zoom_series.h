#pragma once

#include <QList>
#include <QString>
#include <optional>

// A zoom series: one ordinary task per zoom level over the same area and map
// type, in one folder. Each member is a complete task of its own whose
// project file name carries its zoom ("alps.qtsk" at zoom 10 is
// "alps_z10.qtsk"), so every task file keeps its usual format and the tools
// find the other members beside any one of them. A single zoom level is the
// ordinary task, named without "_z".

// "alps.qtsk", 10 -> "alps_z10.qtsk"; a path keeps its folder part.
QString SeriesProjectFileName(const QString& projectFileName, int zoom);

// The series a project file name belongs to: "…/alps_z10.qtsk" gives
// "…/alps.qtsk" and 10. Nothing for a name that is not a member's.
struct SeriesName {
    QString BaseProjectFile;
    int Zoom = 0;
};
std::optional<SeriesName> ParseSeriesProjectFileName(const QString& projectFileName);

// What the members of one series share: the area texts exactly as stored,
// the map type and, for a shaped series, the one area file they all name.
struct SeriesIdentity {
    QString LeftLongitude;
    QString RightLongitude;
    QString TopLatitude;
    QString BottomLatitude;
    int MapsType = 0;
    QString AreaFile;
    bool operator==(const SeriesIdentity&) const = default;
};

// Nothing when the file cannot be read or lacks the map type or an area text.
std::optional<SeriesIdentity> ReadSeriesIdentity(const QString& projectFile);

struct SeriesTask {
    QString ProjectFile;
    int Zoom = 0;
};

// The tasks of the series `projectFile` belongs to, found beside it: the
// project files named as members of the same series whose identity and
// stored zoom match, lowest zoom first. Always holds `projectFile` itself;
// a file not named as a member, or one that cannot be read, gives itself
// alone (with the zoom it stores, or 0).
QList<SeriesTask> FindSeriesBeside(const QString& projectFile);
