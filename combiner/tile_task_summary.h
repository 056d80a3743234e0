#pragma once

#include "combiner/mosaic_geometry.h"
#include "combiner/output_format.h"

#include <functional>

class MDTask;

// A few stored tiles spread over a task, encoded as the outputs store them:
// how much a tile file grows or shrinks in each is read from real tiles.
struct EncodedSample {
    static constexpr int kTiles = 24;
    int Tiles = 0;
    qint64 FileBytes = 0;  // the sampled tile files
    qint64 TiffBytes = 0;  // their pixels as DEFLATE TIFF tiles
    qint64 OverviewBytes = 0;  // overview tiles of four such tiles halved, by a quarter each
    qint64 PngBytes = 0;   // their pixels as RGBA PNG files (the joined PNG, built lower zooms)

    EncodedSample& operator+=(const EncodedSample& more)
    {
        Tiles += more.Tiles, FileBytes += more.FileBytes, TiffBytes += more.TiffBytes, PngBytes += more.PngBytes;
        OverviewBytes += more.OverviewBytes;
        return *this;
    }
};

// What a task holds before it is combined, from the files alone (whether a
// stored file decodes is found out while combining), and a sample of its
// stored tiles encoded.
struct TileTaskSummary {
    MosaicGeometry Geometry;
    qint64 Tiles = 0;  // the task's own: a shaped task's area's, not its rectangle's
    qint64 Stored = 0, Blank = 0, Failed = 0, Missing = 0;
    qint64 Unreadable = 0;   // links, pipes, devices and files too large for a tile
    qint64 StoredBytes = 0;  // the stored tile files together
    EncodedSample Sample;
};

// By the same rule as TileStateRule::ForTask. A large task takes a while:
// `carryOn`, when given, is asked before each tile with how many are counted,
// and a false answer stops the count (what it returns then is incomplete).
TileTaskSummary SummariseTask(const MDTask& task, const std::function<bool(qint64 counted)>& carryOn = {});

// Up to EncodedSample::kTiles stored tiles, at places spread evenly over the task.
EncodedSample SampleEncodings(const MDTask& task);

// The size of the output from the stored bytes, grown or shrunk as the
// sample was: a GeoTIFF with its overviews (unless left out), a PNG, a tile set holding the
// tile files unchanged. Without a sample, DEFLATE of RGBA pixels is taken as
// one and a half times the tile files' own palette PNGs.
qint64 EstimateOutputBytes(const TileTaskSummary& summary, OutputFormat format, bool overviews = true);
// The lower zooms a tile set builds below `lowest`, `levels` of them.
qint64 EstimateLowerZoomBytes(const TileTaskSummary& lowest, int levels);
