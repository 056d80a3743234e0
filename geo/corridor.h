#pragma once

#include <memory>

class OGRGeometry;

// Every place within `metres` on the ground of the lines and points of
// `geometry` (WGS 84 degrees, x longitude), as a polygon in WGS 84 degrees.
// The line is cut into short pieces and each piece is buffered in Web
// Mercator with the distance scaled by 1/cos(latitude) of that piece, so the
// corridor is as wide at 60 degrees as at the equator. Polygons in
// `geometry` contribute their rings (a corridor around them). Nothing when
// the geometry has no lines, points or rings.
std::unique_ptr<OGRGeometry> CorridorAround(const OGRGeometry& geometry, double metres);
