#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QRectF>

// Which tiles of an online map the view shows, and which it asks for.
struct OnlineTileWish {
    int Zoom = 0;
    // Online tiles per tile of the map's own zoom (a power of two, maybe below 1).
    double Scale = 1;
    // The online tiles in view (columns and rows at Zoom).
    QRect Visible;
    // Those in view, most central first, then one ring around them; never
    // beyond the edge of the world. Nothing further is fetched ahead.
    QList<QPoint> Tiles;
};

// The online zoom whose tiles come closest to their own 256 pixels at
// `pixelsPerTile` (at most `maxZoom`), and the tiles covering `visibleMap`
// (in tiles of `mapZoom`).
OnlineTileWish OnlineTilesFor(const QRectF& visibleMap, int mapZoom, double pixelsPerTile, int maxZoom = 19);
