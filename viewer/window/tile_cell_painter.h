#pragma once

#include "task/tile_state.h"

#include <QImage>
#include <QRectF>

class QPainter;

// How one cell of the image view looks: the tile's image with its state's
// light tint, a state's own mark when there is no image, or the plain
// placeholder while the tile is not decoded yet.
void PaintTileImage(QPainter& painter, const QRectF& cell, const QImage& image, TileState state);
void PaintTileWithoutImage(QPainter& painter, const QRectF& cell, TileState state);
void PaintPlaceholder(QPainter& painter, const QRectF& cell);
