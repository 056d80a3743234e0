#pragma once

#include "combiner/task_tiles.h"

#include <vector>

// One output format. The combiner hands it the task's tiles span by span in
// row order (rows top to bottom, each row left to right); nothing appears
// under the target's name before Finish().
class MosaicWriter {
public:
    virtual ~MosaicWriter() = default;

    // How many tiles of a row one span holds (PNG needs whole rows).
    virtual int SpanLength() const = 0;
    // Whether stored tiles reach PrepareTile with their RGBA pixels.
    virtual bool NeedsPixels() const = 0;
    // Per-tile work on the reading threads (compression, dropping what the
    // format does not need).
    virtual void PrepareTile(SourceTile& tile) const = 0;
    virtual void WriteSpan(const std::vector<SourceTile>& tiles) = 0;
    // Completes every file and renames it over its target.
    virtual void Finish() = 0;
};

// Spans of a format that places each tile on its own: bounded whatever the width.
constexpr int kTilesPerSpan = 64;
