#include "viewer/window/polygon_drawing.h"

#include "viewer/view_geometry.h"

#include <QPainter>

namespace {
const QColor kPolygon(0x8e, 0x24, 0xaa);
}

std::optional<QPolygonF> PolygonDrawing::Closed() const
{
    return closed_ ? std::optional<QPolygonF>(corners_) : std::nullopt;
}

void PolygonDrawing::Start()
{
    Clear();
    drawing_ = true;
}

void PolygonDrawing::Clear()
{
    drawing_ = false;
    closed_ = false;
    corners_.clear();
    pointer_.reset();
}

void PolygonDrawing::AddCorner(QPointF map)
{
    // The two clicks of a double click land on one corner.
    if (drawing_ && (corners_.isEmpty() || corners_.last() != map))
        corners_ << map;
}

bool PolygonDrawing::Close()
{
    if (!drawing_ || corners_.size() < 3)
        return false;
    drawing_ = false;
    closed_ = true;
    pointer_.reset();
    return true;
}

void PolygonDrawing::Paint(QPainter& painter, const ViewGeometry& geometry) const
{
    if (corners_.isEmpty())
        return;
    QPolygonF screen;
    for (const QPointF& corner : corners_)
        screen << geometry.ToScreen(corner);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kPolygon, 2));
    if (closed_) {
        QColor fill = kPolygon;
        fill.setAlpha(40);
        painter.setBrush(fill);
        painter.drawPolygon(screen);
    } else {
        if (pointer_)
            screen << geometry.ToScreen(*pointer_);
        painter.drawPolyline(screen);
    }
    painter.restore();
}
