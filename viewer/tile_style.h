#pragma once

#include "task/tile_state.h"

#include <QColor>
#include <QList>

// How each tile state looks, in the coverage map, the cells of the image view
// and the legend.
QColor TileStateColor(TileState state);

// A cell whose state is not known yet, or whose image is not decoded yet.
QColor UnknownTileColor();

// The states in the order the legend lists them.
QList<TileState> LegendStates();
