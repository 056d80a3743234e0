#include "geo/area_file.h"
#include "shape_checks.h"
#include "support/temp_folder.h"

#include <QFile>
#include <gtest/gtest.h>
#include <ogr_geometry.h>

TEST(AreaFile, NameSitsBesideTheProjectFile)
{
    EXPECT_EQ(AreaFileNameFor("/data/alps.qtsk"), "/data/alps.area.geojson");
    EXPECT_EQ(AreaFileNameFor("/data/alps"), "/data/alps.area.geojson");
}

TEST(AreaFile, ReadingBackGivesTheSameShapeAndTiles)
{
    const TempFolder folder;
    folder.Write("line.geojson", R"({"type": "LineString", "coordinates":
        [[11.0123456789, 46.0123456789], [11.3987654321, 46.2987654321], [11.1111111, 46.4444444]]})");
    const ShapeResult corridor = ReadShape({folder.File("line.geojson"), {}, 750});
    ASSERT_TRUE(corridor.Ok()) << corridor.ProblemText.toStdString();

    const QString areaFile = folder.File("trip.area.geojson");
    ASSERT_EQ(WriteAreaFile(*corridor.Shape, areaFile), "");
    EXPECT_TRUE(folder.Read("trip.area.geojson").contains("\"MultiPolygon\"")
                || folder.Read("trip.area.geojson").contains("\"Polygon\""));
    const ShapeResult back = ReadAreaFile(areaFile);
    ASSERT_TRUE(back.Ok()) << back.ProblemText.toStdString();
    EXPECT_TRUE(back.Shape->Geometry().Equals(&corridor.Shape->Geometry()));
    for (int zoom : {12, 17}) {
        const TileCover written(*corridor.Shape, zoom);
        EXPECT_EQ(CoverTiles(TileCover(*back.Shape, zoom)), CoverTiles(written));
    }
}

TEST(AreaFile, BadFilesAreRefusedWithTheirText)
{
    const TempFolder folder;
    const ShapeResult missing = ReadAreaFile(folder.File("gone.area.geojson"));
    EXPECT_EQ(missing.Problem, ShapeProblem::CannotRead);
    EXPECT_TRUE(missing.ProblemText.startsWith("Cannot read the area file gone.area.geojson: "));

    folder.Write("line.area.geojson", R"({"type": "LineString", "coordinates": [[1, 2], [3, 4]]})");
    EXPECT_EQ(ReadAreaFile(folder.File("line.area.geojson")).ProblemText,
              "Cannot read the area file line.area.geojson: it holds no valid area");

    QFile huge(folder.File("huge.area.geojson"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kMaxAreaFileBytes + 1));
    huge.close();
    const ShapeResult tooLarge = ReadAreaFile(folder.File("huge.area.geojson"));
    EXPECT_EQ(tooLarge.Problem, ShapeProblem::TooLarge);
    EXPECT_EQ(tooLarge.ProblemText, "The area file huge.area.geojson is larger than 64 MiB");

    OGRPolygon empty;
    EXPECT_TRUE(WriteAreaFile(AreaShape(std::unique_ptr<OGRGeometry>(empty.clone())),
                              folder.File("no/such/folder/x.area.geojson"))
                    .startsWith("Cannot create file "));
}
