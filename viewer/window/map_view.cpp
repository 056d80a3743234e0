#include "viewer/window/map_view.h"

#include "geo/tile_math.h"
#include "platform/message_box.h"
#include "task/download_task.h"
#include "viewer/online/online_tiles.h"
#include "viewer/online_tile_wish.h"
#include "viewer/tile_style.h"
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
    if (task_)
        disconnect(task_, nullptr, this, nullptr);
    task_ = task;
    selection_.reset();
    if (task_)
        connect(task_, &ViewedTask::Changed, this, qOverload<>(&QWidget::update));
    geometry_.SetViewportSize(size());
    geometry_.SetArea(task_ ? task_->TileArea() : WorldArea());
    emit SelectionChanged();
    update();
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
    return task_ ? task_->Zoom() : kWorldZoom;
}

void MapView::SetGridShown(bool shown)
{
    gridShown_ = shown;
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
    update();
}

void MapView::ZoomAtCenter(double factor)
{
    geometry_.ZoomAt(QPointF(width() / 2.0, height() / 2.0), factor);
    update();
}

void MapView::ClearSelection()
{
    selection_.reset();
    selectFrom_.reset();
    emit SelectionChanged();
    update();
}

QRect MapView::VisibleTiles() const
{
    if (!task_)
        return {};
    const QRectF visible = geometry_.VisibleMap().intersected(task_->TileArea());
    if (visible.isEmpty())
        return {};
    return QRect(QPoint(int(std::floor(visible.left())), int(std::floor(visible.top()))),
                 QPoint(int(std::ceil(visible.right())) - 1, int(std::ceil(visible.bottom())) - 1));
}

void MapView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (online_)
        DrawOnlineMap(painter);
    if (!task_) {
        if (!online_)
            DrawHint(painter);
        DrawSelection(painter);
        return;
    }
    if (!online_)
        painter.fillRect(geometry_.ToScreen(task_->TileArea()), TileStateColor(TileState::Missing));
    const QRect tiles = VisibleTiles();
    if (!tiles.isEmpty()) {
        if (IsCoverageMode()) {
            painter.setOpacity(online_ ? kCoverageOverMapOpacity : 1.0);
            DrawCoverage(painter, tiles);
            painter.setOpacity(1.0);
        } else {
            DrawImages(painter, tiles);
        }
        if (gridShown_ && geometry_.PixelsPerTile() >= kGridFromPixels)
            DrawGrid(painter, tiles);
    }
    if (requestedAreaShown_)
        DrawRequestedArea(painter);
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

void MapView::DrawCoverage(QPainter& painter, const QRect& tiles)
{
    const CoverageMap& coverage = task_->Coverage();
    const int block = coverage.BlockSize();
    const QPoint origin = coverage.Tiles().topLeft();
    // Whole cells only, so cell edges land where the tiles' edges are.
    const QRect cells(QPoint((tiles.left() - origin.x()) / block, (tiles.top() - origin.y()) / block),
                      QPoint((tiles.right() - origin.x()) / block, (tiles.bottom() - origin.y()) / block));
    const QRectF mapRect(QPointF(origin.x() + double(cells.left()) * block, origin.y() + double(cells.top()) * block),
                         QSizeF(double(cells.width()) * block, double(cells.height()) * block));
    painter.drawImage(geometry_.ToScreen(mapRect), coverage.Image(), QRectF(cells));
}

void MapView::DrawImages(QPainter& painter, const QRect& tiles)
{
    const int edge = DecodeEdgeFor(geometry_.PixelsPerTile() * devicePixelRatioF());
    const QPointF middle = geometry_.Center();
    QList<TileKey> wanted;
    TileImageCache& images = task_->Images();
    for (int y = tiles.top(); y <= tiles.bottom(); ++y) {
        for (int x = tiles.left(); x <= tiles.right(); ++x) {
            const TileKey key{x, y, edge};
            // Images of the cell's size are drawn as a plain copy.
            const QRect cell = CellOnScreen(QRectF(x, y, 1, 1));
            const TileImageCache::Entry* entry = images.Find(key);
            if (!entry) {
                const auto known = task_->Coverage().TileStateAt(x, y);
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
        }
    }
    // Nearest the middle of the view first.
    std::sort(wanted.begin(), wanted.end(), [&middle](const TileKey& a, const TileKey& b) {
        const auto distance = [&middle](const TileKey& k) {
            return std::hypot(k.X + 0.5 - middle.x(), k.Y + 0.5 - middle.y());
        };
        return distance(a) < distance(b);
    });
    task_->Want(wanted);
}

void MapView::DrawGrid(QPainter& painter, const QRect& tiles)
{
    painter.save();
    painter.setPen(QPen(QColor(0, 0, 0, 70), 1));
    const QRectF area = geometry_.ToScreen(QRectF(QPointF(tiles.left(), tiles.top()),
                                                  QPointF(tiles.right() + 1.0, tiles.bottom() + 1.0)));
    for (int x = tiles.left(); x <= tiles.right() + 1; ++x) {
        const double sx = std::round(geometry_.ToScreen(QPointF(x, 0)).x()) + 0.5;
        painter.drawLine(QPointF(sx, area.top()), QPointF(sx, area.bottom()));
    }
    for (int y = tiles.top(); y <= tiles.bottom() + 1; ++y) {
        const double sy = std::round(geometry_.ToScreen(QPointF(0, y)).y()) + 0.5;
        painter.drawLine(QPointF(area.left(), sy), QPointF(area.right(), sy));
    }
    if (geometry_.PixelsPerTile() >= kGridLabelsFromPixels) {
        const QFontMetrics metrics(font());
        for (int y = tiles.top(); y <= tiles.bottom(); ++y) {
            for (int x = tiles.left(); x <= tiles.right(); ++x) {
                const QString label = QStringLiteral("%1/%2").arg(x).arg(y);
                const QPointF corner = geometry_.ToScreen(QPointF(x, y)) + QPointF(4, 4);
                const QRectF box(corner, QSizeF(metrics.horizontalAdvance(label) + 6, metrics.height() + 2));
                painter.fillRect(box, QColor(255, 255, 255, 170));
                painter.setPen(Qt::black);
                painter.drawText(box, Qt::AlignCenter, label);
            }
        }
    }
    painter.restore();
}

void MapView::DrawRequestedArea(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kRequestedArea, 2, Qt::DashLine));
    painter.drawRect(geometry_.ToScreen(task_->RequestedArea()));
    painter.restore();
}

void MapView::DrawSelection(QPainter& painter)
{
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
}

void MapView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (event->modifiers() & Qt::ShiftModifier) {
        selectFrom_ = geometry_.ToMap(event->position());
        selection_ = QRectF(*selectFrom_, *selectFrom_);
    } else {
        dragFrom_ = event->position();
        setCursor(Qt::ClosedHandCursor);
    }
}

void MapView::mouseMoveEvent(QMouseEvent* event)
{
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
    if (event->button() != Qt::LeftButton)
        return;
    geometry_.ZoomAt(event->position(), 2);
    update();
}

void MapView::wheelEvent(QWheelEvent* event)
{
    // One notch (120) zooms by a fifth; forward zooms in.
    const double factor = std::pow(1.2, event->angleDelta().y() / 120.0);
    geometry_.ZoomAt(event->position(), factor);
    ReportCursor(event->position());
    update();
}

void MapView::keyPressEvent(QKeyEvent* event)
{
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
