#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

// A tile wider or taller than this is not decoded: far above any real tile,
// small enough that decoding one takes bounded memory (64 MB of pixels).
constexpr int kMaxTileEdge = 4096;

// What a tile file's bytes gave: an image (or only its size, for a check),
// or why they do not decode. The reason never goes to stderr; it belongs in
// the tile's report line.
struct TileImage {
    QImage Image;      // null for a check or when the bytes do not decode
    QSize Size;        // the file's own size in pixels; invalid when it does not decode
    QString Problem;   // e.g. "PNG: CRC error", "larger than 4096 x 4096 pixels"

    bool Decodes() const { return Size.isValid(); }
};

// Whether the bytes decode whole, and at what size, without keeping the
// pixels: a PNG is inflated row by row into one buffer, so damaged chunks,
// CRC and zlib errors and truncation are caught as a full decode catches them.
TileImage CheckTileImage(const QByteArray& bytes);

// The size a decoded image is brought to, from its own size.
using TileImageScale = std::function<QSize(QSize original)>;

// Decodes the bytes. PNGs come as 8-bit RGBA with unassociated alpha (RGBX
// when opaque). When `scaleTo` gives another size, the image is scaled
// smoothly with premultiplied colours (so transparent pixels neither bleed
// nor turn a palette image into noise) and comes premultiplied.
TileImage DecodeTileImage(const QByteArray& bytes, const TileImageScale& scaleTo = {});
