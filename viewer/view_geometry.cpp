#include "viewer/view_geometry.h"

#include <algorithm>

namespace {
// A fitted area leaves a narrow frame, so its edges and overlays stay visible.
constexpr double kFitShare = 0.96;
}

void ViewGeometry::SetViewportSize(QSizeF size)
{
    viewport_ = QSizeF(std::max(1.0, size.width()), std::max(1.0, size.height()));
    pixelsPerTile_ = std::clamp(pixelsPerTile_, MinPixelsPerTile(), MaxPixelsPerTile());
    KeepAreaInReach();
}

void ViewGeometry::SetArea(QRectF tileArea)
{
    area_ = tileArea;
    Fit();
}

double ViewGeometry::MinPixelsPerTile() const
{
    const double fit = kFitShare * std::min(viewport_.width() / std::max(area_.width(), 1e-9),
                                            viewport_.height() / std::max(area_.height(), 1e-9));
    return std::min(fit, MaxPixelsPerTile());
}

void ViewGeometry::Fit()
{
    pixelsPerTile_ = MinPixelsPerTile();
    center_ = area_.center();
}

QPointF ViewGeometry::ToMap(QPointF screen) const
{
    const QPointF middle(viewport_.width() / 2, viewport_.height() / 2);
    return center_ + (screen - middle) / pixelsPerTile_;
}

QPointF ViewGeometry::ToScreen(QPointF map) const
{
    const QPointF middle(viewport_.width() / 2, viewport_.height() / 2);
    return middle + (map - center_) * pixelsPerTile_;
}

QRectF ViewGeometry::ToScreen(const QRectF& mapRect) const
{
    return QRectF(ToScreen(mapRect.topLeft()), ToScreen(mapRect.bottomRight()));
}

QRectF ViewGeometry::ToMap(const QRectF& screenRect) const
{
    return QRectF(ToMap(screenRect.topLeft()), ToMap(screenRect.bottomRight()));
}

QRectF ViewGeometry::VisibleMap() const
{
    return ToMap(QRectF(QPointF(0, 0), viewport_));
}

void ViewGeometry::ZoomAt(QPointF screen, double factor)
{
    const QPointF anchor = ToMap(screen);
    pixelsPerTile_ = std::clamp(pixelsPerTile_ * factor, MinPixelsPerTile(), MaxPixelsPerTile());
    const QPointF middle(viewport_.width() / 2, viewport_.height() / 2);
    center_ = anchor - (screen - middle) / pixelsPerTile_;
    KeepAreaInReach();
}

void ViewGeometry::PanBy(QPointF pixels)
{
    center_ -= pixels / pixelsPerTile_;
    KeepAreaInReach();
}

// The centre stays inside the area, so the task can never be panned out of sight.
void ViewGeometry::KeepAreaInReach()
{
    center_.setX(std::clamp(center_.x(), area_.left(), area_.right()));
    center_.setY(std::clamp(center_.y(), area_.top(), area_.bottom()));
}
