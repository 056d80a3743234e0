#include "app/main_window_fixture.h"
#include "geo/shape_checks.h"
#include "geo/shape_samples.h"
#include "platform/number_question.h"
#include "platform/number_text.h"
#include "settings/ini_file.h"

#include <QGroupBox>
#include <QSet>

namespace {
class AreaFromFileTest : public MainWindowTest {
protected:
    ~AreaFromFileTest() override { InterceptNumberQuestions(nullptr); }

    // Area from file with `file` and a corridor of `kilometres`.
    void TakeArea(const QString& file, double kilometres)
    {
        InterceptFileChooser([path = work.File(file)](const QString&) { return std::optional(path); });
        InterceptNumberQuestions([kilometres](const QString&, double) { return std::optional(kilometres); });
        window->AreaFromFile1->click();
    }
};
}

TEST_F(AreaFromFileTest, ShapedStartFetchesTheShapesTilesAndOpenTaskShowsItAgain)
{
    work.Write("holed.geojson", kPolygonWithHole);
    window->EditTaskName->setText("holed");
    window->UpDown1->SetPosition(9);
    TakeArea("holed.geojson", 0.25);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    const ShapeResult shape = ReadShape({work.File("holed.geojson"), QString(), 250});
    ASSERT_TRUE(shape.Ok());
    const std::vector<std::pair<int, int>> tiles = BruteForceTiles(*shape.Shape, 9);
    EXPECT_EQ(window->Edit1->text(), GeneralRealText(shape.Shape->West()));
    EXPECT_EQ(window->Edit2->text(), GeneralRealText(shape.Shape->North()));
    EXPECT_TRUE(window->Edit1->isReadOnly() && window->Edit4->isReadOnly());
    EXPECT_EQ(window->GroupBox4->title(),
        QStringLiteral("Shape: holed.geojson, corridor 0.25 km, %1 tiles").arg(tiles.size()));
    EXPECT_EQ(TIniFile(exe.File("ini/config.ini")).ReadString("IniParas", "ShapeCorridorKm", ""), "0.25");

    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    QSet<QString> expected;
    for (auto [x, y] : tiles)
        expected << QStringLiteral("/9/%1/%2.png").arg(x).arg(y);
    const QStringList paths = RequestedPaths();
    EXPECT_EQ(paths.size(), expected.size());
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()), expected);
    EXPECT_EQ(TIniFile(work.File("holed.qtsk")).ReadString("AREA", "AreaFile", ""), "holed.area.geojson");

    // Back to a plain rectangle, then the task opened again.
    window->PlainRectangle1->click();
    EXPECT_FALSE(window->Edit1->isReadOnly());
    EXPECT_TRUE(window->GroupBox4->title().isEmpty());
    QFile::remove(work.File("holed.geojson"));
    window->OpenTaskFile(work.File("holed.qtsk"));
    EXPECT_TRUE(window->Edit1->isReadOnly());
    EXPECT_TRUE(window->GroupBox4->title().startsWith("Shape: holed.area.geojson"));
    EXPECT_TRUE(window->GroupBox4->title().endsWith(QStringLiteral(", %1 tiles").arg(tiles.size())));
}

TEST_F(AreaFromFileTest, UnusableFileLeavesTheRectangle)
{
    work.Write("route.gpx", "<gpx><trk><trkseg><trkpt lat=\"47\" lon=\"8\"/><trkpt lat=\"47.1\" lon=\"8.1\"/>"
                            "</trkseg></trk></gpx>");
    EnterArea(*window);
    TakeArea("route.gpx", 0);  // a line without a corridor
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(window->Edit1->isReadOnly());
    EXPECT_EQ(window->Edit1->text(), "10");
    EXPECT_FALSE(window->PlainRectangle1->isEnabled());
}
