#include "geo/area_shape.h"
#include "shape_checks.h"
#include "shape_samples.h"
#include "support/temp_folder.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

namespace {
const QByteArray kKmlPolygon = R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document><Placemark><name>park</name>
<Polygon><outerBoundaryIs><LinearRing><coordinates>
13.3117,52.5013,0 13.3891,52.4931,0 13.4217,52.5244,0 13.3602,52.5419,0 13.3117,52.5013,0
</coordinates></LinearRing></outerBoundaryIs></Polygon></Placemark></Document></kml>
)";

// A square of about 44 km with a hole of about 22 km in the middle.
const QByteArray kGeoJsonWithHole = R"({"type": "FeatureCollection", "features": [
{"type": "Feature", "properties": {}, "geometry": {"type": "Polygon", "coordinates": [
 [[2.0131, 48.6017], [2.6123, 48.6017], [2.6123, 49.0029], [2.0131, 49.0029], [2.0131, 48.6017]],
 [[2.1619, 48.7013], [2.4637, 48.7013], [2.4637, 48.9031], [2.1619, 48.9031], [2.1619, 48.7013]]]}}]}
)";

QByteArray GeoJsonLine(double lon1, double lat1, double lon2, double lat2)
{
    return QStringLiteral(R"({"type": "Feature", "properties": {}, "geometry": {"type": "LineString",
        "coordinates": [[%1, %2], [%3, %4]]}})")
        .arg(lon1, 0, 'g', 17).arg(lat1, 0, 'g', 17).arg(lon2, 0, 'g', 17).arg(lat2, 0, 'g', 17)
        .toUtf8();
}

ShapeResult Read(const TempFolder& folder, const QString& name, const QByteArray& text, double corridor = 0,
                 const QString& layer = {})
{
    folder.Write(name, text);
    return ReadShape({folder.File(name), layer, corridor});
}

// A shapefile with one polygon in the Swiss grid (EPSG:2056) around Bern.
QString WriteSwissShapefile(const TempFolder& folder)
{
    GDALAllRegister();
    const QString name = folder.File("bern.shp");
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    GDALDatasetUniquePtr dataset(driver->Create(name.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr));
    OGRSpatialReference swiss;
    swiss.importFromEPSG(2056);
    OGRLayer* layer = dataset->CreateLayer("bern", &swiss, wkbPolygon, nullptr);
    OGRLinearRing ring;
    ring.addPoint(2593123.4, 1193456.7);
    ring.addPoint(2611876.5, 1195321.0);
    ring.addPoint(2608765.4, 1208987.6);
    ring.addPoint(2596543.2, 1206543.2);
    ring.closeRings();
    OGRPolygon polygon;
    polygon.addRing(&ring);
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetGeometry(&polygon);
    EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    return name;
}
}  // namespace

TEST(ShapeReading, EachFormatGivesTheTilesItsSquaresTouch)
{
    const TempFolder folder;
    const ShapeResult track = Read(folder, "ride.gpx", kGpxTrack, 500);
    ASSERT_TRUE(track.Ok()) << track.ProblemText.toStdString();
    EXPECT_LT(track.Shape->North(), 47.5);  // the waypoint is not part of a track's area
    ExpectCoverMatchesBruteForce(*track.Shape, 14);

    const ShapeResult park = Read(folder, "park.kml", kKmlPolygon);
    ASSERT_TRUE(park.Ok()) << park.ProblemText.toStdString();
    ExpectCoverMatchesBruteForce(*park.Shape, 15);

    const ShapeResult holed = Read(folder, "holed.geojson", kGeoJsonWithHole);
    ASSERT_TRUE(holed.Ok()) << holed.ProblemText.toStdString();
    ExpectCoverMatchesBruteForce(*holed.Shape, 12);
    const TileCover cover(*holed.Shape, 12);
    EXPECT_FALSE(cover.Contains(LongitudeToTileX(2.31, 12), LatitudeToTileY(48.80, 12)));  // inside the hole

    const ShapeResult bern = ReadShape({WriteSwissShapefile(folder), {}, 0});
    ASSERT_TRUE(bern.Ok()) << bern.ProblemText.toStdString();
    // The south-west corner as gdaltransform converts it.
    EXPECT_NEAR(bern.Shape->West(), 7.34840058103387, 1e-8);
    EXPECT_NEAR(bern.Shape->South(), 46.8921880289841, 1e-8);
    ExpectCoverMatchesBruteForce(*bern.Shape, 13);
}

TEST(ShapeReading, GpxWaypointsAreTheAreaOnlyWithoutTracksOrRoutes)
{
    const TempFolder folder;
    const ShapeResult points = Read(folder, "points.gpx", R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <wpt lat="47.9" lon="9.9"/><wpt lat="47.8" lon="9.7"/></gpx>
)", 1000);
    ASSERT_TRUE(points.Ok()) << points.ProblemText.toStdString();
    EXPECT_NEAR(points.Shape->North(), 47.9 + 1000 / 111195.0, 0.0005);

    const ShapeResult chosen = Read(folder, "ride.gpx", kGpxTrack, 1000, "waypoints");
    ASSERT_TRUE(chosen.Ok());
    EXPECT_NEAR(chosen.Shape->North(), 47.9 + 1000 / 111195.0, 0.0005);
}

TEST(ShapeReading, PolygonGetsTheCorridorAroundItAndIntoItsHole)
{
    const TempFolder folder;
    const ShapeResult holed = Read(folder, "holed.geojson", kGeoJsonWithHole, 2000);
    ASSERT_TRUE(holed.Ok()) << holed.ProblemText.toStdString();
    EXPECT_NEAR(HaversineMetres(2.3, 49.0029, 2.3, holed.Shape->North()), 2000, 20);
    OGRPoint nearHoleEdge(2.1619 + 0.01, 48.8);  // 730 m into the hole
    OGRPoint holeMiddle(2.31, 48.8);
    EXPECT_TRUE(holed.Shape->Geometry().Intersects(&nearHoleEdge));
    EXPECT_FALSE(holed.Shape->Geometry().Intersects(&holeMiddle));
    ExpectCoverMatchesBruteForce(*holed.Shape, 11);
}

TEST(ShapeReading, SelfCrossingPolygonIsMended)
{
    const TempFolder folder;
    const ShapeResult bowtie = Read(folder, "bowtie.geojson", R"({"type": "Polygon", "coordinates":
        [[[10.01, 50.01], [10.31, 50.29], [10.31, 50.01], [10.01, 50.29], [10.01, 50.01]]]})");
    ASSERT_TRUE(bowtie.Ok()) << bowtie.ProblemText.toStdString();
    EXPECT_TRUE(bowtie.Shape->Geometry().IsValid());
    ExpectCoverMatchesBruteForce(*bowtie.Shape, 11);
}

TEST(ShapeReading, DrawnPolygonIsMendedAndNeedsThreeCorners)
{
    const ShapeResult drawn = PolygonShape({{10.01, 50.01}, {10.31, 50.29}, {10.31, 50.01}, {10.01, 50.29}}, "drawn");
    ASSERT_TRUE(drawn.Ok()) << drawn.ProblemText.toStdString();
    EXPECT_TRUE(drawn.Shape->Geometry().IsValid());
    ExpectCoverMatchesBruteForce(*drawn.Shape, 10);
    const ShapeResult line = PolygonShape({{10.01, 50.01}, {10.31, 50.29}}, "drawn");
    EXPECT_EQ(line.Problem, ShapeProblem::NoGeometry);
    EXPECT_EQ(line.ProblemText, "The polygon drawn encloses no area");
}

// The corridor measured on the ground along a meridian and along a parallel.
class CorridorWidth : public testing::TestWithParam<double> {};

TEST_P(CorridorWidth, IsTheDistanceOnTheGroundInEveryDirection)
{
    const double lat = GetParam();
    const TempFolder folder;
    const ShapeResult eastward = Read(folder, "east.geojson", GeoJsonLine(10, lat, 10.5, lat), 2000);
    ASSERT_TRUE(eastward.Ok()) << eastward.ProblemText.toStdString();
    EXPECT_NEAR(HaversineMetres(10.25, lat, 10.25, eastward.Shape->North()), 2000, 20);
    EXPECT_NEAR(HaversineMetres(10.25, lat, 10.25, eastward.Shape->South()), 2000, 20);

    const ShapeResult northward = Read(folder, "north.geojson", GeoJsonLine(10, lat, 10, lat + 0.3), 2000);
    ASSERT_TRUE(northward.Ok()) << northward.ProblemText.toStdString();
    EXPECT_NEAR(HaversineMetres(10, lat + 0.15, northward.Shape->East(), lat + 0.15), 2000, 20);
    EXPECT_NEAR(HaversineMetres(10, lat + 0.15, northward.Shape->West(), lat + 0.15), 2000, 20);
}

INSTANTIATE_TEST_SUITE_P(Latitudes, CorridorWidth, testing::Values(0.0, 60.0));

TEST(ShapeReading, BadInputIsRefusedWithItsText)
{
    const TempFolder folder;
    const auto expect = [](const ShapeResult& result, ShapeProblem problem, const char* text) {
        EXPECT_FALSE(result.Ok()) << text;
        EXPECT_EQ(result.Problem, problem) << text;
        EXPECT_EQ(result.ProblemText.toStdString(), text);
    };
    expect(ReadShape({folder.File("none.gpx"), {}, 1000}), ShapeProblem::CannotRead,
           "Cannot read the shape file none.gpx: the file does not exist");
    expect(Read(folder, "notes.txt", "twelve miles north of the old mill\n", 1000), ShapeProblem::CannotRead,
           "Cannot read the shape file notes.txt: not a file of a kind GDAL reads");
    expect(Read(folder, "ride.gpx", kGpxTrack, 1000, "legs"), ShapeProblem::CannotRead,
           "The shape file ride.gpx has no layer \"legs\"");
    expect(Read(folder, "empty.geojson", R"({"type": "FeatureCollection", "features": [
               {"type": "Feature", "properties": {"name": "x"}, "geometry": null}]})"),
           ShapeProblem::NoGeometry, "The shape file empty.geojson holds no lines, points or areas");
    expect(Read(folder, "ride.gpx", kGpxTrack), ShapeProblem::NeedsCorridor,
           "The shape file ride.gpx holds lines or points: give the corridor distance on each side");
    expect(Read(folder, "pacific.geojson", GeoJsonLine(179.5, -17, -179.5, -16.5), 1000),
           ShapeProblem::CrossesAntimeridian,
           "The shape in pacific.geojson crosses longitude 180; split it into one shape east and one west of it");
    expect(Read(folder, "dateline.geojson", GeoJsonLine(179.99, -17, 179.99, -16.5), 2000),
           ShapeProblem::CrossesAntimeridian,
           "The shape in dateline.geojson crosses longitude 180; split it into one shape east and one west of it");
    expect(Read(folder, "pole.geojson", GeoJsonLine(10, 86, 20, 88), 1000), ShapeProblem::OutsideMap,
           "The shape in pole.geojson lies beyond the map's latitudes (85.0511 degrees north and south)");
}

TEST(ShapeReading, ShapeBeyondTheMapsLatitudesIsCutWithANote)
{
    const TempFolder folder;
    const ShapeResult north = Read(folder, "north.geojson", R"({"type": "Polygon", "coordinates":
        [[[20.01, 84.01], [20.51, 84.01], [20.51, 86.01], [20.01, 86.01], [20.01, 84.01]]]})");
    ASSERT_TRUE(north.Ok()) << north.ProblemText.toStdString();
    EXPECT_EQ(north.Notes, QStringList {
        "The shape in north.geojson was cut at the map's latitudes (85.0511 degrees north and south)"});
    EXPECT_NEAR(north.Shape->North(), 85.0511287798066, 1e-9);
    ExpectCoverMatchesBruteForce(*north.Shape, 9);
}
