#include "viewer/task_map_choice.h"

#include "task/stored_source.h"

#include <algorithm>

std::pair<int, int> TaskMapChoice::ZoomRange(int first, int last) const
{
    if (!Source)
        return {first, last};
    const int lowest = std::clamp(Source->MinZoom, first, last);
    return {lowest, std::clamp(Source->MaxZoom, lowest, last)};
}

QList<TaskMapChoice> TaskMapChoices(const MapSources& sources)
{
    QList<TaskMapChoice> choices{{QStringLiteral("MAPNIK"), MAPNIK, nullptr},
                                 {QStringLiteral("OSMARENDER"), OSMARENDER, nullptr},
                                 {QStringLiteral("CYCLE"), CYCLE, nullptr}};
    for (const auto& source : sources.Sources)
        choices.append({source->Name, kMapSourceType, source});
    return choices;
}

int TaskMapChoiceIndex(const QList<TaskMapChoice>& choices, int mapsType, const QString& sourceName)
{
    for (int i = 0; i < choices.size(); ++i) {
        const TaskMapChoice& choice = choices[i];
        if (choice.MapsType == mapsType
            && (!choice.Source || choice.Source->Name.compare(sourceName, Qt::CaseInsensitive) == 0))
            return i;
    }
    return 0;
}

std::optional<QString> MapSourceRefusal(const TaskParameters& parameters)
{
    TaskInputs inputs;
    inputs.Zoom = parameters.Zoom;
    inputs.MapsType = parameters.MapsType;
    inputs.Source = parameters.Source;
    return SourceRefusal(inputs);
}
