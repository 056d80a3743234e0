#pragma once

#include "viewer/view_geometry.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class OnlineTileLoader;
class ViewedTask;
class QPainter;

// The map: a task's tiles as images, or as a coverage map when they would be
// drawn too small to see, over an optional online map, with the requested
// area, the tile grid and a Shift+drag selection on top. Without a task it
// shows the whole world.
//
// Pan by dragging or with the arrow keys; zoom with the wheel, +/- or a double
// click, keeping the point under the cursor in place.
class MapView : public QWidget {
    Q_OBJECT
public:
    // Below this many pixels per tile the view draws the coverage map.
    static constexpr double kCoverageBelowPixels = 16;
    // The tile grid appears from this many pixels per tile, its x/y labels later.
    static constexpr double kGridFromPixels = 24;
    static constexpr double kGridLabelsFromPixels = 96;

    explicit MapView(QWidget* parent = nullptr);

    // The task to show (not owned; nullptr for none). Fits it in the view.
    void SetTask(ViewedTask* task);
    // The online map drawn under the task's tiles (not owned; nullptr for none).
    void SetOnlineMap(OnlineTileLoader* loader);
    // The zoom level the map positions are counted in.
    int MapZoom() const;

    ViewGeometry& Geometry() { return geometry_; }
    bool IsCoverageMode() const { return geometry_.PixelsPerTile() < kCoverageBelowPixels; }

    void SetGridShown(bool shown);
    void SetRequestedAreaShown(bool shown);
    void Fit();
    void ZoomAtCenter(double factor);

    // The selected rectangle in map positions, when there is one.
    std::optional<QRectF> Selection() const { return selection_; }
    void ClearSelection();

signals:
    // The map position under the cursor; nothing when it left the view.
    void CursorMoved(std::optional<QPointF> map);
    void SelectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DrawOnlineMap(QPainter& painter);
    void DrawCoverage(QPainter& painter, const QRect& tiles);
    void DrawImages(QPainter& painter, const QRect& tiles);
    void DrawGrid(QPainter& painter, const QRect& tiles);
    void DrawRequestedArea(QPainter& painter);
    void DrawSelection(QPainter& painter);
    void DrawHint(QPainter& painter);
    // The task's tiles the viewport shows (empty without a task).
    QRect VisibleTiles() const;
    void ReportCursor(QPointF screen);

    // A screen rectangle on whole pixels, so neighbouring cells abut without seams.
    QRect CellOnScreen(const QRectF& map) const;

    QPointer<ViewedTask> task_;
    QPointer<OnlineTileLoader> online_;
    int wishedZoom_ = -1;
    QList<QPoint> wishedTiles_;
    ViewGeometry geometry_;
    bool gridShown_ = true;
    bool requestedAreaShown_ = true;
    std::optional<QPointF> dragFrom_;
    std::optional<QPointF> selectFrom_;
    std::optional<QRectF> selection_;
};
