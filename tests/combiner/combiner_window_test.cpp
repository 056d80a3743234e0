#include "combiner/window/combiner_window.h"
#include "combiner_fixture.h"
#include "shaped_combiner_task.h"
#include "geo/tile_math.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "support/run_until.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QEventLoop>
#include <QMimeData>
#include <QThreadPool>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
struct CombinerWindowTest : testing::Test {
    CombinerTask t;
    CombinerWindow window;
    QStringList messages;
    QStringList questions;
    bool answer = true;

    CombinerWindowTest()
    {
        InterceptMessages([this](MessageKind, const QString& text) { messages << text; });
        InterceptQuestions([this](const QString& text) {
            questions << text;
            return answer;
        });
    }
    ~CombinerWindowTest() override
    {
        InterceptMessages(nullptr);
        InterceptQuestions(nullptr);
    }

    bool OpenAndCount(const QString& projectFile)
    {
        window.OpenTask(projectFile);
        return RunEventsUntil([&] { return window.SummaryLabel()->text().contains(QStringLiteral(" tiles: ")); });
    }

    bool StartAndWait()
    {
        QEventLoop loop;
        bool ended = false;
        QObject::connect(&window, &CombinerWindow::RunEnded, &loop, [&] {
            ended = true;
            loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        window.StartButton()->click();
        if (window.IsRunning())
            loop.exec();
        return ended;
    }
};
}

TEST_F(CombinerWindowTest, SummarisesTheTaskAndWritesBesideIt)
{
    QFile::remove(t.TilePath(843, 388));
    t.folder.Write("area_failed.ftl", "/old/area/os_843_388_10.png|http://tile/10/843/388.png\r\n");
    QFile::remove(t.TilePath(841, 388));
    const TempFolder programFolder;
    QDir(programFolder.Path()).mkdir(QStringLiteral("blankimg"));
    programFolder.Write("blankimg/blank.png", t.folder.Read("area/os_842_387_10.png"));
    OverrideExecutableFolder(programFolder.Path());
    ASSERT_TRUE(OpenAndCount(t.ProjectFile()));
    OverrideExecutableFolder(QString());
    EXPECT_TRUE(window.SummaryLabel()->text().startsWith(
        QStringLiteral("6 tiles: 3 stored, 1 missing, 1 failed, 1 blank.\nOutput 768 x 512 pixels, about ")))
        << window.SummaryLabel()->text().toStdString();
    EXPECT_EQ(window.OutputEdit()->text(), t.folder.File("area.tif"));

    window.FormatBox()->setCurrentIndex(2);
    EXPECT_EQ(window.OutputEdit()->text(), t.folder.File("area.mbtiles"));
    ASSERT_TRUE(StartAndWait());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_EQ(window.Report()->toPlainText(), "missing: os_841_388_10.png\nfailed: os_843_388_10.png");
    EXPECT_TRUE(window.ProgressLabel()->text().startsWith(QStringLiteral("Written ")));
    EXPECT_TRUE(t.folder.Read("area.mbtiles").startsWith("SQLite format 3"));
}

TEST_F(CombinerWindowTest, AsksBeforeReplacingAndShowsWhyNothingWasWritten)
{
    window.OpenTask(t.ProjectFile());
    t.folder.Write("area.tif", "old");
    answer = false;
    window.StartButton()->click();
    EXPECT_FALSE(window.IsRunning());
    EXPECT_EQ(questions, QStringList{QStringLiteral("%1 exists. Replace it?").arg(t.folder.File("area.tif"))});
    EXPECT_EQ(t.folder.Read("area.tif"), "old");

    answer = true;
    ASSERT_TRUE(StartAndWait());
    EXPECT_NE(t.folder.Read("area.tif"), "old") << messages.join(u'\n').toStdString();

    window.OutputEdit()->setText(t.folder.File("nowhere/area.tif"));
    ASSERT_TRUE(StartAndWait());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("Cannot write ")));
    EXPECT_EQ(window.ProgressLabel()->text(), "Nothing was written.");

    window.OpenTask(t.folder.File("none.qtsk"));
    EXPECT_TRUE(messages.last().startsWith(QStringLiteral("Cannot open the task ")));
}

TEST_F(CombinerWindowTest, CountsTilesOffTheGuiThreadAndShowsOnlyTheTaskOpenedLast)
{
    // Some 40,000 tiles, none downloaded: a count that takes a while.
    ExampleTask large;
    large.parameters.Zoom = 17;
    MDTask(&large.parameters).WriteProjectFile();
    QFile::remove(t.TilePath(841, 387));

    window.OpenTask(large.folder.File("newtask.qtsk"));
    EXPECT_EQ(window.SummaryLabel()->text(), "Counting the tiles...");
    EXPECT_TRUE(window.StartButton()->isEnabled());
    ASSERT_TRUE(OpenAndCount(t.ProjectFile()));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.SummaryLabel()->text().startsWith(QStringLiteral("6 tiles: 5 stored, 1 missing, 0 failed, 0 blank.")))
        << window.SummaryLabel()->text().toStdString();
    EXPECT_EQ(window.OutputEdit()->text(), t.folder.File("area.tif"));
}

TEST_F(CombinerWindowTest, OffersTheZoomSeriesOfTheTaskOpenedWithEachZoomsCounts)
{
    // A series of two zoom levels beside the example task, which is no member.
    const OtherTask z10(t, QStringLiteral("alps_z10.qtsk"), 10);
    const OtherTask z11(t, QStringLiteral("alps_z11.qtsk"), 11);
    ASSERT_TRUE(OpenAndCount(z11.ProjectFile()));
    EXPECT_TRUE(window.SeriesBox()->isVisibleTo(&window));
    EXPECT_TRUE(window.SeriesBox()->isChecked());
    EXPECT_EQ(window.SeriesBox()->text(), "&Whole zoom series: 2 tasks, zoom 10 to 11");
    EXPECT_TRUE(window.SummaryLabel()->text().startsWith(QStringLiteral("Zoom 10: 6 tiles: 6 stored, 0 missing, 0 failed, 0 blank.\nZoom 11: ")))
        << window.SummaryLabel()->text().toStdString();
    EXPECT_EQ(window.LowerZoomBox()->value(), 7);
    EXPECT_EQ(window.OutputEdit()->text(), t.folder.File("alps.tif"));
    EXPECT_FALSE(window.LowerZoomBox()->isEnabled());

    window.FormatBox()->setCurrentIndex(3);  // GeoPackage
    EXPECT_TRUE(window.LowerZoomBox()->isEnabled());
    window.LowerZoomBox()->setValue(9);
    ASSERT_TRUE(StartAndWait());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(window.ProgressLabel()->text().contains(QStringLiteral(" built."))) << window.ProgressLabel()->text().toStdString();
    EXPECT_TRUE(QFile::exists(t.folder.File("alps.gpkg")));

    window.SeriesBox()->setChecked(false);
    ASSERT_TRUE(RunEventsUntil([&] { return window.SummaryLabel()->text().contains(QStringLiteral(" tiles: ")); }));
    EXPECT_FALSE(window.SummaryLabel()->text().contains(QStringLiteral("Zoom 10")));

    ASSERT_TRUE(OpenAndCount(t.ProjectFile()));
    EXPECT_FALSE(window.SeriesBox()->isVisibleTo(&window));
}

TEST_F(CombinerWindowTest, TasksGivenTogetherAreSummedAndJoinedIntoOneImage)
{
    // Three columns east of the example task, and a zoom below it.
    const OtherTask east(t, QStringLiteral("east.qtsk"), 10, 200, 3 * 360.0 / 1024);
    ASSERT_EQ(east.task->MinX, 844);
    const OtherTask low(t, QStringLiteral("low.qtsk"), 9);
    QFile::remove(t.TilePath(841, 387));
    QMimeData dropped;
    dropped.setUrls({QUrl::fromLocalFile(t.ProjectFile()), QUrl::fromLocalFile(east.ProjectFile()), QUrl::fromLocalFile(low.ProjectFile())});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    ASSERT_TRUE(RunEventsUntil([&] { return window.SummaryLabel()->text().contains(QStringLiteral(" tiles: ")); }));
    EXPECT_FALSE(window.SeriesBox()->isVisibleTo(&window));
    EXPECT_EQ(window.SummaryLabel()->text().section(u'\n', 0, 1),
        QStringLiteral("Zoom 9: 4 tiles: 4 stored, 0 missing, 0 failed, 0 blank.\nZoom 10: 12 tiles: 11 stored, 1 missing, 0 failed, 0 blank."))
        << window.SummaryLabel()->text().toStdString();
    EXPECT_TRUE(window.SummaryLabel()->text().section(u'\n', 2).startsWith(QStringLiteral("Output 1,536 x 512 pixels (zoom 10), about ")))
        << window.SummaryLabel()->text().toStdString();
    EXPECT_EQ(window.OutputEdit()->text(), t.folder.File("area.tif"));
    EXPECT_EQ(window.LowerZoomBox()->value(), 6);

    window.FormatBox()->setCurrentIndex(1);  // PNG
    ASSERT_TRUE(StartAndWait());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(window.Report()->toPlainText().startsWith(QStringLiteral("left out: low.qtsk (zoom 9): ")));
    EXPECT_TRUE(window.Report()->toPlainText().endsWith(QStringLiteral("\nmissing: os_841_387_10.png")));
    EXPECT_EQ(QImage(t.folder.File("area.png")).size(), QSize(1536, 512));

    // One task opened afterwards is that task alone again.
    ASSERT_TRUE(OpenAndCount(east.ProjectFile()));
    EXPECT_TRUE(window.SummaryLabel()->text().startsWith(QStringLiteral("6 tiles: 6 stored"))) << window.SummaryLabel()->text().toStdString();
}

TEST_F(CombinerWindowTest, AnImageTooLargeForMemoryIsRefusedInWordsNotAsAnException)
{
    // Two tiles of zoom 23 nearly eight million columns apart: a PNG of 2
    // billion pixels a row, far past what memory and PNG readers hold.
    const auto oneTile = [&](const QString& name, int x) {
        TaskParameters p = t.parameters;
        p.TaskName = name;
        p.Zoom = 23;
        p.LeftLongitude = TileXToLongitude(x + 0.25, 23);
        p.RightLongitude = TileXToLongitude(x + 0.75, 23);
        p.TopLatitude = TileYToLatitude(3000000.25, 23);
        p.BottomLatitude = TileYToLatitude(3000000.75, 23);
        MDTask task(&p);
        task.WriteProjectFile();
        task.CreateFailedTileList();
        return p.Path + p.TaskName;
    };
    window.OpenTasks({oneTile(QStringLiteral("west.qtsk"), 1), oneTile(QStringLiteral("east.qtsk"), 8000000)});
    ASSERT_TRUE(RunEventsUntil([&] { return window.SummaryLabel()->text().contains(QStringLiteral(" tiles: ")); }));
    window.FormatBox()->setCurrentIndex(1);  // PNG
    ASSERT_TRUE(StartAndWait());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith(QStringLiteral("A PNG image wider or higher than 1,000,000 pixels cannot be opened"))) << messages[0].toStdString();
    EXPECT_EQ(window.ProgressLabel()->text(), "Nothing was written.");
    EXPECT_FALSE(QFile::exists(t.folder.File("west.png")));
}

// A shaped task's count is its area's tiles, not its rectangle's.
TEST_F(CombinerWindowTest, AShapedTaskCountsItsAreasTiles)
{
    const ShapedCombinerTask shaped;
    ASSERT_TRUE(OpenAndCount(shaped.ProjectFile()));
    EXPECT_TRUE(window.SummaryLabel()->text().startsWith(QStringLiteral("3 tiles: 3 stored, 0 missing, 0 failed, 0 blank.")))
        << window.SummaryLabel()->text().toStdString();
}
