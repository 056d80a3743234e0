#include "cli/command_line.h"
#include "cli/tessaly_command_fixture.h"
#include "geo/area_file.h"
#include "geo/shape_checks.h"
#include "geo/shape_samples.h"
#include "platform/text_files.h"
#include "settings/ini_file.h"
#include "support/run_until.h"
#include "task/download_task.h"

#include <QSet>
#include <gdal_priv.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <algorithm>
#include <csignal>

namespace {
QString TilePath(int zoom, int x, int y)
{
    return QStringLiteral("/%1/%2/%3.png").arg(zoom).arg(x).arg(y);
}

class ShapedTaskCommandTest : public TessalyCommandTest {
protected:
    // The paths of the tiles whose square meets the shape read from `file`,
    // one GEOS test per tile of its rectangle.
    QSet<QString> ExpectedPaths(const QString& file, double corridorMetres, int zoom)
    {
        const ShapeResult shape = ReadShape({work.File(file), QString(), corridorMetres});
        EXPECT_TRUE(shape.Ok()) << shape.ProblemText.toStdString();
        QSet<QString> paths;
        if (shape.Ok())
            for (auto [x, y] : BruteForceTiles(*shape.Shape, zoom))
                paths << TilePath(zoom, x, y);
        return paths;
    }

    QStringList NewShaped(const QString& name, const QString& file, const QString& zoom)
    {
        return {"new", name, "--shape", work.File(file), "--zoom", zoom, "--folder", work.Path()};
    }

    // Every tile requested once, and just the expected ones.
    void ExpectRequestedOnce(const QSet<QString>& expected)
    {
        const QStringList paths = RequestedPaths();
        EXPECT_EQ(paths.size(), expected.size()) << "no tile twice";
        EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()), expected);
    }
};
}

TEST_F(ShapedTaskCommandTest, TrackAndPolygonWithHoleFetchExactlyTheTilesTheyTouch)
{
    work.Write("ride.gpx", kGpxTrack);
    work.Write("holed.geojson", kPolygonWithHole);
    struct Case {
        QString Name, File, Corridor;
        double CorridorMetres;
        int Zoom;
    };
    qsizetype before = 0;
    for (const Case& c : {Case{"ride", "ride.gpx", "0.5km", 500, 14}, Case{"holed", "holed.geojson", "", 0, 10}}) {
        QStringList arguments = NewShaped(c.Name, c.File, QString::number(c.Zoom)) << "--run";
        if (!c.Corridor.isEmpty())
            arguments << "--corridor" << c.Corridor;
        const Outcome outcome = Run(arguments);
        ASSERT_EQ(outcome.Status, 0) << outcome.Err.toStdString();

        const QSet<QString> expected = ExpectedPaths(c.File, c.CorridorMetres, c.Zoom);
        const QStringList all = RequestedPaths();
        const QStringList paths = all.mid(before);
        before = all.size();
        EXPECT_EQ(paths.size(), expected.size()) << c.Name.toStdString() << ": no tile twice";
        EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()), expected) << c.Name.toStdString();

        // The tile list, the log and the summary count the shape's tiles only.
        const qsizetype count = expected.size();
        EXPECT_EQ(ReadTextLines(work.File(c.Name + "_list.txt")).size(), count + 1);
        EXPECT_TRUE(ReadTextLines(work.File(c.Name + "_log.txt"))
                .contains(QStringLiteral("Total count of images would be downloaded: %1").arg(count)));
        EXPECT_TRUE(outcome.Err.contains(QStringLiteral("Shape %1").arg(c.File))) << outcome.Err.toStdString();
        EXPECT_TRUE(outcome.Err.contains(QStringLiteral("zoom %1: %2 tiles; its rectangle holds ").arg(c.Zoom).arg(count)))
            << outcome.Err.toStdString();
        EXPECT_EQ(TIniFile(work.File(c.Name + ".qtsk")).ReadString("AREA", "AreaFile", ""), c.Name + ".area.geojson");
        EXPECT_TRUE(ReadAreaFile(work.File(c.Name + ".area.geojson")).Ok());
    }
    EXPECT_FALSE(RequestedPaths().contains(TilePath(10, 534, 360))) << "a tile wholly in the hole";
}

// A zoom series of a shape: every member names the one area file and
// fetches its own zoom's tiles of it.
TEST_F(ShapedTaskCommandTest, SeriesMembersShareTheAreaFile)
{
    work.Write("holed.geojson", kPolygonWithHole);
    const Outcome outcome = Run(NewShaped("alps", "holed.geojson", "9-10") << "--run");
    ASSERT_EQ(outcome.Status, 0) << outcome.Err.toStdString();
    for (const QString member : {"alps_z9.qtsk", "alps_z10.qtsk"})
        EXPECT_EQ(TIniFile(work.File(member)).ReadString("AREA", "AreaFile", ""), "alps.area.geojson");
    ExpectRequestedOnce(ExpectedPaths("holed.geojson", 0, 9) + ExpectedPaths("holed.geojson", 0, 10));
}

// Each worker stores one tile, then waits out a long pause; the signal ends
// the wait, and the next run fetches the rest of the shape, even when the
// file the shape came from is gone.
TEST_F(ShapedTaskCommandTest, StoppedShapedTaskContinuesWithoutRepeatsOrGaps)
{
    work.Write("ride.gpx", kGpxTrack);
    const QSet<QString> expected = ExpectedPaths("ride.gpx", 500, 14);
    WriteConfig("MapnikPause=30000\r\n");
    ASSERT_EQ(Run(NewShaped("held", "ride.gpx", "14") << "--corridor" << "500m").Status, 0);
    QFile::remove(work.File("ride.gpx"));

    const auto storedTiles = [&] { return QDir(work.File("held")).entryList(QDir::Files).size(); };
    QProcess process;
    Begin(process, {"run", work.File("held.qtsk")});
    ASSERT_TRUE(RunEventsUntil([&] { return storedTiles() == MaxDownThreads; }, 20000));
    ::kill(pid_t(process.processId()), SIGINT);
    EXPECT_EQ(Finish(process).Status, 130);
    EXPECT_GT(TIniFile(work.File("held.qtsk")).ReadInteger("THREADS", "T1X", 0), 0) << "positions saved";

    WriteConfig("MapnikPause=0\r\n");
    const Outcome rest = Run({"run", work.File("held.qtsk")});
    EXPECT_EQ(rest.Status, 0) << rest.Err.toStdString();
    ExpectRequestedOnce(expected);
}

namespace {
// The tiles whose square meets `degrees` (a polygon built in the test, not
// read by the program), as request paths.
QSet<QString> PathsMeeting(const OGRGeometry& degrees, int zoom)
{
    QSet<QString> paths;
    for (auto [x, y] : BruteForceTiles(AreaShape(std::unique_ptr<OGRGeometry>(degrees.clone())), zoom))
        paths << TilePath(zoom, x, y);
    return paths;
}

OGRPolygon PolygonOf(const std::vector<std::pair<double, double>>& corners)
{
    OGRLinearRing ring;
    for (auto [x, y] : corners)
        ring.addPoint(x, y);
    ring.closeRings();
    OGRPolygon polygon;
    polygon.addRing(&ring);
    return polygon;
}

// A shapefile of one polygon in the Swiss grid (EPSG:2056), written through OGR.
void WriteSwissShapefile(const QString& fileName, const OGRPolygon& polygon)
{
    GDALAllRegister();
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile");
    GDALDataset* dataset = driver->Create(fileName.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr);
    ASSERT_NE(dataset, nullptr);
    OGRSpatialReference swiss;
    swiss.importFromEPSG(2056);
    OGRLayer* layer = dataset->CreateLayer("bern", &swiss, wkbPolygon, nullptr);
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetGeometry(&polygon);
    EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    GDALClose(dataset);
}

// `polygon` from the Swiss grid to longitude and latitude, corner by corner.
OGRPolygon SwissToDegrees(const OGRPolygon& polygon)
{
    OGRSpatialReference swiss, wgs84;
    swiss.importFromEPSG(2056);
    wgs84.importFromEPSG(4326);
    swiss.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    const std::unique_ptr<OGRCoordinateTransformation> toDegrees(OGRCreateCoordinateTransformation(&swiss, &wgs84));
    std::vector<std::pair<double, double>> corners;
    const OGRLinearRing& ring = *polygon.getExteriorRing();
    for (int i = 0; i + 1 < ring.getNumPoints(); ++i) {
        double x = ring.getX(i), y = ring.getY(i);
        EXPECT_TRUE(toDegrees->Transform(1, &x, &y));
        corners.emplace_back(x, y);
    }
    return PolygonOf(corners);
}
}

// A KML polygon and a shapefile in a national grid fetch exactly the tiles
// their polygon meets, worked out here from the corners alone.
TEST_F(ShapedTaskCommandTest, KmlPolygonAndSwissGridShapefileFetchExactlyTheirTiles)
{
    const std::vector<std::pair<double, double>> munich{{11.3, 48.0}, {11.9, 48.05}, {11.6, 48.35}};
    work.Write("munich.kml", R"(<?xml version="1.0" encoding="UTF-8"?>
<kml xmlns="http://www.opengis.net/kml/2.2"><Document><Placemark><name>munich</name>
  <Polygon><outerBoundaryIs><LinearRing><coordinates>
    11.3,48.0 11.9,48.05 11.6,48.35 11.3,48.0
  </coordinates></LinearRing></outerBoundaryIs></Polygon>
</Placemark></Document></kml>
)");
    const OGRPolygon bern = PolygonOf({{2595000, 1195000}, {2612000, 1196000}, {2608000, 1210000}, {2598000, 1206000}});
    WriteSwissShapefile(work.File("bern.shp"), bern);

    ASSERT_EQ(Run(NewShaped("munich", "munich.kml", "12") << "--run").Status, 0);
    const QSet<QString> munichTiles = PathsMeeting(PolygonOf(munich), 12);
    ExpectRequestedOnce(munichTiles);

    const Outcome swiss = Run(NewShaped("bern", "bern.shp", "13") << "--run");
    ASSERT_EQ(swiss.Status, 0) << swiss.Err.toStdString();
    const QSet<QString> bernTiles = PathsMeeting(SwissToDegrees(bern), 13);
    EXPECT_GT(bernTiles.size(), 10);
    ExpectRequestedOnce(munichTiles + bernTiles);
}

// Two specks at opposite corners of the world: a rectangle around them at
// zoom 18 holds more tiles than a task can, the shape a handful.
TEST_F(ShapedTaskCommandTest, RunTakesAShapedTaskWhoseRectangleNoTaskCouldHold)
{
    work.Write("specks.geojson", R"({"type": "FeatureCollection", "features": [{"type": "Feature",
  "properties": {}, "geometry": {"type": "MultiPolygon", "coordinates": [
    [[[-170.0001, -70.0001], [-170.0001, -70], [-170, -70], [-170.0001, -70.0001]]],
    [[[170, 70], [170.0001, 70], [170.0001, 70.0001], [170, 70]]]]}}]}
)");
    ASSERT_EQ(Run(NewShaped("specks", "specks.geojson", "18") << "--yes").Status, 0);
    const Outcome outcome = Run({"run", work.File("specks.qtsk")});
    ASSERT_EQ(outcome.Status, 0) << outcome.Err.toStdString();
    // Speck by speck: their joint rectangle is what the program must not walk.
    ExpectRequestedOnce(PathsMeeting(PolygonOf({{-170.0001, -70.0001}, {-170.0001, -70}, {-170, -70}}), 18)
        + PathsMeeting(PolygonOf({{170, 70}, {170.0001, 70}, {170.0001, 70.0001}}), 18));
}

TEST_F(ShapedTaskCommandTest, BadShapeInputsAreRefusedWithOneLine)
{
    work.Write("ride.gpx", kGpxTrack);
    work.Write("empty.geojson", R"({"type": "FeatureCollection", "features": []})");
    work.Write("text.geojson", "not a shape at all");
    struct Case {
        QStringList Arguments;
        int Status;
    };
    const QList<Case> cases{
        {NewShaped("a", "ride.gpx", "12") << "--area" << "1,2,3,4", 2},
        {NewShaped("a", "ride.gpx", "12"), 2},  // a line needs a corridor
        {NewShaped("a", "ride.gpx", "12") << "--corridor" << "2 miles", 2},
        {NewShaped("a", "ride.gpx", "12") << "--corridor" << "-5m", 2},
        {NewTask("a") << "--corridor" << "2km", 2},
        {NewShaped("a", "missing.gpx", "12") << "--corridor" << "1km", 1},
        {NewShaped("a", "text.geojson", "12") << "--corridor" << "1km", 1},
        {NewShaped("a", "empty.geojson", "12") << "--corridor" << "1km", 1},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Run(c.Arguments);
        EXPECT_EQ(outcome.Status, c.Status) << c.Arguments.join(' ').toStdString() << "\n" << outcome.Err.toStdString();
        EXPECT_FALSE(outcome.Err.trimmed().isEmpty()) << c.Arguments.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(work.File("a.qtsk")));
    }
    EXPECT_TRUE(RequestedPaths().isEmpty());
}

TEST(CorridorDistance, ReadsMetresAndKilometres)
{
    EXPECT_EQ(ReadDistanceMetres("500m"), 500);
    EXPECT_EQ(ReadDistanceMetres("2km"), 2000);
    EXPECT_EQ(ReadDistanceMetres("2.5km"), 2500);
    EXPECT_EQ(ReadDistanceMetres("800"), 800);
    for (const char* wrong : {"", "0", "0km", "-1km", "2 km", "km", "1e3", "2mi", "1.km", ".5km"})
        EXPECT_FALSE(ReadDistanceMetres(wrong)) << wrong;
}
