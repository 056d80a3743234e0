#pragma once

#include "combiner/combine.h"
#include "combiner/mosaic_tiles.h"
#include "task/opened_task.h"

#include <functional>
#include <vector>

// What the outputs' runs share: the tasks opened, progress, cancel and the
// report of every tile.
class CombineRun {
public:
    CombineRun(const CombineRequest& request, CombineObserver& observer);

    const CombineRequest& Request() const { return request_; }
    const std::vector<OpenedTask>& Tasks() const { return tasks_; }
    CombineObserver& Observer() { return observer_; }
    CombineCounts& Counts() { return counts_; }
    int MapType() const { return tasks_.front().Parameters->MapsType; }
    // The credit line every output carries: what a source task recorded
    // when it started, else the configured one of the map type.
    QString Attribution() const;
    // The name a file made of these tasks goes by: the first task's name.
    QString Name() const;

    // Reads the mosaic span by span (rows top to bottom) with `prepare` run
    // on the reading threads, reports every task's tile (and where a later
    // task's tile is a duplicate) and hands each span's shown tiles to
    // `consume`; the next span is read while this one is consumed.
    void ReadMosaic(const MosaicTileReader& reader, int spanLength, bool wantPixels,
        const std::function<void(SourceTile&)>& prepare,
        const std::function<void(const std::vector<SourceTile>&)>& consume);
    // Counts and reports a stored tile of task `index` left out because
    // task `keptFrom` gave the same one.
    void NoteDuplicate(const SourceTile& tile, size_t index, size_t keptFrom);

    void AddToTotal(qint64 tiles) { progress_.Total += tiles; }
    void Advance(qint64 tiles);
    void CheckCancel() const;

private:
    void ReportTiles(const MosaicSpan& span);
    void ReportTile(const SourceTile& tile);

    const CombineRequest& request_;
    CombineObserver& observer_;
    std::vector<OpenedTask> tasks_;
    CombineCounts counts_;
    CombineProgress progress_;
    QElapsedTimer clock_;
};

// The runs of each kind of output.
void CombineImage(CombineRun& run);
void CombineTileSet(CombineRun& run);
