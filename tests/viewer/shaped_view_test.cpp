#include "geo/area_file.h"
#include "geo/shape_checks.h"
#include "platform/message_box.h"
#include "settings/ini_file.h"
#include "support/run_until.h"
#include "task/shaped_example_task.h"
#include "task/stored_shape.h"
#include "viewer/drawn_area_task.h"
#include "viewer/tile_style.h"
#include "viewer/viewed_task.h"
#include "viewer/window/map_view.h"
#include "viewer/window/new_task_dialog.h"
#include "viewer/window/viewer_window.h"
#include "viewer_task_fixture.h"
#include "viewer_window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSpinBox>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {
// The example task made shaped (see ShapeExampleTaskAsL) with 841/387 stored.
struct ShapedViewerTask : ViewerTask {
    ShapedViewerTask()
    {
        task = ShapeExampleTaskAsL(parameters, QStringLiteral("newtask.area.geojson"));
        WriteTile(841, 387, Png(QSize(256, 256), Qt::darkGreen));
    }
};

}

// Places outside the area are neither counted nor coloured as missing, and
// the view draws nothing of the task there.
TEST(ShapedView, PlacesOutsideTheAreaAreNotMissing)
{
    ShapedViewerTask fixture;
    ViewedTask viewed(fixture.ProjectFile());
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.IsCounted(); }));
    EXPECT_EQ(viewed.Counts().Stored, 1);
    EXPECT_EQ(viewed.Counts().Missing, 2);
    EXPECT_EQ(viewed.Coverage().TileStateAt(842, 388), std::nullopt);
    EXPECT_EQ(viewed.Coverage().TileStateAt(841, 388), TileState::Missing);
    ASSERT_TRUE(viewed.IsShaped());
    ASSERT_EQ(viewed.AreaOutline().size(), 1);
    EXPECT_EQ(viewed.AreaOutline()[0].boundingRect().toAlignedRect(), QRect(841, 387, 2, 2));

    MapView view;
    view.resize(24, 24);
    view.SetTask(&viewed);
    view.SetRequestedAreaShown(false);  // the outline would cross the cells' middles
    ASSERT_TRUE(view.IsCoverageMode());
    const QImage shown = view.grab().toImage();
    const auto at = [&](QPointF map) { return shown.pixelColor(view.Geometry().ToScreen(map).toPoint()); };
    EXPECT_EQ(at(QPointF(841.5, 387.5)), TileStateColor(TileState::Stored));
    EXPECT_EQ(at(QPointF(841.5, 388.5)), TileStateColor(TileState::Missing));
    EXPECT_NE(at(QPointF(842.5, 388.5)), TileStateColor(TileState::Missing));
    EXPECT_NE(at(QPointF(842.5, 388.5)), UnknownTileColor());
}

// A running shaped task's new tiles appear: the scan follows the walk of its
// area, whose last tile lies as many places into its rectangle as the area
// has tiles.
TEST(ShapedView, TilesOfARunningShapedTaskAppear)
{
    ViewerTask fixture;
    fixture.task = ShapeExampleTaskAsL(fixture.parameters, QStringLiteral("newtask.area.geojson"), kExampleMirroredL);
    fixture.WriteTile(841, 388, ViewerTask::Png(QSize(256, 256), Qt::darkGreen));
    ViewedTask viewed(fixture.ProjectFile());
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.IsCounted(); }));
    ASSERT_EQ(viewed.Counts().Missing, 2);

    fixture.WriteTile(842, 387, ViewerTask::Png(QSize(256, 256), Qt::darkGreen));
    fixture.WriteTile(842, 388, ViewerTask::Png(QSize(256, 256), Qt::white));
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.Counts().Stored == 2 && viewed.Counts().Blank == 1; }, 5000))
        << viewed.Counts().Stored << " stored, " << viewed.Counts().Blank << " blank";
    EXPECT_EQ(viewed.Counts().Missing, 0);
    EXPECT_EQ(viewed.StateOf(842, 388), TileState::Blank);
}

namespace {
class PolygonDrawingTest : public ViewerWindowTest {
protected:
    void SetUp() override
    {
        ViewerWindowTest::SetUp();
        ASSERT_TRUE(window.OpenTask(fixture.ProjectFile()));
    }
    void Click(QPointF map)
    {
        Mouse(QEvent::MouseButtonPress, ScreenOf(map), Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, ScreenOf(map), Qt::LeftButton);
    }
    void DoubleClick(QPointF map)
    {
        Click(map);
        Mouse(QEvent::MouseButtonDblClick, ScreenOf(map), Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, ScreenOf(map), Qt::LeftButton);
    }
    void Key(int key)
    {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(window.View(), &event);
    }
};
}

// Esc drops a polygon being drawn, Enter closes one of three corners or more.
TEST_F(PolygonDrawingTest, EscDropsAndEnterClosesThePolygon)
{
    MapView& view = *window.View();
    view.StartPolygon();
    Click(QPointF(841.2, 387.2));
    Click(QPointF(843.8, 387.2));
    Key(Qt::Key_Return);  // two corners make no area
    EXPECT_FALSE(view.Polygon());
    Key(Qt::Key_Escape);
    Click(QPointF(843.8, 389.8));
    EXPECT_FALSE(view.Polygon()) << "clicks after Esc add no corner";

    view.StartPolygon();
    for (const QPointF corner : {QPointF(841.2, 387.2), QPointF(843.8, 387.2), QPointF(843.8, 389.8)})
        Click(corner);
    Key(Qt::Key_Enter);
    ASSERT_TRUE(view.Polygon());
    EXPECT_EQ(view.Polygon()->size(), 3);
    EXPECT_FALSE(view.Selection());
    window.CopyBounds();
    EXPECT_EQ(QApplication::clipboard()->text(),
        BoundsText(AreaOfMapRect(QRectF(QPointF(841.2, 387.2), QPointF(843.8, 389.8)), 10)));
}

// Clicked corners closed by a double click make a shaped zoom series whose
// tiles are those the polygon meets, with its area file.
TEST_F(PolygonDrawingTest, DrawnPolygonBecomesAShapedSeriesOfItsTiles)
{
    MapView& view = *window.View();
    view.StartPolygon();
    const QList<QPointF> corners{QPointF(841.2, 387.3), QPointF(843.7, 387.6), QPointF(842.4, 389.6)};
    Click(corners[0]);
    Click(corners[1]);
    DoubleClick(corners[2]);
    ASSERT_TRUE(view.Polygon());
    ASSERT_EQ(view.Polygon()->size(), 3) << "the double click's two clicks make one corner";

    const ShapeResult drawn = DrawnAreaShape(*view.Polygon(), view.MapZoom());
    ASSERT_TRUE(drawn.Ok()) << drawn.ProblemText.toStdString();
    const GeoArea bounds = AreaOfMapRect(view.Polygon()->boundingRect(), view.MapZoom());
    NewTaskDialog dialog(bounds, 10, 11, MAPNIK, fixture.folder.Path(), nullptr, DrawnArea(*drawn.Shape));
    dialog.TaskName()->setText(QStringLiteral("drawn"));
    dialog.accept();
    ASSERT_EQ(dialog.WrittenFiles().size(), 2) << messages.join('\n').toStdString();

    // The corners in degrees, straight to a polygon here.
    OGRLinearRing ring;
    for (const QPointF& corner : corners)
        ring.addPoint(TileXToLongitude(corner.x(), 10), TileYToLatitude(corner.y(), 10));
    ring.closeRings();
    auto polygon = std::make_unique<OGRPolygon>();
    polygon->addRing(&ring);
    const AreaShape expected{std::move(polygon)};
    for (int zoom : {10, 11}) {
        const QString member = fixture.folder.File(QStringLiteral("drawn_z%1.qtsk").arg(zoom));
        EXPECT_EQ(TIniFile(member).ReadString("AREA", "AreaFile", ""), "drawn.area.geojson");
        const OpenedTask opened = OpenStoredTaskReadOnly(member);
        std::vector<std::pair<int, int>> tiles;
        opened.Task->Walk.ForEachTile([&](int x, int y) {
            tiles.emplace_back(x, y);
            return true;
        });
        EXPECT_EQ(tiles, BruteForceTiles(expected, zoom)) << zoom;
    }
    EXPECT_TRUE(ReadAreaFile(fixture.folder.File("drawn.area.geojson")).Ok());
}
