#pragma once

#include "viewer/view_geometry.h"
#include "viewer/window/polygon_drawing.h"

#include <QPointer>
#include <QWidget>
#include <optional>

class OnlineTileLoader;
class ViewedTask;
class QPainter;

// The map: a task's tiles as images, or as a coverage map when they would be
// drawn too small to see, over an optional online map, with the requested
// area, the tile grid and a Shift+drag selection on top. Without a task it
// shows the whole world. Given the tasks of a zoom series, it shows the one
// whose tiles are drawn closest to their own size.
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
    // The tasks of a zoom series, lowest zoom first (not owned). Fits them in the view.
    void SetTasks(const QList<ViewedTask*>& tasks);
    // The task drawn at the present scale (nullptr without a task).
    ViewedTask* ShownTask() const;
    // The online map drawn under the task's tiles (not owned; nullptr for none).
    void SetOnlineMap(OnlineTileLoader* loader);
    // The zoom level the map positions are counted in.
    int MapZoom() const;

    ViewGeometry& Geometry() { return geometry_; }
    bool IsCoverageMode() const { return PixelsPerShownTile() < kCoverageBelowPixels; }

    void SetGridShown(bool shown);
    void SetRequestedAreaShown(bool shown);
    // Tints each tile shown as an image by its age (see TileAge).
    void SetAgeShown(bool shown);
    void Fit();
    void ZoomAtCenter(double factor);

    // The selected rectangle in map positions, when there is one.
    std::optional<QRectF> Selection() const { return selection_; }
    void ClearSelection();
    // Starts drawing a polygon as the new task's area (see PolygonDrawing);
    // it replaces the selected rectangle. The polygon once closed, in map positions.
    void StartPolygon();
    std::optional<QPolygonF> Polygon() const { return polygon_.Closed(); }

signals:
    // The map position under the cursor; nothing when it left the view.
    void CursorMoved(std::optional<QPointF> map);
    void SelectionChanged();
    // The scale now calls for the tiles of another task of the series.
    void ShownTaskChanged();

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
    void DrawCoverage(QPainter& painter, ViewedTask& task, const QRect& tiles);
    void DrawImages(QPainter& painter, ViewedTask& task, const QRect& tiles);
    void DrawGrid(QPainter& painter, const QRect& tiles);
    void DrawRequestedArea(QPainter& painter, const ViewedTask& task);
    // A shaped task's outline instead of its rectangle.
    void DrawAreaOutline(QPainter& painter, const ViewedTask& task);
    // Mouse and key events for the polygon being drawn; true when taken.
    bool PolygonPress(QMouseEvent* event);
    bool PolygonKey(QKeyEvent* event);
    void DrawSelection(QPainter& painter);
    void DrawHint(QPainter& painter);
    // The shown task's tiles the viewport shows (empty without a task).
    QRect VisibleTiles(const ViewedTask& task) const;
    void ReportCursor(QPointF screen);
    // Takes the task the scale calls for, and tells when it is another.
    void NoteShownTask();
    // Repaints after a change of scale.
    void Rescaled();

    // Map positions per tile of the shown task, and its tiles' size on screen.
    double ShownScale() const;
    double PixelsPerShownTile() const { return geometry_.PixelsPerTile() * ShownScale(); }
    // A rectangle in tiles of the shown task, in map positions.
    QRectF ShownToMap(const QRectF& tiles) const;
    // A screen rectangle on whole pixels, so neighbouring cells abut without seams.
    QRect CellOnScreen(const QRectF& map) const;

    QList<QPointer<ViewedTask>> tasks_;  // lowest zoom first
    QPointer<ViewedTask> shown_;
    QPointer<OnlineTileLoader> online_;
    int wishedZoom_ = -1;
    QList<QPoint> wishedTiles_;
    ViewGeometry geometry_;
    bool gridShown_ = true;
    bool requestedAreaShown_ = true;
    bool ageShown_ = false;
    std::optional<QPointF> dragFrom_;
    std::optional<QPointF> selectFrom_;
    std::optional<QRectF> selection_;
    PolygonDrawing polygon_;
};
