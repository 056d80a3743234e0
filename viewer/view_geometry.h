#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Where the map lies on the screen. Map positions are in tiles of the task's
// zoom (column and row as real numbers, rows growing south); the view shows
// them at PixelsPerTile() with Center() in the middle of the viewport. The
// scale runs from "the whole area fits" to a 4x over-zoom of the tiles.
class ViewGeometry {
public:
    static constexpr double kTilePixels = 256;
    static constexpr double kMaxOverZoom = 4;

    void SetViewportSize(QSizeF size);
    QSizeF ViewportSize() const { return viewport_; }

    // The area the view shows and keeps in reach; fits it.
    void SetArea(QRectF tileArea);
    QRectF Area() const { return area_; }

    // The whole area in the viewport, centred.
    void Fit();

    double PixelsPerTile() const { return pixelsPerTile_; }
    QPointF Center() const { return center_; }
    double MinPixelsPerTile() const;
    double MaxPixelsPerTile() const { return kTilePixels * kMaxOverZoom; }

    QPointF ToMap(QPointF screen) const;
    QPointF ToScreen(QPointF map) const;
    QRectF ToScreen(const QRectF& mapRect) const;
    QRectF ToMap(const QRectF& screenRect) const;
    // The map rectangle the viewport shows.
    QRectF VisibleMap() const;

    // Scales by `factor` within the limits; the map point under `screen` stays put.
    void ZoomAt(QPointF screen, double factor);
    // Moves the map with the pointer by `pixels`; the area's centre stays in view.
    void PanBy(QPointF pixels);

private:
    void KeepAreaInReach();

    QSizeF viewport_{1, 1};
    QRectF area_{0, 0, 1, 1};
    QPointF center_{0.5, 0.5};
    double pixelsPerTile_ = kTilePixels;
};
