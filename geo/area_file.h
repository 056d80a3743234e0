#pragma once

#include "geo/area_shape.h"

#include <QString>
#include <cstdint>

// The area of a shaped task kept beside its project file as NAME.area.geojson:
// one feature, its (multi)polygon in WGS 84 degrees, already buffered, with
// every coordinate to full double precision so reading it back gives the same
// tiles. The task depends on this file only, never on the file the shape
// came from.

// "<project without .qtsk>.area.geojson" beside the project file.
QString AreaFileNameFor(const QString& projectFileName);

// Area files larger than this are refused unread.
constexpr std::int64_t kMaxAreaFileBytes = 64 * 1024 * 1024;

// Writes the file through GDAL's GeoJSON driver and replaces any old one
// atomically. Returns the user's text of a failure, empty on success.
QString WriteAreaFile(const AreaShape& shape, const QString& fileName);

// Reads an area file back. Problems: CannotRead (missing, unreadable, not an
// area file), TooLarge (above kMaxAreaFileBytes).
ShapeResult ReadAreaFile(const QString& fileName);
