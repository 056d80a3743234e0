#pragma once

#include "platform/app_error.h"
#include "task/map_source.h"
#include "task/map_type.h"
#include "task/task_area.h"
#include "task/task_walk.h"
#include "task/tile_pause.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// The largest number of workers of a task, and the number of thread position
// pairs in every project file.
constexpr int MaxDownThreads = 8;

class TileKeeping;

// The inputs of one task, filled by the main window's Start.
struct TaskParameters {
    double LeftLongitude = 0;
    double RightLongitude = 0;
    double TopLatitude = 0;
    double BottomLatitude = 0;
    int Zoom = 13;
    int ThreadCount = MaxDownThreads;  // lowered by Start to the tile count
    int ThreadSlots = MaxDownThreads;  // position pairs in the project file
    int MapsType = MAPNIK;             // MapTypeCode, or kMapSourceType
    // The map source of a task of kMapSourceType (task/map_source.h); null
    // for the built-in map types.
    std::shared_ptr<const MapSource> Source;
    QString Path;                      // task folder, ends in the separator
    QString TaskName;                  // project file name, ends in ".qtsk"
    bool UseProxy = false;
    QString ProxyServer;
    QString ProxyPort;
    QString ProxyUsername;
    QString ProxyPassword;
    bool Continue = false;             // resumes an earlier run of the same project
    TileServers Servers;
    TilePause PauseAfterTile;          // what each worker waits after a stored tile
    int TilesInFlight = 1;             // requests a worker may keep in flight (see TilesInFlightFor)
    // A shaped task: its area and its tiles at Zoom; null for a rectangle task.
    std::shared_ptr<const ShapedArea> Shape;
    std::shared_ptr<const TileCover> Cover;
    // The validators the workers keep and, in a refresh, what they ask for;
    // made by the run at its start when not set before.
    std::shared_ptr<TileKeeping> Keeping;
};

// Start was asked to stop while it wrote the task's files: nothing it began
// is left behind (a new task has no project file yet), and nothing runs.
class StartStopped : public AppError {
public:
    StartStopped() : AppError(QStringLiteral("Stopped before the task started.")) {}
};

// Asked while Start writes a long file; true when the user wants it to stop.
using StopRequest = std::function<bool()>;

// One download task, built at Start from its parameters: the tile range, its
// outer edges, the tile count, the task's file names, the image folder and
// the per-thread resume points. Read-only once the workers run, so workers
// and the GUI thread share it without a lock.
class MDTask {
public:
    // Computes the range, creates the image folder (one level) and, when
    // continuing, reads the resume points. Raises AppError with the message
    // for the user when the zoom is outside 0..30, the range holds more
    // tiles than a 32-bit count, or the image folder cannot be created.
    explicit MDTask(const TaskParameters* parameters);

    // The same task for tools that only look at what a task brought home:
    // the image folder is neither created nor required, and nothing on disk
    // changes.
    struct ReadOnly {};
    MDTask(const TaskParameters* parameters, ReadOnly);

    int ResumeX[16] = {};
    int ResumeY[16] = {};
    const TaskParameters* Parameters;
    int MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
    double LeftLongitudeDownload = 0, RightLongitudeDownload = 0;
    double TopLatitudeDownload = 0, BottomLatitudeDownload = 0;
    qint64 TotalCount = 0;
    TaskWalk Walk;  // the tiles the workers walk, TotalCount of them
    QString LogFileName;
    QString FailedFileName;
    QString ListFileName;
    QString ImageFolder;

    QString TileUrl(int x, int y) const;
    // The address template the tiles come from: the source's or the map type's.
    QString AddressTemplate() const;
    QString TileFileName(int x, int y) const;
    QString TileFilePath(int x, int y) const;
    QString ImageExtension() const;

    // The task files at Start. A new shaped task writes its area file first.
    // A new task removes an earlier project file
    // first and writes it last, so that a Start cut short (a kill, a full
    // disk) leaves no project file vouching for files that are not all
    // there. A continued task keeps its project file, tile list and failed
    // list, and only appends a continuation block to its log; what is missing
    // or cut short among them is written afresh. Either log block ends with
    // the pause line when a pause key is set. A pipe, device or folder at
    // one of the names is refused (FileWriteError) before anything is
    // written. The tile list asks `stopRequested` as it goes and raises
    // StartStopped when it says so, removing what it wrote of the list.
    void WriteTaskFiles(const QDateTime& now = QDateTime::currentDateTime(),
        const StopRequest& stopRequested = {}) const;
    void WriteProjectFile() const;
    void WriteAreaFile() const;
    // The list is written to the fixed temporary name "<list>.part", so a
    // Start killed while it wrote leaves nothing the next Start keeps.
    void WriteTileList(const StopRequest& stopRequested = {}) const;
    void WriteTaskLog(const QDateTime& now = QDateTime::currentDateTime()) const;
    void CreateFailedTileList() const;

    // Name of a task's files without ".qtsk" (from the name's last ".").
    static QString TaskBase(const QString& taskName);

private:
    // Range, count and file names; raises AppError as the constructor says.
    void DescribeTask();
    qint64 TileListSize() const;
    QByteArray TileListLinePrefix() const;
    QByteArray TileListNameSuffix() const;
    QStringList NewLogLines(const QString& timeLine) const;
    void ReadResumePoints();
    bool HasResumePoint() const;
    void AppendPauseLine(QStringList& lines) const;
};
