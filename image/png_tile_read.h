#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstddef>

// Where libpng puts the rows it inflates: one scratch row for a check, the
// rows of an image for a decode. Prepare is called once the header is known.
class PngRowTarget {
public:
    virtual ~PngRowTarget() = default;
    // An empty text accepts the image; any other text is why it is refused.
    virtual QString Prepare(QSize size, bool hasAlpha, size_t rowBytes) = 0;
    virtual unsigned char* Row(int y) = 0;
};

enum class PngPixels {
    AsStored,  // no conversion: enough to know that every row inflates
    Rgba8,     // 8-bit R, G, B, A (A = 255 for an opaque image)
};

// Reads a whole PNG from memory through libpng with its limits set: at most
// kMaxTileEdge pixels either way, bounded chunk allocations, ancillary
// chunks a tile does not need skipped unread. libpng's own messages never
// reach stderr: a failure comes back as the text, e.g. "PNG: CRC error";
// an empty text means every row and the end chunk were read.
QString ReadPng(const QByteArray& bytes, PngPixels pixels, PngRowTarget& target);
