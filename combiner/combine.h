#pragma once

#include "combiner/output_format.h"
#include "combiner/task_tiles.h"
#include "task/map_type.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <memory>

class MosaicWriter;

struct CombineRequest {
    QStringList ProjectFiles;  // tasks of one map type; where two hold a tile, the first given wins
    QString Target;
    OutputFormat Format = OutputFormat::GeoTiff;
    bool Strict = false;       // any tile that is not stored ends the run with nothing written
    int LowerZooms = -1;       // tile sets: build every zoom from this one up to the lowest given; -1: none
    bool Overviews = true;     // GeoTIFF: Cloud Optimized, with internal overviews
    TileServers Servers;       // where the attribution comes from
    // Tile sets: an existing output made from the same tasks gets only the
    // tiles whose files changed since it was written (and the lower zooms
    // above them), in place; without one, the output is written whole.
    bool Update = false;
};

// How far a run has come, with its rate and the time left.
struct CombineProgress {
    qint64 Done = 0;
    qint64 Total = 0;
    double Seconds = 0;

    double TilesPerSecond() const { return Seconds > 0 ? Done / Seconds : 0; }
    // -1 while no rate is known yet.
    qint64 SecondsLeft() const;
    // "1,234 of 10,000 tiles, 812 tiles/s, 0:11 left"
    QString Text() const;
};

// What a run tells its user while it works; called on the run's thread.
class CombineObserver {
public:
    virtual ~CombineObserver() = default;
    virtual void Progress(const CombineProgress& progress) = 0;
    // One line per tile that is not stored, was scaled, converted or left
    // out: "missing: <file name>"; and what a format leaves out.
    virtual void TileNote(const QString& line) = 0;
    virtual bool CancelRequested() const { return false; }
};

struct CombineCounts {
    qint64 Stored = 0, Blank = 0, Failed = 0, Missing = 0, Unreadable = 0, Scaled = 0;
    qint64 Converted = 0, Duplicate = 0, Built = 0;
    void Count(const SourceTile& tile);
    // "9 stored, 1 missing, 0 failed, 0 blank, 0 unreadable, 0 scaled", then
    // ", 2 converted", ", 1 duplicate" and ", 85 built" where there are any.
    QString Text() const;
};

// Thrown by Combine() when the observer asked to cancel; nothing was written.
struct CombineCancelled {};

// Opens the tasks read-only and writes the target; the target (and its world
// and projection files) appear only when complete. Raises AppError with the
// user's message when nothing was written.
CombineCounts Combine(const CombineRequest& request, CombineObserver& observer);

// The report line of a tile, empty for a stored tile at its own size.
QString TileNoteLine(const SourceTile& tile);
