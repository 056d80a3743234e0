#include "geo/corridor.h"

#include <ogr_geometry.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {
// Short enough that the Mercator scale is nearly the same along a piece: at
// 60 degrees, 5 km of latitude change the scale by less than 0.2 %.
constexpr double kPieceMetres = 5000;
constexpr double kEarthRadiusMetres = 6371008.8;
constexpr int kQuarterCircleSegments = 8;

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

double GroundMetres(const OGRPoint& a, const OGRPoint& b)
{
    const double dLat = Radians(b.getY() - a.getY());
    const double dLon = Radians(b.getX() - a.getX());
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2)
        + std::cos(Radians(a.getY())) * std::cos(Radians(b.getY())) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(h)));
}

OGRSpatialReference Wgs84()
{
    OGRSpatialReference reference;
    reference.SetWellKnownGeogCS("WGS84");
    reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return reference;
}

// Web Mercator, its longitudes not wrapped at 180 degrees: a corridor
// reaching across longitude 180 must show it.
OGRSpatialReference WebMercator()
{
    OGRSpatialReference reference;
    reference.importFromProj4("+proj=merc +a=6378137 +b=6378137 +lat_ts=0 +lon_0=0 +x_0=0 +y_0=0 +k=1 "
                              "+units=m +nadgrids=@null +over +wktext +no_defs");
    reference.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return reference;
}

class CorridorBuilder {
public:
    explicit CorridorBuilder(double metres)
        : metres_(metres), wgs84_(Wgs84()), mercator_(WebMercator()),
          toMercator_(OGRCreateCoordinateTransformation(&wgs84_, &mercator_)),
          toWgs84_(OGRCreateCoordinateTransformation(&mercator_, &wgs84_)) {}

    void Add(const OGRGeometry& geometry)
    {
        switch (wkbFlatten(geometry.getGeometryType())) {
        case wkbPoint:
            AddPiece(OGRLineString(), geometry.toPoint());
            break;
        case wkbLineString:
        case wkbLinearRing:
            AddLine(*geometry.toSimpleCurve());
            break;
        case wkbPolygon:
            for (const OGRLinearRing* ring : *geometry.toPolygon())
                AddLine(*ring);
            break;
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
            for (const OGRGeometry* part : *geometry.toGeometryCollection())
                Add(*part);
            break;
        default:
            break;
        }
    }

    std::unique_ptr<OGRGeometry> Result()
    {
        if (buffers_.IsEmpty())
            return nullptr;
        std::unique_ptr<OGRGeometry> joined(buffers_.UnionCascaded());
        if (!joined || joined->transform(toWgs84_.get()) != OGRERR_NONE)
            return nullptr;
        return joined;
    }

private:
    void AddLine(const OGRSimpleCurve& line)
    {
        if (line.getNumPoints() == 0)
            return;
        OGRLineString piece;
        double pieceMetres = 0;
        OGRPoint previous;
        line.getPoint(0, &previous);
        piece.addPoint(&previous);
        for (int i = 1; i < line.getNumPoints(); ++i) {
            OGRPoint next;
            line.getPoint(i, &next);
            const double metres = GroundMetres(previous, next);
            const int steps = std::max(1, static_cast<int>(std::ceil(metres / kPieceMetres)));
            for (int step = 1; step <= steps; ++step) {
                const double t = static_cast<double>(step) / steps;
                OGRPoint point(previous.getX() + t * (next.getX() - previous.getX()),
                               previous.getY() + t * (next.getY() - previous.getY()));
                piece.addPoint(&point);
                pieceMetres += metres / steps;
                if (pieceMetres >= kPieceMetres) {
                    AddPiece(piece, &point);
                    piece.empty();
                    piece.addPoint(&point);
                    pieceMetres = 0;
                }
            }
            previous = next;
        }
        if (piece.getNumPoints() > 1)
            AddPiece(piece, nullptr);
        else if (line.getNumPoints() == 1)
            AddPiece(OGRLineString(), &previous);
    }

    // A piece of line, or a single point when `piece` is empty.
    void AddPiece(const OGRLineString& piece, const OGRPoint* point)
    {
        std::unique_ptr<OGRGeometry> shape(piece.IsEmpty() ? static_cast<OGRGeometry*>(point->clone())
                                                           : piece.clone());
        OGREnvelope envelope;
        shape->getEnvelope(&envelope);
        const double middleLatitude = (envelope.MinY + envelope.MaxY) / 2;
        if (shape->transform(toMercator_.get()) != OGRERR_NONE)
            return;
        const double scaled = metres_ / std::cos(Radians(middleLatitude));
        std::unique_ptr<OGRGeometry> buffer(shape->Buffer(scaled, kQuarterCircleSegments));
        if (buffer && wkbFlatten(buffer->getGeometryType()) == wkbPolygon)
            buffers_.addGeometryDirectly(buffer.release());
    }

    double metres_;
    OGRSpatialReference wgs84_;
    OGRSpatialReference mercator_;
    std::unique_ptr<OGRCoordinateTransformation> toMercator_;
    std::unique_ptr<OGRCoordinateTransformation> toWgs84_;
    OGRMultiPolygon buffers_;
};
}  // namespace

std::unique_ptr<OGRGeometry> CorridorAround(const OGRGeometry& geometry, double metres)
{
    CorridorBuilder builder(metres);
    builder.Add(geometry);
    return builder.Result();
}
