#pragma once

#include "task/opened_task.h"
#include "viewer/coverage_map.h"
#include "viewer/tile_ages.h"
#include "viewer/tile_decoder.h"
#include "viewer/tile_image_cache.h"
#include "viewer/tile_scan.h"

#include <QObject>
#include <QPolygonF>
#include <QRectF>
#include <memory>

// A task as the viewer shows it: opened read-only, its tiles' states found
// by a scan, its images decoded on demand into a bounded cache. Everything
// slow runs off the GUI thread; this object only gathers the results.
class ViewedTask : public QObject {
    Q_OBJECT
public:
    // Raises AppError "Cannot open the task <file>: <reason>." for a bad file.
    explicit ViewedTask(const QString& projectFile, QObject* parent = nullptr);
    ~ViewedTask() override;

    QString ProjectFile() const { return projectFile_; }
    const MDTask& Task() const { return *opened_.Task; }
    const TaskParameters& Parameters() const { return *opened_.Parameters; }
    int Zoom() const { return opened_.Parameters->Zoom; }

    // The task's tiles, in tiles of its zoom (for the view geometry).
    QRectF TileArea() const;
    // The rectangle the task was asked for, in tiles of its zoom.
    QRectF RequestedArea() const;
    bool Contains(int x, int y) const;
    // A shaped task's area outline: its rings in tiles of its zoom (none for a rectangle task).
    bool IsShaped() const;
    const QList<QPolygonF>& AreaOutline() const { return outline_; }

    const CoverageMap& Coverage() const { return coverage_; }
    // When its tiles were fetched, as of the opening; empty until read.
    const TileAges& Ages() const { return ages_; }
    bool AgesRead() const { return agesRead_; }
    const TileCounts& Counts() const { return counts_; }
    bool IsListed() const { return listed_; }
    bool IsCounted() const { return counted_; }
    qint64 FilesChecked() const { return filesChecked_; }
    qint64 FilesToCheck() const { return filesToCheck_; }

    // The state of a tile when known (from its decoded image or the scan).
    std::optional<TileState> StateOf(int x, int y);

    // The images wanted now, most wanted first; those decoded are in Images().
    void Want(const QList<TileKey>& keys);
    TileImageCache& Images() { return images_; }
    bool IsDecoding() const;

signals:
    // Something to show has changed: repaint.
    void Changed();
    // The counts or the progress of the scan have changed.
    void CountsChanged();

private:
    void OnListed(const CoverageMap& coverage, const TileCounts& counts);
    void OnChecked(const QList<TileStateChange>& changes, const TileCounts& counts, qint64 checked, qint64 toCheck);
    void OnDecoded(const TileKey& key, const QImage& image, TileState state);

    QString projectFile_;
    OpenedTask opened_;
    CoverageMap coverage_;
    QList<QPolygonF> outline_;
    TileAges ages_;
    bool agesRead_ = false;
    bool listed_ = false;
    QList<TileStateChange> decodedBeforeListing_;
    TileCounts counts_;
    bool counted_ = false;
    qint64 filesChecked_ = 0;
    qint64 filesToCheck_ = 0;
    TileImageCache images_;
    PoolJob agesJob_;
    // Last: they read the task on their threads and stop before it goes.
    std::unique_ptr<TileScan> scan_;
    std::unique_ptr<TileDecoder> decoder_;
};
