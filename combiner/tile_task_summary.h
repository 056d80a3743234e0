#pragma once

#include "combiner/mosaic_geometry.h"
#include "combiner/output_format.h"

#include <functional>

class MDTask;

// What a task holds before it is combined, from the files alone (whether a
// stored file decodes is found out while combining).
struct TileTaskSummary {
    MosaicGeometry Geometry;
    qint64 Stored = 0, Blank = 0, Failed = 0, Missing = 0;
    qint64 Unreadable = 0;   // links, pipes, devices and files too large for a tile
    qint64 StoredBytes = 0;  // the stored tile files together
};

// By the same rule as TileStateRule::ForTask. A large task takes a while:
// `carryOn`, when given, is asked before each tile with how many are counted,
// and a false answer stops the count (what it returns then is incomplete).
TileTaskSummary SummariseTask(const MDTask& task, const std::function<bool(qint64 counted)>& carryOn = {});

// A rough size of the output: DEFLATE of RGBA pixels takes about one and a half times the
// tile files' own palette PNGs, MBTiles holds them unchanged.
qint64 EstimateOutputBytes(const TileTaskSummary& summary, OutputFormat format);
