#include "geo/tile_math.h"
#include "platform/message_box.h"
#include "support/run_until.h"
#include "viewer/coordinate_text.h"
#include "viewer/selection_task.h"
#include "viewer/viewed_series.h"
#include "viewer/viewed_task.h"
#include "viewer/window/map_view.h"
#include "viewer/window/new_task_dialog.h"
#include "viewer/window/summary_dialog.h"
#include "viewer/window/viewer_window.h"
#include "viewer_task_fixture.h"
#include "viewer_window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QSpinBox>
#include <QStandardPaths>
#include <QUrl>
#include <gtest/gtest.h>

TEST_F(ViewerWindowTest, BadFileIsReportedAndTheTaskOnViewStays)
{
    fixture.folder.Write(QStringLiteral("bad.qtsk"), QByteArray("\0\1\2", 3));
    ASSERT_FALSE(window.OpenTask(fixture.folder.File(QStringLiteral("bad.qtsk"))));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Cannot open the task ") + fixture.folder.File("bad.qtsk")));
    EXPECT_EQ(window.Task(), nullptr);

    ASSERT_TRUE(window.OpenTask(fixture.ProjectFile()));
    ViewedTask* shown = window.Task();
    EXPECT_FALSE(window.OpenTask(fixture.folder.File(QStringLiteral("nothing.qtsk"))));
    EXPECT_EQ(window.Task(), shown);
    EXPECT_TRUE(window.View()->IsCoverageMode() == false);
}

TEST_F(ViewerWindowTest, StatusBarShowsThePlaceTheTileAndItsFileUnderTheCursor)
{
    fixture.WriteOneTileOfEachState();
    ASSERT_TRUE(window.OpenTask(fixture.ProjectFile()));
    ASSERT_TRUE(RunEventsUntil([&] { return window.Task()->IsCounted(); }));

    const QPointF map(841.25, 388.75);
    MoveTo(ScreenOf(map));
    const QPointF shown = window.View()->Geometry().ToMap(ScreenOf(map));
    const double longitude = TileXToLongitude(shown.x(), 10);
    const double latitude = TileYToLatitude(shown.y(), 10);
    const QStringList texts = window.StatusTexts();
    EXPECT_EQ(texts[0], QStringLiteral("Lon %1  Lat %2").arg(DecimalDegreesText(longitude), DecimalDegreesText(latitude)));
    EXPECT_EQ(texts[1], LongitudeDmsText(longitude) + QStringLiteral("  ") + LatitudeDmsText(latitude));
    EXPECT_EQ(texts[2], QStringLiteral("Tile z 10  x 841  y 388"));
    EXPECT_EQ(texts[3], QStringLiteral("os_841_388_10.png (failed)"));

    MoveTo(ScreenOf(QPointF(842.5, 387.5)));
    EXPECT_EQ(window.StatusTexts()[3], QStringLiteral("os_842_387_10.png (blank)"));
    EXPECT_TRUE(window.Summary()->Text().contains(QStringLiteral("Stored: 2\nMissing: 4\nFailed: 1\nBlank: 1\nUnreadable: 1")))
        << window.Summary()->Text().toStdString();
}

TEST_F(ViewerWindowTest, WheelForwardZoomsInAroundTheCursor)
{
    ASSERT_TRUE(window.OpenTask(fixture.ProjectFile()));
    const QPointF cursor(200, 150);
    const QPointF anchor = window.View()->Geometry().ToMap(cursor);
    const double before = window.View()->Geometry().PixelsPerTile();
    QWheelEvent wheel(cursor, window.View()->mapToGlobal(cursor), QPoint(), QPoint(0, 240), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.View(), &wheel);
    EXPECT_GT(window.View()->Geometry().PixelsPerTile(), before);
    const QPointF after = window.View()->Geometry().ToMap(cursor);
    EXPECT_NEAR(after.x(), anchor.x(), 1e-9);
    EXPECT_NEAR(after.y(), anchor.y(), 1e-9);
}

TEST_F(ViewerWindowTest, ShiftDragSelectsAndCopyBoundsGivesItsFourNumbers)
{
    ASSERT_TRUE(window.OpenTask(fixture.ProjectFile()));
    const QPointF from = ScreenOf(QPointF(841.5, 387.5));
    const QPointF to = ScreenOf(QPointF(843.25, 389.5));
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::ShiftModifier);
    Mouse(QEvent::MouseMove, to, Qt::LeftButton, Qt::ShiftModifier);
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_TRUE(window.View()->Selection());
    EXPECT_NEAR(window.View()->Selection()->left(), 841.5, 1e-9);
    EXPECT_NEAR(window.View()->Selection()->bottom(), 389.5, 1e-9);

    window.CopyBounds();
    EXPECT_EQ(QApplication::clipboard()->text(), BoundsText(AreaOfMapRect(*window.View()->Selection(), 10)));

    // A plain drag pans and keeps the selection.
    const QPointF center = window.View()->Geometry().Center();
    Mouse(QEvent::MouseButtonPress, QPointF(300, 300), Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPointF(350, 300), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, QPointF(350, 300), Qt::LeftButton);
    EXPECT_LT(window.View()->Geometry().Center().x(), center.x());
    EXPECT_TRUE(window.View()->Selection());
}

TEST_F(ViewerWindowTest, DroppedProjectFileOpens)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(fixture.ProjectFile())});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    ASSERT_NE(window.Task(), nullptr);
    EXPECT_EQ(window.Task()->ProjectFile(), fixture.ProjectFile());
}

TEST_F(ViewerWindowTest, NewTaskDialogWritesAProjectFileOnlyWhenTheMainWindowCouldStartIt)
{
    // The default MAPNIK server is openstreetmap.org: at most 250 tiles.
    const GeoArea area{116.0, 116.5, 40.0, 39.5};
    NewTaskDialog dialog(area, 14, 14, MAPNIK, fixture.folder.Path(), nullptr);
    dialog.TaskName()->setText(QStringLiteral("chosen.QTSK"));
    EXPECT_EQ(dialog.ProjectFileName(), QStringLiteral("chosen.QTSK.qtsk"));  // named as Start names it
    dialog.TaskName()->setText(QStringLiteral("chosen"));
    EXPECT_TRUE(dialog.EstimateText().contains(QStringLiteral("more than 250 tiles would be refused")))
        << dialog.EstimateText().toStdString();
    dialog.accept();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("This task holds ")));
    EXPECT_FALSE(QFileInfo::exists(fixture.folder.File(QStringLiteral("chosen.qtsk"))));

    dialog.Zoom()->setValue(10);
    // Rounded and worded as the main window's estimate: 9 x 15 KB.
    EXPECT_TRUE(dialog.EstimateText().startsWith(QStringLiteral("9 tiles, about 140 KiB")))
        << dialog.EstimateText().toStdString();
    dialog.accept();
    EXPECT_EQ(dialog.WrittenFiles(), QStringList{fixture.folder.File(QStringLiteral("chosen.qtsk"))});
    ASSERT_TRUE(window.OpenTask(dialog.WrittenFiles().value(0)));
    EXPECT_EQ(window.Task()->Task().TotalCount, 9);

    dialog.accept();  // the same name again: refused, the file stays
    EXPECT_TRUE(messages.last().contains(QStringLiteral("exists already")));
}

TEST_F(ViewerWindowTest, ASeriesOpensAsOneMapAndShowsTheZoomLevelTheScaleCallsFor)
{
    ViewerSeries series;
    ASSERT_TRUE(window.OpenTask(series.MemberFile(11)));
    ASSERT_EQ(window.Series()->Zooms(), (QList<int>{10, 11, 12}));
    ASSERT_TRUE(RunEventsUntil([&] { return window.Series()->IsCounted(); }));
    MapView& view = *window.View();
    view.Fit();
    // The middle of the view, in tiles of the deepest zoom: a tile of every level.
    const QPointF middle = view.Geometry().Center();
    ASSERT_TRUE(window.Series()->Tasks()[2]->Contains(int(middle.x()), int(middle.y())));
    const auto shownColour = [&] {
        EXPECT_TRUE(RunEventsUntil([&] {
            view.grab();
            return !view.ShownTask()->IsDecoding();
        }));
        // Off the tile grid's lines.
        return view.grab().toImage().pixel(view.Geometry().ToScreen(middle + QPointF(0.3, 0.3)).toPoint());
    };

    // Zoom 10's tiles at their own size.
    view.ZoomAtCenter(64 / view.Geometry().PixelsPerTile());
    EXPECT_EQ(view.ShownTask()->Zoom(), 10);
    EXPECT_EQ(window.StatusTexts().value(4), QStringLiteral("Zoom level 10 of 10 to 12"));
    EXPECT_EQ(shownColour(), ViewerSeries::ColourOf(10).rgb());
    for (int zoom : {11, 12}) {
        view.ZoomAtCenter(2);
        EXPECT_EQ(view.ShownTask()->Zoom(), zoom);
        EXPECT_EQ(window.StatusTexts().value(4), QStringLiteral("Zoom level %1 of 10 to 12").arg(zoom));
        EXPECT_EQ(shownColour(), ViewerSeries::ColourOf(zoom).rgb()) << zoom;
    }
    // The cursor names the tile and file of the zoom shown.
    MoveTo(ScreenOf(middle));
    const ViewedTask& deepest = *view.ShownTask();
    const int x = int(std::floor(middle.x())), y = int(std::floor(middle.y()));
    EXPECT_EQ(window.StatusTexts().value(3), deepest.Task().TileFileName(x, y) + QStringLiteral(" (stored)"));
    view.ZoomAtCenter(1.0 / 8);
    EXPECT_EQ(view.ShownTask()->Zoom(), 10);
    MoveTo(ScreenOf(middle));
    EXPECT_EQ(window.StatusTexts().value(2), QStringLiteral("Tile z 10  x %1  y %2").arg(x / 4).arg(y / 4));

    const QString summary = window.Summary()->Text();
    for (int zoom = 10; zoom <= 12; ++zoom) {
        const int tiles = series.memberTasks[zoom - 10]->TotalCount;
        EXPECT_TRUE(summary.contains(QStringLiteral("Task: alps_z%1.qtsk\nTiles: %2 at zoom level %1\n\nStored: %2\n")
                                         .arg(zoom)
                                         .arg(tiles)))
            << summary.toStdString();
    }
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Zoom series of 3 zoom levels, 10 to 12")));
}

TEST_F(ViewerWindowTest, NewTaskDialogWritesOneTaskPerZoomLevelNamedAsASeries)
{
    const GeoArea area{116.0, 116.5, 40.0, 39.5};
    NewTaskDialog dialog(area, 10, 10, MAPNIK, fixture.folder.Path(), nullptr);
    dialog.TaskName()->setText(QStringLiteral("alps"));
    // "to" is never below the zoom level and follows it while equal.
    dialog.ZoomTo()->setValue(9);
    EXPECT_EQ(dialog.ZoomTo()->value(), 10);
    dialog.Zoom()->setValue(11);
    EXPECT_EQ(dialog.ZoomTo()->value(), 11);
    dialog.ZoomTo()->setValue(12);
    dialog.Zoom()->setValue(10);
    EXPECT_EQ(dialog.ZoomTo()->value(), 12);

    qint64 tiles = 0;
    for (int zoom = 10; zoom <= 12; ++zoom)
        tiles += TaskTileCount(SelectionTaskParameters(area, zoom, MAPNIK, QString(), QString()));
    EXPECT_TRUE(dialog.EstimateText().startsWith(QStringLiteral("%1 tiles in 3 zoom levels, about ").arg(tiles)))
        << dialog.EstimateText().toStdString();
    EXPECT_EQ(dialog.ProjectFileNames(),
              (QStringList{"alps_z10.qtsk", "alps_z11.qtsk", "alps_z12.qtsk"}));

    // One name of the series taken: nothing is written.
    fixture.folder.Write(QStringLiteral("alps_z11.qtsk"), "taken");
    dialog.accept();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("alps_z11.qtsk exists already")));
    EXPECT_FALSE(QFileInfo::exists(fixture.folder.File(QStringLiteral("alps_z10.qtsk"))));
    QFile::remove(fixture.folder.File(QStringLiteral("alps_z11.qtsk")));

    dialog.accept();
    ASSERT_EQ(dialog.WrittenFiles().size(), 3);
    ASSERT_TRUE(window.OpenTask(dialog.WrittenFiles()[1]));
    EXPECT_EQ(window.Series()->Zooms(), (QList<int>{10, 11, 12}));
    EXPECT_EQ(window.Task()->Zoom(), 11);
}

TEST_F(ViewerWindowTest, TheTileLimitOfOpenStreetMapCountsTheWholeSeries)
{
    // The default MAPNIK server is openstreetmap.org: 250 tiles at most, in all.
    const GeoArea area{116.0, 116.5, 40.0, 39.5};
    NewTaskDialog dialog(area, 10, 13, MAPNIK, fixture.folder.Path(), nullptr);
    // 9 + 20 + 63 + 208 tiles: each level alone is within the limit.
    EXPECT_TRUE(dialog.EstimateText().contains(QStringLiteral("more than 250 tiles would be refused")))
        << dialog.EstimateText().toStdString();
    dialog.accept();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("These 4 zoom levels hold "))) << messages[0].toStdString();
    EXPECT_FALSE(QFileInfo::exists(fixture.folder.File(QStringLiteral("selection_z10.qtsk"))));

    dialog.ZoomTo()->setValue(12);
    EXPECT_FALSE(dialog.EstimateText().contains(QStringLiteral("refused")));
    dialog.accept();
    EXPECT_EQ(dialog.WrittenFiles().size(), 3);
}

TEST_F(ViewerWindowTest, TilesOfARunningTaskAppearWithoutReload)
{
    fixture.WriteTile(841, 387, ViewerTask::Png(QSize(256, 256), Qt::darkGreen));
    ASSERT_TRUE(window.OpenTask(fixture.ProjectFile()));
    ViewedTask& task = *window.Task();
    ASSERT_TRUE(RunEventsUntil([&] { return task.IsCounted(); }));
    EXPECT_EQ(task.Counts().Stored, 1);

    // The workers go on down the first column and into the next.
    fixture.WriteTile(841, 388, ViewerTask::Png(QSize(256, 256), Qt::darkGreen));
    fixture.WriteTile(841, 389, ViewerTask::Png(QSize(256, 256), Qt::white));
    fixture.WriteTile(842, 387, ViewerTask::Png(QSize(256, 256), Qt::darkGreen));
    ASSERT_TRUE(RunEventsUntil([&] { return task.Counts().Stored == 3 && task.Counts().Blank == 1; }, 5000))
        << task.Counts().Stored;
    EXPECT_EQ(task.Counts().Missing, 5);
    EXPECT_EQ(task.StateOf(842, 387), TileState::Stored);
    EXPECT_EQ(task.StateOf(841, 389), TileState::Blank);
}
