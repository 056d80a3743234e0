#include "viewer/online_tile_wish.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTilePixels = 256;

QRect Clipped(const QRect& tiles, int zoom)
{
    const int side = 1 << zoom;
    return tiles.intersected(QRect(0, 0, side, side));
}
}

OnlineTileWish OnlineTilesFor(const QRectF& visibleMap, int mapZoom, double pixelsPerTile, int maxZoom)
{
    OnlineTileWish wish;
    const int steps = int(std::lround(std::log2(pixelsPerTile / kTilePixels)));
    wish.Zoom = std::clamp(mapZoom + steps, 0, maxZoom);
    wish.Scale = std::ldexp(1.0, wish.Zoom - mapZoom);
    const QRectF online(visibleMap.topLeft() * wish.Scale, visibleMap.bottomRight() * wish.Scale);
    const QRect covering(QPoint(int(std::floor(online.left())), int(std::floor(online.top()))),
                         QPoint(int(std::ceil(online.right())) - 1, int(std::ceil(online.bottom())) - 1));
    wish.Visible = Clipped(covering, wish.Zoom);
    if (wish.Visible.isEmpty())
        return wish;

    const QPointF middle = online.center();
    const auto byDistance = [&middle](const QPoint& a, const QPoint& b) {
        const auto distance = [&middle](const QPoint& p) { return std::hypot(p.x() + 0.5 - middle.x(), p.y() + 0.5 - middle.y()); };
        return distance(a) < distance(b);
    };
    QList<QPoint> ring;
    const QRect withRing = Clipped(wish.Visible.adjusted(-1, -1, 1, 1), wish.Zoom);
    for (int y = withRing.top(); y <= withRing.bottom(); ++y)
        for (int x = withRing.left(); x <= withRing.right(); ++x)
            (wish.Visible.contains(x, y) ? wish.Tiles : ring).append(QPoint(x, y));
    std::sort(wish.Tiles.begin(), wish.Tiles.end(), byDistance);
    std::sort(ring.begin(), ring.end(), byDistance);
    wish.Tiles += ring;
    return wish;
}
