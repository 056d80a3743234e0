#include "app/main_window_fixture.h"
#include "app/task_progress_display.h"
#include "platform/number_text.h"
#include "platform/text_files.h"
#include "run/task_lock.h"
#include "settings/ini_file.h"
#include "support/validating_tile_server.h"

#include <QAction>
#include <QLabel>
#include <QRegularExpression>
#include <QSet>

// A zoom series of three levels (zoom 3 to 5 over the fixture's area) in
// the real window against the loopback server.
class ZoomSeriesTest : public MainWindowTest {
protected:
    static inline const QStringList kStems{"newtask_z3", "newtask_z4", "newtask_z5"};

    void EnterSeries(TForm1& form)
    {
        EnterArea(form);
        form.UpDown1->SetPosition(3);
        form.UpDownZoomTo->SetPosition(5);
        form.EditTaskName->setText("newtask");
    }

    bool RunUntilSeriesEnds()
    {
        return RunUntil([this] { return !messages.filter("Zoom series").isEmpty(); });
    }

    QString Shown() const { return window->ProgressDisplay->Text()->text(); }

    // The last column of zoom 4 is never answered: the series is held in its
    // second level once the other eight tiles of it are in.
    bool StartHeldInTheSecondLevel()
    {
        server.SetResponder([](const QByteArray& head) {
            return head.startsWith("GET /4/12/") ? ScriptedReply::Stall() : ScriptedReply::Ok("tile");
        });
        EnterSeries(*window);
        window->BitBtn1->click();
        return RunUntil([this] { return LinesContaining(*window, "_4.png OK") == 8; });
    }
};

TEST_F(ZoomSeriesTest, ToFollowsTheZoomLevelAndIsNeverBelowIt)
{
    window->UpDown1->SetPosition(10);
    EXPECT_EQ(window->UpDownZoomTo->Position(), 10);
    window->UpDownZoomTo->SetPosition(12);
    window->UpDown1->SetPosition(11);
    EXPECT_EQ(window->UpDownZoomTo->Position(), 12) << "above the zoom level it stays";
    window->UpDown1->SetPosition(14);
    EXPECT_EQ(window->UpDownZoomTo->Position(), 14);
    window->UpDownZoomTo->SetPosition(9);
    EXPECT_EQ(window->UpDownZoomTo->Position(), 14);
}

TEST_F(ZoomSeriesTest, SeriesRunsEveryLevelAsItsOwnTaskWithOneMessage)
{
    EnterSeries(*window);
    EXPECT_TRUE(Shown().startsWith("34 tiles in 3 zoom levels, about ")) << Shown().toStdString();
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilSeriesEnds());
    EXPECT_EQ(messages, QStringList{"Zoom series ended: 34 tiles stored, 0 blank, 0 failed in 3 of 3 zoom levels."});
    EXPECT_EQ(server.RequestCount(), 34);
    EXPECT_TRUE(Shown().startsWith("34 / 34 \u00b7 100% \u00b7 zoom 5 (3 of 3)")) << Shown().toStdString();
    for (const QString& stem : kStems) {
        EXPECT_TRUE(work.Read(stem + "_log.txt").endsWith(stem.toLatin1() + "_log.txt\r\n")) << stem.toStdString();
        EXPECT_TRUE(QDir(work.File(stem)).exists());
    }
    EXPECT_TRUE(window->Memo1->Lines().contains("Zoom level 5 begins: newtask_z5.qtsk (3 of 3)"));

    // The member of zoom 4 is what a single task of zoom 4 writes.
    messages.clear();
    EnterArea(*window);
    window->UpDownZoomTo->SetPosition(4);
    window->EditTaskName->setText("single");
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(work.Read("newtask_z4.qtsk"), work.Read("single.qtsk"));
    EXPECT_EQ(work.Read("newtask_z4_list.txt"), work.Read("single_list.txt").replace("single", "newtask_z4"));
    EXPECT_EQ(work.Read("newtask_z4_failed.ftl"), work.Read("single_failed.ftl"));
}

TEST_F(ZoomSeriesTest, StopInTheSecondLevelThenOpenTheThirdContinuesWithoutATileTwice)
{
    ASSERT_TRUE(StartHeldInTheSecondLevel());
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilSeriesEnds());
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Ok("tile"); });
    EXPECT_TRUE(messages.last().startsWith("Zoom series stopped: ")) << messages.last().toStdString();
    EXPECT_FALSE(QFile::exists(work.File("newtask_z5.qtsk"))) << "the series stops with the running level";

    // After a restart, Open task on a member fills the series' inputs.
    window = MakeWindow();
    InterceptFileChooser([this](const QString&) {
        return std::optional<QString>(work.File("newtask_z4.qtsk"));
    });
    window->Button4->click();
    EXPECT_EQ(window->EditTaskName->text(), "newtask.qtsk");
    EXPECT_EQ(window->UpDown1->Position(), 4);
    EXPECT_EQ(window->UpDownZoomTo->Position(), 4) << "only the members found beside it";
    window->UpDownZoomTo->SetPosition(5);
    messages.clear();
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilSeriesEnds());
    const QStringList paths = RequestedPaths();
    EXPECT_EQ(paths.size(), 34 + 2) << "no tile twice but the two never answered";
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), 34) << "none skipped";

    window = MakeWindow();
    InterceptFileChooser([this](const QString&) {
        return std::optional<QString>(work.File("newtask_z3.qtsk"));
    });
    window->Button4->click();
    EXPECT_EQ(window->UpDown1->Position(), 3);
    EXPECT_EQ(window->UpDownZoomTo->Position(), 5) << "the highest zoom of the series beside it";
}

TEST_F(ZoomSeriesTest, LimitAndQuestionCountEveryLevelAndOtherAreasAreLeftAlone)
{
    exe.Write("ini/config.ini", "[Servers]\r\nMapnik=http://tile.openstreetmap.org/{z}/{x}/{y}.png\r\n");
    EnterArea(*window);
    window->UpDownZoomTo->SetPosition(7);
    window->BitBtn1->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("may hold at most 250 tiles")) << messages[0].toStdString();
    EXPECT_EQ(server.RequestCount(), 0);

    WriteConfig(QByteArray());
    messages.clear();
    work.Write("newtask_z4.qtsk", "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongitude=0\r\nRightLongitude=1\r\n"
                                  "TopLatitude=1\r\nBottomLatitude=0\r\n[Zoom]\r\nZoom=4\r\n");
    const QByteArray other = work.Read("newtask_z4.qtsk");
    EnterSeries(*window);
    window->BitBtn1->click();
    EXPECT_EQ(messages, QStringList{"newtask_z4.qtsk belongs to another area; choose another task name"});
    EXPECT_EQ(work.Read("newtask_z4.qtsk"), other);
    EXPECT_FALSE(QFile::exists(work.File("newtask_z3.qtsk")));

    // Each level alone stays below the question's threshold, both together do not.
    QFile::remove(work.File("newtask_z4.qtsk"));
    messages.clear();
    QStringList questions;
    InterceptQuestions([&](const QString& text) {
        questions << text;
        return false;
    });
    EnterArea(*window, "0", "13", "13", "0");
    window->UpDown1->SetPosition(12);
    window->UpDownZoomTo->SetPosition(13);
    window->BitBtn1->click();
    InterceptQuestions(nullptr);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(QDir(work.Path()).entryList(QDir::Files).isEmpty()) << "No leaves nothing behind";
}

TEST_F(ZoomSeriesTest, ExitWhileTheSecondLevelRunsEndsTheSeriesAndStartContinuesIt)
{
    ASSERT_TRUE(StartHeldInTheSecondLevel());
    window->Exit1->trigger();

    EXPECT_TRUE(messages.isEmpty()) << "closing shows no message";
    EXPECT_FALSE(window->Run->Running());
    EXPECT_EQ(window->BitBtn1->text(), "Start");
    const QStringList log = ReadTextLines(work.File("newtask_z4_log.txt"));
    const QStringList closing{QString(), QString(32, u'-'), "Task Stoped!", QString(),
        "Now time:" + LocalDateTimeText(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9))), QString(),
        "Log file has been saved as " + work.File("newtask_z4_log.txt")};
    EXPECT_EQ(log.mid(log.size() - 7), closing);
    EXPECT_GT(TIniFile(work.File("newtask_z4.qtsk")).ReadInteger("THREADS", "T1X", 0), 0) << "positions saved";
    EXPECT_FALSE(QFile::exists(work.File("newtask_z5.qtsk"))) << "no further level starts";
    // The workers' ends arrive while closing waits; nothing may start after it.
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->Run->Running());
    EXPECT_TRUE(RequestedPaths().filter(QRegularExpression("^/5/")).isEmpty());

    const QByteArray completeLog = work.Read("newtask_z3_log.txt");
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Ok("tile"); });
    window = MakeWindow();
    EnterSeries(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilSeriesEnds());
    EXPECT_EQ(messages, QStringList{"Zoom series ended: 34 tiles stored, 0 blank, 0 failed in 3 of 3 zoom levels."});
    EXPECT_EQ(work.Read("newtask_z3_log.txt"), completeLog) << "the complete level is passed over";
    EXPECT_EQ(LinesContaining(*window, "Zoom level 3 begins"), 0);
    const QStringList paths = RequestedPaths();
    EXPECT_EQ(paths.size(), 34 + 2) << "no tile twice but the two never answered";
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), 34) << "none skipped";
}

// A level held by another run cannot start: the series ends there with the
// window ready to start again, and the totals of a later continue count the
// failure of the first run's complete level.
TEST_F(ZoomSeriesTest, LevelThatCannotStartEndsTheSeriesAndTheContinueCountsEarlierFailures)
{
    server.SetResponder([](const QByteArray& head) {
        return head.startsWith("GET /3/5/3.png ") ? ScriptedReply::Status("HTTP/1.1 500 Internal Server Error")
                                                  : ScriptedReply::Ok("tile");
    });
    auto other = std::make_unique<TaskLock>();
    other->Acquire(work.File("newtask_z4.qtsk"));
    EnterSeries(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilSeriesEnds());
    EXPECT_EQ(messages, QStringList({"The task " + work.File("newtask_z4.qtsk") + " is already running.",
                            "Zoom series ended: 5 tiles stored, 0 blank, 1 failed in 1 of 3 zoom levels.\n1 failed: HTTP 500"}));
    EXPECT_EQ(window->BitBtn1->text(), "Start");
    EXPECT_FALSE(window->Run->Running());

    other.reset();
    const qsizetype levelThreeRequests = RequestedPaths().filter(QRegularExpression("^/3/")).size();
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Ok("tile"); });
    messages.clear();
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilSeriesEnds());
    EXPECT_EQ(messages, QStringList{"Zoom series ended: 33 tiles stored, 0 blank, 1 failed in 3 of 3 zoom levels."});
    EXPECT_EQ(RequestedPaths().filter(QRegularExpression("^/3/")).size(), levelThreeRequests)
        << "the complete level fetches nothing";
}

// The world at zoom 16 holds 2^32 tiles: the window refuses the whole series
// with that level's message, asks nothing and writes nothing.
TEST_F(ZoomSeriesTest, ALevelThatCannotRunRefusesTheSeriesBeforeAnythingIsWritten)
{
    QStringList questions;
    InterceptQuestions([&](const QString& text) {
        questions << text;
        return true;
    });
    EnterArea(*window, "-180", "180", "85", "-85");
    window->UpDown1->SetPosition(10);
    window->UpDownZoomTo->SetPosition(16);
    window->EditTaskName->setText("world");
    window->BitBtn1->click();
    InterceptQuestions(nullptr);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("tiles at zoom level 16, more than one task can download")) << messages[0].toStdString();
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_TRUE(QDir(work.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(server.RequestCount(), 0);
    EXPECT_FALSE(window->Run->Running());
}

TEST_F(ZoomSeriesTest, RefreshCommandAsksAboutEveryLevelsTilesAndEndsWithItsCounts)
{
    ValidatingTiles tiles(server);
    tiles.SetMaxAge(0);
    EnterSeries(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilSeriesEnds());
    tiles.Change("/5/20/15.png");
    messages.clear();
    const int before = server.RequestCount();

    window->RefreshTiles1->trigger();
    ASSERT_TRUE(RunUntil([this] { return !messages.filter("Refresh:").isEmpty(); }));
    EXPECT_EQ(messages.filter("Refresh:").first().left(74),
        "Refresh: 33 unchanged, 1 changed, 0 gone, 0 failed, 0 not asked (still fre");
    EXPECT_EQ(server.RequestCount() - before, 34);
    EXPECT_EQ(work.Read("newtask_z5/os_20_15_5.png"), tiles.BodyOf("/5/20/15.png"));
    EXPECT_EQ(window->BitBtn1->text(), "Start");
    EXPECT_TRUE(window->Memo1->Lines().join(u'\n').contains("Refreshing the tiles that are no longer fresh..."));
}
