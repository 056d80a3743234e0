#pragma once

// Conversions between degrees and the tile grid of the web-map tile scheme
// (spherical Web Mercator). At zoom z the world is n x n tiles, n = 2^z;
// columns count east from longitude -180, rows south from latitude
// 85.0511287798066. Inputs are validated by the caller (longitudes within
// -180..180, latitudes within -85..85, zoom 0..30).

// The column that contains `longitude`. Not clamped: longitude 180 gives n.
int LongitudeToTileX(double longitude, int zoom);

// The row that contains `latitude`.
int LatitudeToTileY(double latitude, int zoom);

// The same positions before truncation: where within its tile a point lies
// (the map viewer places points on the screen with them).
double LongitudeToTileXFraction(double longitude, int zoom);
double LatitudeToTileYFraction(double latitude, int zoom);

// Longitude of column edge `x` (pass x + 1 for a tile's east edge).
double TileXToLongitude(double x, int zoom);

// Latitude of row edge `y` (pass y + 1 for a tile's south edge).
double TileYToLatitude(double y, int zoom);

// The zooms the grid handles: n = 2^z must fit a 32-bit signed integer.
constexpr int kMinZoom = 0;
constexpr int kMaxZoom = 30;
