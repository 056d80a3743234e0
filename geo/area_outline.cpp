#include "geo/area_outline.h"

#include "geo/area_shape.h"

#include <ogr_geometry.h>

namespace {
void AddRing(QList<AreaRing>& rings, const OGRLinearRing& ring)
{
    AreaRing corners;
    const int points = ring.getNumPoints();
    // The ring repeats its first corner at the end.
    for (int i = 0; i + 1 < points; ++i)
        corners.append(QPointF(ring.getX(i), ring.getY(i)));
    if (!corners.isEmpty())
        rings.append(corners);
}

void AddPolygons(QList<AreaRing>& rings, const OGRGeometry& geometry)
{
    switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbPolygon:
        for (const OGRLinearRing* ring : *geometry.toPolygon())
            AddRing(rings, *ring);
        break;
    case wkbMultiPolygon:
    case wkbGeometryCollection:
        for (const OGRGeometry* part : *geometry.toGeometryCollection())
            AddPolygons(rings, *part);
        break;
    default:
        break;
    }
}
}

QList<AreaRing> AreaOutline(const AreaShape& shape)
{
    QList<AreaRing> rings;
    AddPolygons(rings, shape.Geometry());
    return rings;
}
