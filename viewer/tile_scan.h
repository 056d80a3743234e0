#pragma once

#include "platform/work_pool.h"
#include "task/tile_state.h"
#include "viewer/coverage_map.h"

#include <QList>
#include <QObject>

class MDTask;

// What a task brought home, counted over all its tiles.
struct TileCounts {
    qint64 Stored = 0;
    qint64 Blank = 0;
    qint64 Failed = 0;
    qint64 Missing = 0;
    qint64 Unreadable = 0;
    qint64 Unchecked = 0;  // files found but not read yet
    qint64 BytesOnDisk = 0;  // of the task's tile files
};

struct TileStateChange {
    int X = 0;
    int Y = 0;
    TileState State = TileState::Missing;
};

// Finds out the state of every tile of a task on the pool, in two steps: one listing of the image folder and the failed-tile list tell which
// tiles have a file (Listed: coverage map and counts, files shown as stored),
// then every file found is read and decoded with time the machine has to
// spare (Checked, in batches, until Finished). Signals arrive on the thread
// that owns the scan.
//
// Then, while tiles are missing, it follows a task that may still be
// downloading: its workers walk the tiles column by column, top to bottom, so
// new files appear just past the furthest one seen. A few times a second, when
// the image folder has changed, only the tiles around that point and not seen
// yet are looked at; those found come as further Checked reports.
//
// The task must outlive the scan; it is only read.
class TileScan : public QObject {
    Q_OBJECT
public:
    TileScan(const MDTask& task, TileStateRule rule, QObject* parent = nullptr);
    ~TileScan() override;  // stops the scan and waits for it

    void Start();

signals:
    void Listed(const CoverageMap& coverage, const TileCounts& counts);
    void Checked(const QList<TileStateChange>& changes, const TileCounts& counts, qint64 filesChecked,
                 qint64 filesToCheck);
    void Finished(const TileCounts& counts);

private:
    struct FoundFile {
        int X;
        int Y;
    };
    // The three jobs of a scan, each starting the next from the owner's thread.
    void List(const PoolJobContext& job);
    void Check(const PoolJobContext& job, const QList<FoundFile>& files, CoverageMap coverage, TileCounts counts);
    QList<FoundFile> ListFiles(const PoolJobContext& job, CoverageMap& coverage, TileCounts& counts) const;
    void MarkFailedTiles(CoverageMap& coverage, TileCounts& counts) const;
    // Reads the files found; the counts after them.
    TileCounts CheckFiles(const PoolJobContext& job, const QList<FoundFile>& files, TileCounts counts);
    // Takes `files`, the files found, and lets them go once it knows where to look.
    void Follow(const PoolJobContext& job, QList<FoundFile> files, const CoverageMap& coverage, TileCounts counts);

    const MDTask& task_;
    const TileStateRule rule_;
    PoolJob job_;  // the stage under way
};
