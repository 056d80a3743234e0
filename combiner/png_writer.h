#pragma once

#include "combiner/mosaic_writer.h"
#include "combiner/output_file.h"

#include <cstdio>
#include <memory>
#include <vector>

struct PngStream;

// One RGBA PNG (colour type 6), written a scanline at a time from one row of
// tiles, with its world file (.pgw) and projection file (.prj) beside it.
// Tiles that are not stored are transparent.
class PngWriter : public MosaicWriter {
public:
    PngWriter(const QString& target, const MosaicGeometry& geometry);
    ~PngWriter() override;

    int SpanLength() const override;
    bool NeedsPixels() const override { return true; }
    void PrepareTile(SourceTile& tile) const override;
    void WriteSpan(const std::vector<SourceTile>& tiles) override;
    void Finish() override;

    // The PNG format's limit for either side.
    static constexpr qint64 kMaxSide = 0x7FFFFFFF;

    // The six lines of the world file: pixel size, rotations, and the centre
    // of the upper-left pixel.
    static QByteArray WorldFileText(const MosaicGeometry& geometry);
    // EPSG:3857 as WKT, the way GIS programs read a .prj.
    static QByteArray ProjectionText();

private:
    [[noreturn]] void Fail(const QString& what) const;

    MosaicGeometry geometry_;
    PendingOutput image_;
    PendingOutput worldFile_;
    PendingOutput projectionFile_;
    std::unique_ptr<PngStream> stream_;
    std::vector<unsigned char> scanline_;
};

// "<name>.pgw" and "<name>.prj" beside "<name>.png".
QString SidecarName(const QString& imageName, const QString& suffix);
