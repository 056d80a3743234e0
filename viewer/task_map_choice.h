#pragma once

#include "task/download_task.h"
#include "task/map_sources.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

// The maps a new task from the viewer may fetch, as the main window offers
// them: the three built-in map types, then the sources of the map sources
// folder in the folder's order.
struct TaskMapChoice {
    QString Title;  // "MAPNIK", "OSMARENDER", "CYCLE" or the source's Name
    int MapsType = MAPNIK;
    std::shared_ptr<const MapSource> Source;  // null for a built-in map type

    // The zoom levels of `first`..`last` the map has tiles for (a source's
    // limits; never an empty range).
    std::pair<int, int> ZoomRange(int first, int last) const;
};
QList<TaskMapChoice> TaskMapChoices(const MapSources& sources);

// The choice of a task of `mapsType` (for a source, the one of `sourceName`);
// the first when none matches.
int TaskMapChoiceIndex(const QList<TaskMapChoice>& choices, int mapsType, const QString& sourceName);

// Why a new task with these parameters cannot start because of its map
// source (the zoom outside the source's limits), in Start's words.
std::optional<QString> MapSourceRefusal(const TaskParameters& parameters);
