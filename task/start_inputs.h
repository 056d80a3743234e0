#pragma once

#include "platform/number_text.h"
#include "task/map_source.h"
#include "task/map_type.h"
#include "task/task_area.h"

#include <QList>
#include <QString>
#include <memory>
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

// Why the typed task name cannot name a task: a task name is one file name
// in the task folder (no folder separator, not "." or ".."), and its failed
// records are lines of "path|address" (no control character, no "|").
// Nothing when it can.
std::optional<QString> TaskNameProblem(const QString& typedTaskName);

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
    std::shared_ptr<const ShapedArea> Shape;  // a shaped task's area; null for a rectangle
    // The map source of MapsType kMapSourceType; null for a built-in type.
    std::shared_ptr<const MapSource> Source;
    // Continue even though the source's address template changed since the
    // task started (the window asked; see ChangedTemplateText).
    bool TemplateChangeAccepted = false;
};

// The area file a shaped task's inputs name, empty for a rectangle.
QString AreaFileNameOf(const TaskInputs& inputs);

// The area file a project file names ("AreaFile" in its area section), empty
// for a rectangle task.
QString StoredAreaFileName(const QString& projectFile);

// True when `projectFile` exists and records these very inputs, so that the
// start continues it: the stored area texts equal the typed ones character
// for character, the file is the typed folder and name without changes, and
// it names the same area file (or none) and the same map source (or none).
bool ContinuesProject(const QString& projectFile, const TaskInputs& inputs);

// The four area texts as numbers that pass every area check. Raises
// Refusal with the message of the first check they fail, in Start's order.
AreaEdges ReadCheckedArea(const TaskInputs& inputs);

// The inputs Open task fills from a project file: its area texts, zoom and
// map type as stored, its folder (absolute, native separators, with the
// trailing separator) and its file name. Missing keys read as empty or 0.
// The shape of a shaped task is not read here (see task/stored_shape.h).
TaskInputs InputsOfProjectFile(const QString& projectFile);

// One task of a start, read from its typed inputs once: every later step of
// the start (the checks, the estimate, preparing the task) takes this value
// and reads nothing typed again. The area's message waits for the step
// whose turn it is to refuse.
struct CheckedInputs {
    TaskInputs Typed;
    std::optional<AreaEdges> Area;  // when the area passes every check
    QString AreaProblem;            // else the message of the first check it fails
    QString Folder;                 // the typed folder with the trailing separator
    QString ProjectFileName;        // see ProjectFileNameFor
    QString ProjectFile;            // Folder + ProjectFileName: what Start reads and writes
};
CheckedInputs ReadCheckedInputs(const TaskInputs& typed);
QList<CheckedInputs> ReadCheckedInputs(const QList<TaskInputs>& typed);

// The tile count of the task Start would build, or nothing when Start would
// refuse it: no folder, a folder that cannot be created, an area message,
// the task core's refusal, the tile usage policy. Reads no more than the
// folder's existence and the configured servers.
std::optional<qint64> AcceptedTileCount(const CheckedInputs& task, const TileServers& servers);
// The same before the tile usage policy looks at the count (which a zoom
// series applies to the sum of its tasks).
std::optional<qint64> TileCountBeforePolicy(const CheckedInputs& task, const TileServers& servers);
// The message Start would refuse a task with (given a folder) before the
// tile usage policy: the area's, a folder that cannot be created, the task
// core's refusal of its tile range. Nothing when TileCountBeforePolicy has
// a count.
std::optional<QString> RefusalBeforePolicy(const CheckedInputs& task, const TileServers& servers);
