#include "viewer/window/map_view.h"

#include "geo/tile_math.h"
#include "platform/message_box.h"
#include "task/download_task.h"
#include "viewer/online/online_tiles.h"
#include "viewer/online_tile_wish.h"
#include "viewer/tile_style.h"
#include "viewer/viewed_series.h"
#include "viewer/viewed_task.h"
#include "viewer/window/tile_cell_painter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace {
// Without a task the world is shown in tiles of this zoom: deep enough to
// choose an area for any task.
constexpr int kWorldZoom = 18;
constexpr double kKeyPanPixels = 64;
constexpr double kKeyZoomFactor = 1.5;
const QColor kBackground(0xf7, 0xf7, 0xf4);
const QColor kRequestedArea(0x15, 0x65, 0xc0);
const QColor kSelection(0x8e, 0x24, 0xaa);

QRectF WorldArea()
{
    const double side = double(1 << kWorldZoom);
    return QRectF(0, 0, side, side);
}

// The coverage map lets the online map show through.
constexpr double kCoverageOverMapOpacity = 0.6;

// Selections smaller than this many pixels are taken as clicks.
constexpr double kSmallestSelectionPixels = 3;
}

MapView::MapView(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    geometry_.SetArea(WorldArea());
}

void MapView::SetTask(ViewedTask* task)
{
    SetTasks(task ? QList<ViewedTask*>{task} : QList<ViewedTask*>());
}

void MapView::SetTasks(const QList<ViewedTask*>& tasks)
{
    for (const QPointer<ViewedTask>& task : std::as_const(tasks_))
        if (task)
            disconnect(task, nullptr, this, nullptr);
    tasks_.clear();
    shown_ = nullptr;
    QRectF area;
    for (ViewedTask* task : tasks) {
        tasks_.append(task);
        connect(task, &ViewedTask::Changed, this, qOverload<>(&QWidget::update));
        // Map positions are tiles of the deepest zoom, the last task.
        const double scale = std::ldexp(1.0, tasks.back()->Zoom() - task->Zoom());
        area |= QRectF(task->TileArea().topLeft() * scale, task->TileArea().size() * scale);
    }
    selection_.reset();
    polygon_.Clear();
    geometry_.SetViewportSize(size());
    geometry_.SetArea(tasks_.isEmpty() ? WorldArea() : area);
    emit SelectionChanged();
    Rescaled();
}

ViewedTask* MapView::ShownTask() const
{
    QList<int> zooms;
    for (const QPointer<ViewedTask>& task : tasks_) {
        if (!task)
            return nullptr;
        zooms.append(task->Zoom());
    }
    if (zooms.isEmpty())
        return nullptr;
    return tasks_[ZoomClosestToTileSize(zooms, MapZoom(), geometry_.PixelsPerTile())];
}

void MapView::NoteShownTask()
{
    ViewedTask* shown = ShownTask();
    if (shown == shown_)
        return;
    // Only the shown task keeps decoded images: each level of a series would otherwise fill a cache of its own.
    if (shown_) {
        shown_->Want({});
        shown_->Images().Clear();
    }
    shown_ = shown;
    emit ShownTaskChanged();
}

void MapView::Rescaled()
{
    NoteShownTask();
    update();
}

double MapView::ShownScale() const
{
    return shown_ ? std::ldexp(1.0, MapZoom() - shown_->Zoom()) : 1.0;
}

QRectF MapView::ShownToMap(const QRectF& tiles) const
{
    const double scale = ShownScale();
    return QRectF(tiles.topLeft() * scale, tiles.size() * scale);
}

void MapView::SetOnlineMap(OnlineTileLoader* loader)
{
    if (online_)
        disconnect(online_, nullptr, this, nullptr);
    online_ = loader;
    wishedZoom_ = -1;
    wishedTiles_.clear();
    if (online_)
        connect(online_, &OnlineTileLoader::TileArrived, this, qOverload<>(&QWidget::update));
    update();
}

int MapView::MapZoom() const
{
    return !tasks_.isEmpty() && tasks_.back() ? tasks_.back()->Zoom() : kWorldZoom;
}

void MapView::SetGridShown(bool shown)
{
    gridShown_ = shown;
    update();
}

void MapView::SetAgeShown(bool shown)
{
    ageShown_ = shown;
    update();
}

void MapView::SetRequestedAreaShown(bool shown)
{
    requestedAreaShown_ = shown;
    update();
}

void MapView::Fit()
{
    geometry_.Fit();
    Rescaled();
}

void MapView::ZoomAtCenter(double factor)
{
    geometry_.ZoomAt(QPointF(width() / 2.0, height() / 2.0), factor);
    Rescaled();
}

void MapView::ClearSelection()
{
    selection_.reset();
    selectFrom_.reset();
    polygon_.Clear();
    unsetCursor();
    emit SelectionChanged();
    update();
}

QRect MapView::VisibleTiles(const ViewedTask& task) const
{
    const double scale = ShownScale();
    const QRectF map = geometry_.VisibleMap();
    const QRectF visible = QRectF(map.topLeft() / scale, map.size() / scale).intersected(task.TileArea());
    if (visible.isEmpty())
        return {};
    return QRect(QPoint(int(std::floor(visible.left())), int(std::floor(visible.top()))),
                 QPoint(int(std::ceil(visible.right())) - 1, int(std::ceil(visible.bottom())) - 1));
}

void MapView::paintEvent(QPaintEvent*)
{
    NoteShownTask();
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (online_)
        DrawOnlineMap(painter);
    if (!shown_) {
        if (!online_)
            DrawHint(painter);
        DrawSelection(painter);
        return;
    }
    ViewedTask& shown = *shown_;
    if (!online_ && !shown.IsShaped())
        painter.fillRect(geometry_.ToScreen(ShownToMap(shown.TileArea())), TileStateColor(TileState::Missing));
    const QRect tiles = VisibleTiles(shown);
    if (!tiles.isEmpty()) {
        if (IsCoverageMode()) {
            painter.setOpacity(online_ ? kCoverageOverMapOpacity : 1.0);
            DrawCoverage(painter, shown, tiles);
            painter.setOpacity(1.0);
        } else {
            DrawImages(painter, shown, tiles);
        }
        if (gridShown_ && PixelsPerShownTile() >= kGridFromPixels)
            DrawGrid(painter, tiles);
    }
    if (requestedAreaShown_)
        DrawRequestedArea(painter, shown);
    DrawSelection(painter);
}

QRect MapView::CellOnScreen(const QRectF& map) const
{
    const QRectF screen = geometry_.ToScreen(map);
    return QRect(QPoint(int(std::lround(screen.left())), int(std::lround(screen.top()))),
                 QPoint(int(std::lround(screen.right())) - 1, int(std::lround(screen.bottom())) - 1));
}

void MapView::DrawOnlineMap(QPainter& painter)
{
    const OnlineTileWish wish = OnlineTilesFor(geometry_.VisibleMap(), MapZoom(), geometry_.PixelsPerTile());
    if (wish.Zoom != wishedZoom_ || wish.Tiles != wishedTiles_) {
        online_->SetWantedTiles(wish.Zoom, wish.Tiles);
        wishedZoom_ = wish.Zoom;
        wishedTiles_ = wish.Tiles;
    }
    const double side = 1 / wish.Scale;
    for (int y = wish.Visible.top(); y <= wish.Visible.bottom(); ++y) {
        for (int x = wish.Visible.left(); x <= wish.Visible.right(); ++x) {
            const QRect cell = CellOnScreen(QRectF(x * side, y * side, side, side));
            switch (online_->TileStatus(wish.Zoom, x, y)) {
            case OnlineTileLoader::Status::Ready:
                painter.drawImage(cell, online_->TileImage(wish.Zoom, x, y));
                break;
            case OnlineTileLoader::Status::Failed:
                PaintTileWithoutImage(painter, cell, TileState::Failed);
                break;
            case OnlineTileLoader::Status::Absent:
            case OnlineTileLoader::Status::Loading:
                PaintPlaceholder(painter, cell);
                break;
            }
        }
    }
}

void MapView::DrawCoverage(QPainter& painter, ViewedTask& task, const QRect& tiles)
{
    const CoverageMap& coverage = task.Coverage();
    const int block = coverage.BlockSize();
    const QPoint origin = coverage.Tiles().topLeft();
    // Whole cells only, so cell edges land where the tiles' edges are.
    const QRect cells(QPoint((tiles.left() - origin.x()) / block, (tiles.top() - origin.y()) / block),
                      QPoint((tiles.right() - origin.x()) / block, (tiles.bottom() - origin.y()) / block));
    const QRectF mapRect(QPointF(origin.x() + double(cells.left()) * block, origin.y() + double(cells.top()) * block),
                         QSizeF(double(cells.width()) * block, double(cells.height()) * block));
    painter.drawImage(geometry_.ToScreen(ShownToMap(mapRect)), coverage.Image(), QRectF(cells));
}

void MapView::DrawImages(QPainter& painter, ViewedTask& task, const QRect& tiles)
{
    const int edge = DecodeEdgeFor(PixelsPerShownTile() * devicePixelRatioF());
    const QPointF middle = geometry_.Center() / ShownScale();
    QList<TileKey> wanted;
    TileImageCache& images = task.Images();
    for (int y = tiles.top(); y <= tiles.bottom(); ++y) {
        for (int x = tiles.left(); x <= tiles.right(); ++x) {
            if (!task.Contains(x, y))
                continue;
            const TileKey key{x, y, edge};
            // Images of the cell's size are drawn as a plain copy.
            const QRect cell = CellOnScreen(ShownToMap(QRectF(x, y, 1, 1)));
            const TileImageCache::Entry* entry = images.Find(key);
            if (!entry) {
                const auto known = task.Coverage().TileStateAt(x, y);
                if (known == TileState::Missing || known == TileState::Failed) {
                    PaintTileWithoutImage(painter, cell, *known);
                    continue;
                }
                wanted.append(key);
                entry = images.FindAnySize(key);
            }
            if (!entry)
                PaintPlaceholder(painter, cell);
            else if (entry->Image.isNull())
                PaintTileWithoutImage(painter, cell, entry->State);
            else
                PaintTileImage(painter, cell, entry->Image, entry->State);
            if (ageShown_ && entry && entry->State == TileState::Stored)
                painter.fillRect(cell, TileAgeColor(task.Ages().AgeOf(x, y)));
        }
    }
    // Nearest the middle of the view first.
    std::sort(wanted.begin(), wanted.end(), [&middle](const TileKey& a, const TileKey& b) {
        const auto distance = [&middle](const TileKey& k) {
            return std::hypot(k.X + 0.5 - middle.x(), k.Y + 0.5 - middle.y());
        };
        return distance(a) < distance(b);
    });
    task.Want(wanted);
}

void MapView::DrawGrid(QPainter& painter, const QRect& tiles)
{
    painter.save();
    painter.setPen(QPen(QColor(0, 0, 0, 70), 1));
    const double scale = ShownScale();
    const QRectF area = geometry_.ToScreen(ShownToMap(QRectF(QPointF(tiles.left(), tiles.top()),
                                                             QPointF(tiles.right() + 1.0, tiles.bottom() + 1.0))));
    for (int x = tiles.left(); x <= tiles.right() + 1; ++x) {
        const double sx = std::round(geometry_.ToScreen(QPointF(x * scale, 0)).x()) + 0.5;
        painter.drawLine(QPointF(sx, area.top()), QPointF(sx, area.bottom()));
    }
    for (int y = tiles.top(); y <= tiles.bottom() + 1; ++y) {
        const double sy = std::round(geometry_.ToScreen(QPointF(0, y * scale)).y()) + 0.5;
        painter.drawLine(QPointF(area.left(), sy), QPointF(area.right(), sy));
    }
    if (PixelsPerShownTile() >= kGridLabelsFromPixels) {
        const QFontMetrics metrics(font());
        for (int y = tiles.top(); y <= tiles.bottom(); ++y) {
            for (int x = tiles.left(); x <= tiles.right(); ++x) {
                const QString label = QStringLiteral("%1/%2").arg(x).arg(y);
                const QPointF corner = geometry_.ToScreen(QPointF(x * scale, y * scale)) + QPointF(4, 4);
                const QRectF box(corner, QSizeF(metrics.horizontalAdvance(label) + 6, metrics.height() + 2));
                painter.fillRect(box, QColor(255, 255, 255, 170));
                painter.setPen(Qt::black);
                painter.drawText(box, Qt::AlignCenter, label);
            }
        }
    }
    painter.restore();
}

void MapView::DrawRequestedArea(QPainter& painter, const ViewedTask& task)
{
    if (task.IsShaped()) {
        DrawAreaOutline(painter, task);
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kRequestedArea, 2, Qt::DashLine));
    painter.drawRect(geometry_.ToScreen(ShownToMap(task.RequestedArea())));
    painter.restore();
}

void MapView::DrawSelection(QPainter& painter)
{
    polygon_.Paint(painter, geometry_);
    if (!selection_)
        return;
    const QRectF box = geometry_.ToScreen(*selection_).normalized();
    QColor fill = kSelection;
    fill.setAlpha(40);
    painter.fillRect(box, fill);
    painter.setPen(QPen(kSelection, 2));
    painter.drawRect(box);
}

void MapView::DrawHint(QPainter& painter)
{
    painter.setPen(QColor(0x55, 0x55, 0x55));
    painter.drawText(rect(), Qt::AlignCenter,
                     tr("Open a task with File > Open, or drop its project file (.qtsk) here."));
}

void MapView::resizeEvent(QResizeEvent*)
{
    const bool wasFitted = geometry_.PixelsPerTile() <= geometry_.MinPixelsPerTile();
    geometry_.SetViewportSize(size());
    if (wasFitted)
        geometry_.Fit();
    NoteShownTask();
}

void MapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || PolygonPress(event))
        return;
    if (event->modifiers() & Qt::ShiftModifier) {
        polygon_.Clear();  // a rectangle replaces a drawn polygon
        selectFrom_ = geometry_.ToMap(event->position());
        selection_ = QRectF(*selectFrom_, *selectFrom_);
    } else {
        dragFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
}

void MapView::mouseMoveEvent(QMouseEvent* event)
{
    if (polygon_.IsDrawing()) {
        polygon_.PointTo(geometry_.ToMap(event->position()));
        update();
    }
    if (dragFrom_) {
        geometry_.PanBy(event->position() - *dragFrom_);
        dragFrom_ = event->position();
        update();
    } else if (selectFrom_) {
        selection_ = QRectF(*selectFrom_, geometry_.ToMap(event->position())).normalized();
        update();
    }
    ReportCursor(event->position());
}

void MapView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (selectFrom_) {
        selectFrom_.reset();
        const QRectF box = geometry_.ToScreen(*selection_);
        if (std::abs(box.width()) < kSmallestSelectionPixels || std::abs(box.height()) < kSmallestSelectionPixels)
            selection_.reset();
        emit SelectionChanged();
        update();
    }
    dragFrom_.reset();
    unsetCursor();
}

void MapView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || PolygonPress(event))
        return;
    geometry_.ZoomAt(event->position(), 2);
    Rescaled();
}

void MapView::wheelEvent(QWheelEvent* event)
{
    // One notch (120) zooms by a fifth; forward zooms in.
    const double factor = std::pow(1.2, event->angleDelta().y() / 120.0);
    geometry_.ZoomAt(event->position(), factor);
    ReportCursor(event->position());
    Rescaled();
}

void MapView::keyPressEvent(QKeyEvent* event)
{
    if (PolygonKey(event))
        return;
    switch (event->key()) {
    case Qt::Key_Left: geometry_.PanBy(QPointF(kKeyPanPixels, 0)); break;
    case Qt::Key_Right: geometry_.PanBy(QPointF(-kKeyPanPixels, 0)); break;
    case Qt::Key_Up: geometry_.PanBy(QPointF(0, kKeyPanPixels)); break;
    case Qt::Key_Down: geometry_.PanBy(QPointF(0, -kKeyPanPixels)); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: ZoomAtCenter(kKeyZoomFactor); return;
    case Qt::Key_Minus: ZoomAtCenter(1 / kKeyZoomFactor); return;
    case Qt::Key_Escape: ClearSelection(); return;
    default: QWidget::keyPressEvent(event); return;
    }
    update();
}

void MapView::leaveEvent(QEvent*)
{
    emit CursorMoved(std::nullopt);
}

void MapView::ReportCursor(QPointF screen)
{
    emit CursorMoved(geometry_.ToMap(screen));
}
