#include "geo/area_shape.h"

#include "geo/corridor.h"
#include "geo/gdal_session.h"

#include <gdal_priv.h>
#include <ogr_geometry.h>
#include <ogrsf_frmts.h>

#include <QFileInfo>
#include <cmath>
#include <vector>

namespace {
// The latitudes of the web-map tile grid.
constexpr double kMapLatitude = 85.0511287798066;

QString ShownName(const QString& fileName) { return QFileInfo(fileName).fileName(); }

ShapeResult NoGeometry(const QString& name)
{
    return ShapeResult::Refused(ShapeProblem::NoGeometry,
                                QStringLiteral("The shape file %1 holds no lines, points or areas").arg(name));
}

ShapeResult AcrossAntimeridian(const QString& name)
{
    return ShapeResult::Refused(ShapeProblem::CrossesAntimeridian, QStringLiteral(
        "The shape in %1 crosses longitude 180; split it into one shape east and one west of it").arg(name));
}

// The layers to read: the one asked for, or every layer with geometry; of a
// GPX file its tracks and routes (their points repeat them), or its
// waypoints when it has neither.
std::vector<OGRLayer*> ChosenLayers(GDALDataset& dataset, const QString& layerName)
{
    if (!layerName.isEmpty()) {
        OGRLayer* layer = dataset.GetLayerByName(layerName.toUtf8().constData());
        return layer ? std::vector<OGRLayer*> {layer} : std::vector<OGRLayer*> {};
    }
    const bool gpx = EQUAL(dataset.GetDriver()->GetDescription(), "GPX");
    if (gpx) {
        std::vector<OGRLayer*> paths;
        for (const char* name : {"tracks", "routes"}) {
            OGRLayer* layer = dataset.GetLayerByName(name);
            if (layer && layer->GetFeatureCount() > 0)
                paths.push_back(layer);
        }
        if (!paths.empty())
            return paths;
        OGRLayer* waypoints = dataset.GetLayerByName("waypoints");
        return waypoints ? std::vector<OGRLayer*> {waypoints} : std::vector<OGRLayer*> {};
    }
    std::vector<OGRLayer*> layers;
    for (OGRLayer* layer : dataset.GetLayers()) {
        if (layer->GetGeomType() != wkbNone)
            layers.push_back(layer);
    }
    return layers;
}

// Transforms `geometry` from the layer's coordinate system to WGS 84
// longitude/latitude; a layer without one is taken as WGS 84 already.
class ToWgs84 {
public:
    explicit ToWgs84(const OGRSpatialReference* source)
    {
        if (!source)
            return;
        OGRSpatialReference from(*source);
        from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        OGRSpatialReference to;
        to.SetWellKnownGeogCS("WGS84");
        to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        if (!from.IsSame(&to))
            transformation_.reset(OGRCreateCoordinateTransformation(&from, &to));
        failed_ = !transformation_ && !from.IsSame(&to);
    }

    bool Apply(OGRGeometry& geometry) const
    {
        if (failed_)
            return false;
        return !transformation_ || geometry.transform(transformation_.get()) == OGRERR_NONE;
    }

private:
    std::unique_ptr<OGRCoordinateTransformation> transformation_;
    bool failed_ = false;
};

// The shapes of a file, split into areas and into lines and points.
struct FileShapes {
    OGRMultiPolygon Areas;
    OGRGeometryCollection Paths;
    bool TransformFailed = false;
};

void AddParts(const OGRGeometry& geometry, FileShapes& shapes)
{
    switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbPolygon:
        if (geometry.IsValid()) {
            shapes.Areas.addGeometry(&geometry);
        } else if (std::unique_ptr<OGRGeometry> mended(geometry.MakeValid()); mended) {
            AddParts(*mended, shapes);
        }
        break;
    case wkbMultiPolygon:
    case wkbGeometryCollection:
        for (const OGRGeometry* part : *geometry.toGeometryCollection())
            AddParts(*part, shapes);
        break;
    case wkbPoint:
    case wkbMultiPoint:
    case wkbLineString:
    case wkbMultiLineString:
        if (!geometry.IsEmpty())
            shapes.Paths.addGeometry(&geometry);
        break;
    default:
        break;
    }
}

FileShapes ReadLayers(const std::vector<OGRLayer*>& layers)
{
    FileShapes shapes;
    for (OGRLayer* layer : layers) {
        const ToWgs84 toWgs84(layer->GetSpatialRef());
        layer->ResetReading();
        for (const auto& feature : *layer) {
            const OGRGeometry* found = feature->GetGeometryRef();
            if (!found || found->IsEmpty())
                continue;
            std::unique_ptr<OGRGeometry> geometry(found->getLinearGeometry());
            geometry->flattenTo2D();
            if (!toWgs84.Apply(*geometry)) {
                shapes.TransformFailed = true;
                continue;
            }
            AddParts(*geometry, shapes);
        }
    }
    return shapes;
}

// True when two neighbouring points lie more than half the world apart in
// longitude: the line means the short way across longitude 180.
bool JumpsAntimeridian(const OGRGeometry& geometry)
{
    switch (wkbFlatten(geometry.getGeometryType())) {
    case wkbLineString:
    case wkbLinearRing: {
        const OGRSimpleCurve& line = *geometry.toSimpleCurve();
        for (int i = 1; i < line.getNumPoints(); ++i) {
            if (std::abs(line.getX(i) - line.getX(i - 1)) > 180)
                return true;
        }
        return false;
    }
    case wkbPolygon:
        for (const OGRLinearRing* ring : *geometry.toPolygon()) {
            if (JumpsAntimeridian(*ring))
                return true;
        }
        return false;
    case wkbMultiPoint:
    case wkbMultiLineString:
    case wkbMultiPolygon:
    case wkbGeometryCollection:
        for (const OGRGeometry* part : *geometry.toGeometryCollection()) {
            if (JumpsAntimeridian(*part))
                return true;
        }
        return false;
    default:
        return false;
    }
}

// The polygons of `geometry` as one polygon or multipolygon; lines and
// points left by an operation on areas are dropped.
std::unique_ptr<OGRGeometry> PolygonsOf(std::unique_ptr<OGRGeometry> geometry)
{
    const auto type = wkbFlatten(geometry->getGeometryType());
    if (type == wkbPolygon || type == wkbMultiPolygon)
        return geometry;
    FileShapes shapes;
    AddParts(*geometry, shapes);
    std::unique_ptr<OGRGeometry> joined(shapes.Areas.UnionCascaded());
    return joined ? std::move(joined) : std::make_unique<OGRPolygon>();
}

std::unique_ptr<OGRGeometry> Union(std::unique_ptr<OGRGeometry> a, const OGRGeometry& b)
{
    if (!a)
        return std::unique_ptr<OGRGeometry>(b.clone());
    return std::unique_ptr<OGRGeometry>(a->Union(&b));
}

// Keeps the part within the map's latitudes; true when something was cut.
bool ClipToMap(std::unique_ptr<OGRGeometry>& geometry)
{
    OGREnvelope envelope;
    geometry->getEnvelope(&envelope);
    if (envelope.MinY >= -kMapLatitude && envelope.MaxY <= kMapLatitude)
        return false;
    OGRLinearRing ring;
    ring.addPoint(-180, -kMapLatitude);
    ring.addPoint(180, -kMapLatitude);
    ring.addPoint(180, kMapLatitude);
    ring.addPoint(-180, kMapLatitude);
    ring.closeRings();
    OGRPolygon map;
    map.addRing(&ring);
    geometry.reset(geometry->Intersection(&map));
    if (!geometry)
        geometry = std::make_unique<OGRPolygon>();
    return true;
}
// The areas with the corridor around them and around the lines and points;
// nothing when they make no area.
std::unique_ptr<OGRGeometry> AreaOf(const FileShapes& shapes, double corridorMetres)
{
    std::unique_ptr<OGRGeometry> area;
    if (!shapes.Areas.IsEmpty())
        area.reset(shapes.Areas.UnionCascaded());
    if (corridorMetres > 0) {
        OGRGeometryCollection lines;
        lines.addGeometry(&shapes.Paths);
        lines.addGeometry(&shapes.Areas);
        if (std::unique_ptr<OGRGeometry> corridor = CorridorAround(lines, corridorMetres))
            area = Union(std::move(area), *corridor);
    }
    return area ? PolygonsOf(std::move(area)) : nullptr;
}

// The area as a shape when it lies within longitudes -180..180, cut at the
// map's latitudes.
ShapeResult WithinMap(std::unique_ptr<OGRGeometry> area, const QString& name)
{
    OGREnvelope envelope;
    area->getEnvelope(&envelope);
    if (envelope.MinX < -180 || envelope.MaxX > 180)
        return AcrossAntimeridian(name);
    ShapeResult result;
    if (ClipToMap(area)) {
        area = PolygonsOf(std::move(area));
        if (area->IsEmpty())
            return ShapeResult::Refused(ShapeProblem::OutsideMap, QStringLiteral(
                "The shape in %1 lies beyond the map's latitudes (85.0511 degrees north and south)").arg(name));
        result.Notes << QStringLiteral(
            "The shape in %1 was cut at the map's latitudes (85.0511 degrees north and south)").arg(name);
    }
    result.Shape.emplace(std::move(area));
    return result;
}
}  // namespace

AreaShape::AreaShape(std::unique_ptr<OGRGeometry> geometry)
    : geometry_(std::move(geometry))
{
    OGREnvelope envelope;
    geometry_->getEnvelope(&envelope);
    west_ = envelope.MinX;
    south_ = envelope.MinY;
    east_ = envelope.MaxX;
    north_ = envelope.MaxY;
}

ShapeResult ShapeResult::Refused(ShapeProblem problem, const QString& text)
{
    ShapeResult result;
    result.Problem = problem;
    result.ProblemText = text;
    return result;
}

ShapeResult ReadShape(const ShapeRequest& request)
{
    const GdalSession session;
    const QString name = ShownName(request.FileName);
    if (!request.FileName.startsWith(QStringLiteral("/vsi")) && !QFileInfo::exists(request.FileName))
        return ShapeResult::Refused(ShapeProblem::CannotRead,
                                    QStringLiteral("Cannot read the shape file %1: the file does not exist").arg(name));
    GDALDatasetUniquePtr dataset(GDALDataset::Open(request.FileName.toUtf8().constData(),
                                                   GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!dataset)
        return ShapeResult::Refused(ShapeProblem::CannotRead,
                                    QStringLiteral("Cannot read the shape file %1: %2").arg(name, session.LastError()));
    const std::vector<OGRLayer*> layers = ChosenLayers(*dataset, request.Layer);
    if (layers.empty() && !request.Layer.isEmpty())
        return ShapeResult::Refused(ShapeProblem::CannotRead,
                                    QStringLiteral("The shape file %1 has no layer \"%2\"").arg(name, request.Layer));
    FileShapes shapes = ReadLayers(layers);
    if (shapes.Areas.IsEmpty() && shapes.Paths.IsEmpty()) {
        if (shapes.TransformFailed)
            return ShapeResult::Refused(ShapeProblem::CannotRead, QStringLiteral(
                "Cannot read the shape file %1: its coordinates cannot be converted to WGS 84").arg(name));
        return NoGeometry(name);
    }
    if (!shapes.Paths.IsEmpty() && request.CorridorMetres <= 0)
        return ShapeResult::Refused(ShapeProblem::NeedsCorridor, QStringLiteral(
            "The shape file %1 holds lines or points: give the corridor distance on each side").arg(name));
    if (JumpsAntimeridian(shapes.Areas) || JumpsAntimeridian(shapes.Paths))
        return AcrossAntimeridian(name);

    std::unique_ptr<OGRGeometry> area = AreaOf(shapes, request.CorridorMetres);
    if (!area)
        return NoGeometry(name);
    return WithinMap(std::move(area), name);
}

ShapeResult PolygonShape(const QList<QPointF>& corners, const QString& name)
{
    OGRLinearRing ring;
    for (const QPointF& corner : corners)
        ring.addPoint(corner.x(), corner.y());
    ring.closeRings();
    OGRPolygon polygon;
    polygon.addRing(&ring);
    FileShapes shapes;
    if (ring.getNumPoints() >= 4)
        AddParts(polygon, shapes);
    if (shapes.Areas.IsEmpty())
        return ShapeResult::Refused(ShapeProblem::NoGeometry,
                                    QStringLiteral("The polygon %1 encloses no area").arg(name));
    return WithinMap(AreaOf(shapes, 0), name);
}
