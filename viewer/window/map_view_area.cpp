// The map's areas beyond rectangles: a shaped task's outline, and a polygon
// drawn as a new task's area.
#include "viewer/viewed_task.h"
#include "viewer/window/map_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
const QColor kAreaOutline(0x15, 0x65, 0xc0);
}

void MapView::StartPolygon()
{
    selection_.reset();
    selectFrom_.reset();
    dragFrom_.reset();
    polygon_.Start();
    setCursor(Qt::CrossCursor);
    setFocus();
    emit SelectionChanged();
    update();
}

void MapView::DrawAreaOutline(QPainter& painter, const ViewedTask& task)
{
    const double scale = ShownScale();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kAreaOutline, 2, Qt::DashLine));
    for (const QPolygonF& ring : task.AreaOutline()) {
        QPolygonF screen;
        screen.reserve(ring.size());
        for (const QPointF& corner : ring)
            screen << geometry_.ToScreen(corner * scale);
        painter.drawPolygon(screen);
    }
    painter.restore();
}

bool MapView::PolygonPress(QMouseEvent* event)
{
    if (!polygon_.IsDrawing())
        return false;
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (polygon_.Close()) {
            unsetCursor();
            emit SelectionChanged();
        }
    } else {
        polygon_.AddCorner(geometry_.ToMap(event->position()));
    }
    update();
    return true;
}

bool MapView::PolygonKey(QKeyEvent* event)
{
    if (!polygon_.IsDrawing())
        return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (polygon_.Close()) {
            unsetCursor();
            emit SelectionChanged();
        }
        break;
    case Qt::Key_Escape:
        ClearSelection();
        break;
    default:
        return false;
    }
    update();
    return true;
}
