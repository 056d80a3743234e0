#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class OGRGeometry;

// The area of a shaped task: one polygon or multipolygon in WGS 84 degrees
// (x longitude, y latitude), within the map's latitudes and within longitudes
// -180..180, its edges straight in degrees. Cheap to copy; never changes.
class AreaShape {
public:
    explicit AreaShape(std::unique_ptr<OGRGeometry> geometry);

    const OGRGeometry& Geometry() const { return *geometry_; }

    // The shape's bounds in degrees.
    double West() const { return west_; }
    double South() const { return south_; }
    double East() const { return east_; }
    double North() const { return north_; }

private:
    std::shared_ptr<const OGRGeometry> geometry_;
    double west_ = 0;
    double south_ = 0;
    double east_ = 0;
    double north_ = 0;
};

// Why a shape cannot be used. NeedsCorridor is a fault of the command line
// (a distance is missing); the others are faults of the file.
enum class ShapeProblem {
    None,
    CannotRead,           // unknown format, missing or unreadable file, no such layer
    NoGeometry,           // nothing with a geometry in the chosen layers
    NeedsCorridor,        // lines or points and no corridor distance
    CrossesAntimeridian,  // a part crosses longitude 180
    OutsideMap,           // nothing left within the map's latitudes
    TooLarge,             // an area file above the size limit
};

// A shape, or the reason there is none, with notes for the user about
// changes made to it (clipped at the map's latitudes). Problem texts and
// notes are single lines meant for the user.
struct ShapeResult {
    std::optional<AreaShape> Shape;
    ShapeProblem Problem = ShapeProblem::None;
    QString ProblemText;
    QStringList Notes;

    bool Ok() const { return Shape.has_value(); }
    static ShapeResult Refused(ShapeProblem problem, const QString& text);
};

// What to read: a file OGR can read (GPX, KML, GeoJSON, ESRI Shapefile,
// GeoPackage, ...), a layer of it (empty: every layer with geometry; for
// GPX its tracks and routes, or its waypoints when it has neither) and the
// corridor on each side of lines and points, in metres on the ground
// (0: none; then lines and points are refused). Polygons keep their holes
// and get the corridor around them when one is given.
struct ShapeRequest {
    QString FileName;
    QString Layer;
    double CorridorMetres = 0;
};

// Reads, transforms to WGS 84 (a file without a coordinate system is taken
// as WGS 84), mends invalid polygons and buffers. Never throws.
ShapeResult ReadShape(const ShapeRequest& request);

// The polygon through `corners` (x longitude, y latitude, in degrees, not
// closed), as drawn on a map: mended when its edges cross, cut at the map's
// latitudes. `name` names it in problem texts. Never throws.
ShapeResult PolygonShape(const QList<QPointF>& corners, const QString& name);
