#pragma once

#include "combiner/mosaic_writer.h"
#include "combiner/output_file.h"

#include <functional>
#include <memory>

typedef struct tiff TIFF;
class OverviewPyramid;
class ScratchFile;

struct GeoTiffOptions {
    bool Overviews = true;  // Cloud Optimized, with internal overviews
    QString Attribution;    // the licence's credit line, as the file's copyright; empty: none
};

// A GeoTIFF in Web Mercator: RGBA with unassociated alpha, tiled 256 x 256 so
// that each source tile is one TIFF tile, DEFLATE (compressed on the reading
// threads), BigTIFF when the file could pass 4 GB. Tiles that are not stored
// are transparent.
//
// With overviews, the file is a Cloud Optimized GeoTIFF: internal overviews
// each half the size of the one above down to one tile, made as the rows go
// by on all cores and compressed at a faster DEFLATE level; the tiles wait
// in scratch files until the end, when the directories are written first,
// then the smallest overview's tiles, then each larger one's, the full
// image's last. Without, tiles go straight into the file.
class GeoTiffWriter : public MosaicWriter {
public:
    GeoTiffWriter(const QString& target, const MosaicGeometry& geometry, const GeoTiffOptions& options = {});
    ~GeoTiffWriter() override;

    int SpanLength() const override;
    bool NeedsPixels() const override { return true; }
    void PrepareTile(SourceTile& tile) const override;
    void WriteSpan(const std::vector<SourceTile>& tiles) override;
    void Finish() override;

    // Whether the file is written as BigTIFF: when the tiles uncompressed
    // (the worst case of DEFLATE, nearly) would pass the 4 GB of classic TIFF.
    static bool NeedsBigTiff(const MosaicGeometry& geometry, bool overviews);
    // The memory the tile tables take while the file is written, in bytes.
    static qint64 TileTableBytes(const MosaicGeometry& geometry, bool overviews);
    // The most the tile tables may take: half the machine's physical memory,
    // leaving the rest to the tiles on their way and to other programs.
    static qint64 TableMemoryLimit();

private:
    void StartDirectory(int level);
    void WriteCloudOptimized();
    void CopyLevel(int level);
    // Runs a write of our own into the file; a refused one fails the output.
    void WriteOrFail(const std::function<void()>& write);
    void AppendTile(uint32_t index, const QByteArray& data, bool framed);
    void Close();

    MosaicGeometry geometry_;
    GeoTiffOptions options_;
    PendingOutput output_;
    TIFF* tiff_ = nullptr;
    std::unique_ptr<ScratchFile> fullTiles_;
    std::vector<quint32> fullSizes_;
    std::unique_ptr<OverviewPyramid> overviews_;
};
