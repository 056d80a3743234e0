#pragma once

#include "platform/number_text.h"

#include <QString>
#include <optional>

// How Start reads the main window's inputs, apart from the window itself.
// Area texts are read with ReadAreaNumber (platform/number_text.h).

struct AreaEdges {
    double LeftLongitude = 0;
    double RightLongitude = 0;
    double TopLatitude = 0;
    double BottomLatitude = 0;
};

// The message of the first range or order check the area fails, if any.
std::optional<QString> AreaProblem(const AreaEdges& area);

// The typed task name with ".qtsk" appended unless its extension (from the
// last "." after the last separator or ":") is exactly ".qtsk".
QString ProjectFileNameFor(const QString& typedTaskName);

// The area, zoom and map type exactly as the window has them now.
struct TaskInputs {
    QString LeftLongitude;
    QString RightLongitude;
    QString TopLatitude;
    QString BottomLatitude;
    int Zoom = 0;
    int MapsType = 0;
    QString TypedFolder;    // the save-folder box as typed
    QString TypedTaskName;  // the task name box as typed
};

// True when `projectFile` exists and records these very inputs, so that the
// start continues it: the stored area texts equal the typed ones character
// for character, and the file is the typed folder and name without changes.
bool ContinuesProject(const QString& projectFile, const TaskInputs& inputs);
