#pragma once

#include <QList>
#include <QPointF>

class AreaShape;

// One closed ring of an area's outline, x longitude and y latitude in
// degrees, its last corner not repeating the first.
using AreaRing = QList<QPointF>;

// Every ring of the area's polygons: outer rings and holes alike, as a map
// draws the outline.
QList<AreaRing> AreaOutline(const AreaShape& shape);
