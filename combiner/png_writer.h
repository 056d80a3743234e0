#pragma once

#include "combiner/mosaic_writer.h"
#include "combiner/output_file.h"

#include <cstdio>
#include <memory>
#include <vector>

struct PngStream;

// One RGBA PNG (colour type 6), written a scanline at a time, with its world
// file (.pgw), projection file (.prj) and GDAL's side file (.png.aux.xml,
// which GDAL and QGIS read for the coordinate system) beside it. Tiles that
// are not stored are transparent.
//
// A scanline needs a whole row of tiles: the tiles of a row wait compressed
// in bands of 32 lines, and each band is unpacked only when its lines are
// written, so memory grows little with the width.
class PngWriter : public MosaicWriter {
public:
    // `attribution`, when there is one, goes into the PAM file beside the
    // image as its copyright.
    PngWriter(const QString& target, const MosaicGeometry& geometry, const QString& attribution = {});
    ~PngWriter() override;

    int SpanLength() const override;
    bool NeedsPixels() const override { return true; }
    void PrepareTile(SourceTile& tile) const override;
    void WriteSpan(const std::vector<SourceTile>& tiles) override;
    void Finish() override;

    // The widest and highest image libpng reads without being told otherwise,
    // and so what GDAL and QGIS open. It also bounds the writer's memory: a
    // band of kBandLines lines across the image, 128 MB at the most.
    static constexpr qint64 kMaxSide = 1000000;

    // The six lines of the world file: pixel size, rotations, and the centre
    // of the upper-left pixel.
    static QByteArray WorldFileText(const MosaicGeometry& geometry);
    // GDAL's side file naming the coordinate system, EPSG:3857.
    static QByteArray AuxXmlText(const QString& attribution = {});

private:
    [[noreturn]] void Fail(const QString& what) const;
    void WriteRow();

    QString attribution_;
    MosaicGeometry geometry_;
    PendingOutput image_;
    PendingOutput worldFile_;
    PendingOutput projectionFile_;
    PendingOutput auxFile_;
    std::unique_ptr<PngStream> stream_;
    std::vector<QByteArray> row_;       // the row's tiles, packed in bands; empty: transparent
    std::vector<unsigned char> band_;   // the scanlines of one band
};

// "<name>.pgw" and "<name>.prj" beside "<name>.png".
QString SidecarName(const QString& imageName, const QString& suffix);
