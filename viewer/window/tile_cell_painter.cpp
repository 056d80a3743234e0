#include "viewer/window/tile_cell_painter.h"

#include "viewer/tile_style.h"

#include <QPainter>

namespace {
// Overlays may tint a tile but never hide it.
constexpr int kTintAlpha = 56;

QColor Tint(TileState state)
{
    QColor color = TileStateColor(state);
    color.setAlpha(kTintAlpha);
    return color;
}

void PaintCross(QPainter& painter, const QRectF& cell, const QColor& color)
{
    const QRectF inner = cell.adjusted(cell.width() / 4, cell.height() / 4, -cell.width() / 4, -cell.height() / 4);
    painter.setPen(QPen(color, std::max(1.0, cell.width() / 48)));
    painter.drawLine(inner.topLeft(), inner.bottomRight());
    painter.drawLine(inner.topRight(), inner.bottomLeft());
}
}

void PaintTileImage(QPainter& painter, const QRectF& cell, const QImage& image, TileState state)
{
    // Images are decoded at up to twice their cell's size; sampled without
    // smoothing, fine lines and dithered colours would break up.
    const bool wasSmooth = painter.testRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(cell, image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, wasSmooth);
    if (state != TileState::Stored)
        painter.fillRect(cell, Tint(state));
}

void PaintTileWithoutImage(QPainter& painter, const QRectF& cell, TileState state)
{
    switch (state) {
    case TileState::Missing:
        // Left clear, so the background map shows through.
        return;
    case TileState::Failed:
    case TileState::Unreadable:
        painter.fillRect(cell, Tint(state));
        PaintCross(painter, cell, TileStateColor(state));
        return;
    case TileState::Stored:
    case TileState::Blank:
        painter.fillRect(cell, Tint(state));
        return;
    }
}

void PaintPlaceholder(QPainter& painter, const QRectF& cell)
{
    painter.fillRect(cell, UnknownTileColor());
}
