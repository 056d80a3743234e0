#pragma once

#include "combiner/mosaic_writer.h"
#include "combiner/output_file.h"

typedef struct tiff TIFF;

// A GeoTIFF in Web Mercator: RGBA with unassociated alpha, tiled 256 x 256 so
// that each source tile is one TIFF tile, DEFLATE (compressed on the reading
// threads), BigTIFF when the file could pass 4 GB. Tiles that are not stored
// are transparent.
class GeoTiffWriter : public MosaicWriter {
public:
    GeoTiffWriter(const QString& target, const MosaicGeometry& geometry);
    ~GeoTiffWriter() override;

    int SpanLength() const override;
    bool NeedsPixels() const override { return true; }
    void PrepareTile(SourceTile& tile) const override;
    void WriteSpan(const std::vector<SourceTile>& tiles) override;
    void Finish() override;

    // Whether the file is written as BigTIFF: when the tiles uncompressed
    // (the worst case of DEFLATE, nearly) would pass the 4 GB of classic TIFF.
    static bool NeedsBigTiff(const MosaicGeometry& geometry);

private:
    void WriteGeoreference();
    void Close();

    MosaicGeometry geometry_;
    PendingOutput output_;
    TIFF* tiff_ = nullptr;
    QByteArray transparentTile_;
};

// Compresses `size` bytes into a zlib stream, as TIFF's DEFLATE stores it.
QByteArray DeflateTileData(const uchar* data, size_t size);
