#pragma once

#include <QPointF>
#include <QPolygonF>
#include <optional>

class QPainter;
class ViewGeometry;

// A polygon drawn on the map as the area of a new task: each click adds a
// corner, a double click or Enter closes it (from three corners on), Esc
// drops it. Corners are map positions; while drawing, a line runs from the
// last corner to the pointer.
class PolygonDrawing {
public:
    bool IsDrawing() const { return drawing_; }
    // The closed polygon, when there is one.
    std::optional<QPolygonF> Closed() const;

    // Starts a new polygon; one drawn before is dropped.
    void Start();
    void Clear();
    void AddCorner(QPointF map);
    void PointTo(QPointF map) { pointer_ = map; }
    // Closes the polygon; true when it had three distinct corners or more.
    bool Close();

    void Paint(QPainter& painter, const ViewGeometry& geometry) const;

private:
    bool drawing_ = false;
    bool closed_ = false;
    QPolygonF corners_;
    std::optional<QPointF> pointer_;
};
