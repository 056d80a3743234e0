#include "main_window_fixture.h"

#include "platform/number_text.h"
#include "platform/text_files.h"
#include "run/task_lock.h"
#include "settings/ini_file.h"
#include "support/nearly_full_disk.h"

#include <QLabel>
#include <QMouseEvent>
#include <QSet>

namespace {
const QStringList kAllTilePaths{"/4/8/7.png", "/4/8/8.png", "/4/9/7.png", "/4/9/8.png", "/4/10/7.png",
    "/4/10/8.png", "/4/11/7.png", "/4/11/8.png", "/4/12/7.png", "/4/12/8.png"};
}

class TaskRunTest : public MainWindowTest {
protected:
    QString Project() const { return work.File("newtask.qtsk"); }
    QString Log() const { return work.File("newtask_log.txt"); }
    QString FailedList() const { return work.File("newtask_failed.ftl"); }

    // Starts with the pause after every stored tile held shut and waits until
    // each of the eight workers has stored its first tile.
    void StartAndHoldAfterFirstTiles(TForm1& form)
    {
        afterTilePauseOpen = false;
        form.BitBtn1->click();
        ASSERT_TRUE(RunUntil([&] { return LinesContaining(form, " OK") == 8; }));
    }

    QStringList ClosingLines() const
    {
        return {QString(), QString(32, u'-'), "Task Stoped!", QString(),
            "Now time:" + LocalDateTimeText(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9))), QString(),
            "Log file has been saved as " + Log()};
    }

    void ExpectEveryTileFetchedOnce()
    {
        const QStringList paths = RequestedPaths();
        EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()), QSet<QString>(kAllTilePaths.begin(), kAllTilePaths.end()));
        EXPECT_EQ(paths.size(), kAllTilePaths.size());
        for (const QString& path : kAllTilePaths) {
            const QStringList parts = path.split(u'/');
            EXPECT_EQ(work.Read("newtask/os_" + parts[2] + "_" + parts[3].chopped(4) + "_4.png"), "tile") << path.toStdString();
        }
    }
};

TEST_F(TaskRunTest, TaskRunsToItsEndAndLeavesItsFiles)
{
    server.SetResponder([](const QByteArray& head) {
        return head.startsWith("GET /4/9/8.png ") ? ScriptedReply::Status("HTTP/1.1 500 Internal Server Error")
                                                  : ScriptedReply::Ok("tile");
    });
    EnterArea(*window);
    window->BitBtn1->click();
    EXPECT_EQ(window->BitBtn1->text(), "Stop");
    EXPECT_EQ(window->LabelTotalxy->text(), "Total images: 10");
    EXPECT_EQ(window->Run->CurrentParameters()->ThreadCount, 8);
    ASSERT_TRUE(RunUntilTaskEnds());

    EXPECT_EQ(messages, QStringList{kTaskStopped});
    EXPECT_EQ(window->BitBtn1->text(), "Start");
    EXPECT_FALSE(window->Run->MonitorActive());
    EXPECT_EQ(window->Run->RunningWorkers(), 0);
    EXPECT_FALSE(window->Run->Running());

    const QStringList memo = window->Memo1->Lines();
    EXPECT_EQ(memo.mid(memo.size() - 7), ClosingLines());
    EXPECT_EQ(ReadTextLines(Log()), memo);
    EXPECT_TRUE(ReadWholeFile(Log()).endsWith("\r\n"));
    EXPECT_EQ(LinesContaining(*window, " OK"), 9);
    EXPECT_EQ(LinesContaining(*window, " Finished."), 8);

    const QString failedRecord = work.File("newtask/os_9_8_4.png") + "|" + server.BaseUrl() + "/4/9/8.png";
    EXPECT_EQ(ReadTextLines(FailedList()), QStringList{failedRecord});
    EXPECT_EQ(window->Memo2->Lines(), QStringList{failedRecord});
    EXPECT_EQ(work.Read("newtask/os_9_8_4.png"), "blank");
    EXPECT_EQ(work.Read("newtask/os_12_8_4.png"), "tile");

    // Place 10 (column 12, row 8) was worker 2's last tile.
    const TIniFile project(Project());
    EXPECT_EQ(project.ReadInteger("THREADS", "T3X", 0), 12);
    EXPECT_EQ(project.ReadInteger("THREADS", "T3Y", 0), 8);
    EXPECT_EQ(project.ReadInteger("Zoom", "Zoom", 0), 4);
}

TEST_F(TaskRunTest, ViewLogFileOpensTheLastTasksLogUntilItIsGone)
{
    EnterArea(*window, "10", "10", "10", "10");
    window->BitBtn1->click();
    EXPECT_EQ(window->Run->CurrentParameters()->ThreadCount, 1) << "one tile, one worker";
    ASSERT_TRUE(RunUntilTaskEnds());
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
        Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window->Memo1->viewport(), &doubleClick);
    EXPECT_EQ(opened, QStringList{Log()});
    QFile::remove(Log());
    messages.clear();
    window->Viewlogfile1->trigger();
    EXPECT_EQ(messages, QStringList{"No logfile now." + QString(25, u' ')});
}

TEST_F(TaskRunTest, StopEndsTheTaskAndAContinuedStartFetchesOnlyTheRest)
{
    EnterArea(*window);
    StartAndHoldAfterFirstTiles(*window);
    window->BitBtn1->click();
    EXPECT_EQ(window->BitBtn1->text(), "Stop");
    EXPECT_EQ(LinesContaining(*window, "will be terminated by user. please wait..."), 8);
    EXPECT_EQ(LinesContaining(*window, "Thread1will be terminated by user. please wait..."), 1);
    afterTilePauseOpen = true;
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(RequestedPaths().size(), 8);
    const QByteArray projectAfterFirstRun = work.Read("newtask.qtsk");
    const QByteArray listAfterFirstRun = work.Read("newtask_list.txt");

    messages.clear();
    window->BitBtn1->click();
    EXPECT_TRUE(window->Run->CurrentParameters()->Continue);
    ASSERT_TRUE(RunUntilTaskEnds());
    ExpectEveryTileFetchedOnce();
    EXPECT_EQ(LinesContaining(*window, "Log continue..."), 1);
    EXPECT_EQ(work.Read("newtask_list.txt"), listAfterFirstRun);
    EXPECT_EQ(projectAfterFirstRun.left(projectAfterFirstRun.indexOf("[THREADS]")),
        work.Read("newtask.qtsk").left(projectAfterFirstRun.indexOf("[THREADS]")));
}

// The program's own workers really wait; a pause of a minute after each tile
// must not hold up Stop.
TEST_F(TaskRunTest, StopEndsATaskWithALongPauseAtOnce)
{
    WriteConfig("MapnikPause=60000\r\n");
    TForm1 form;
    form.Run->SetMonitorInterval(10);
    form.show();
    form.Edit6->setText(work.Path());
    EnterArea(form);
    form.BitBtn1->click();
    ASSERT_TRUE(RunUntil([&] { return LinesContaining(form, " OK") > 0; }));
    form.BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds(10000));
    EXPECT_EQ(form.BitBtn1->text(), "Start");
}

TEST_F(TaskRunTest, StopAbortsTileFetchesUnderWayAndAContinuedStartFetchesThoseTiles)
{
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Trickle(600, 100); });  // a minute a tile
    EnterArea(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntil([this] { return server.RequestCount() == 8; }));
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(LinesContaining(*window, " OK"), 0);
    EXPECT_EQ(LinesContaining(*window, " Finished."), 8);
    EXPECT_TRUE(ReadTextLines(FailedList()).isEmpty());

    server.SetResponder([](const QByteArray&) { return ScriptedReply::Ok("tile"); });
    messages.clear();
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    const QStringList continued = RequestedPaths().mid(8);
    EXPECT_EQ(QSet<QString>(continued.begin(), continued.end()), QSet<QString>(kAllTilePaths.begin(), kAllTilePaths.end()));
    EXPECT_EQ(continued.size(), kAllTilePaths.size());
}

TEST_F(TaskRunTest, ChangedAreaTextStartsAfresh)
{
    EnterArea(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    messages.clear();
    window->Edit1->setText("10.0");
    window->BitBtn1->click();
    EXPECT_FALSE(window->Run->CurrentParameters()->Continue);
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(LinesContaining(*window, "Log continue..."), 0);
    EXPECT_EQ(RequestedPaths().size(), 20);
}

TEST_F(TaskRunTest, OpenTaskThenStartContinuesAStoppedTask)
{
    EnterArea(*window);
    StartAndHoldAfterFirstTiles(*window);
    window->BitBtn1->click();
    afterTilePauseOpen = true;
    ASSERT_TRUE(RunUntilTaskEnds());

    // The program started again: a new window opens the project.
    window = MakeWindow();
    messages.clear();
    InterceptFileChooser([this](const QString&) { return std::optional<QString>(Project()); });
    window->Button4->click();
    window->BitBtn1->click();
    EXPECT_TRUE(window->Run->CurrentParameters()->Continue);
    ASSERT_TRUE(RunUntilTaskEnds());
    ExpectEveryTileFetchedOnce();
    EXPECT_TRUE(window->Memo1->Lines().contains("Log continue..."));
}

// The monitor ticks once an hour here: the task must end on its own.
TEST_F(TaskRunTest, TheEndIsNoticedWhenTheLastWorkerReportsNotAtTheNextTick)
{
    window->Run->SetMonitorInterval(3600 * 1000);
    EnterArea(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds(10000));
    EXPECT_EQ(window->Run->MonitorTicks(), 0);
    const QStringList memo = window->Memo1->Lines();
    EXPECT_EQ(memo.mid(memo.size() - 7), ClosingLines());
}

TEST_F(TaskRunTest, ClosingWhileRunningStopsWaitsAndSavesEverything)
{
    EnterArea(*window);
    StartAndHoldAfterFirstTiles(*window);
    // The workers stay held until the window waits for them.
    QTimer::singleShot(20, [this] { afterTilePauseOpen = true; });
    window->close();

    EXPECT_TRUE(messages.isEmpty()) << "closing shows no message";
    EXPECT_EQ(window->Run->RunningWorkers(), 0);
    EXPECT_FALSE(window->Run->Running());
    const QStringList log = ReadTextLines(Log());
    EXPECT_EQ(log.mid(log.size() - 7), ClosingLines());
    EXPECT_EQ(log.filter(" Finished.").size(), 8);

    window = MakeWindow();
    EnterArea(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    ExpectEveryTileFetchedOnce();
}

// The run owns what it works with: a window destroyed without closing (no
// event loop of its own then) stops the workers and frees the task.
TEST_F(TaskRunTest, AWindowDestroyedWhileItsTaskRunsLeavesTheTaskFree)
{
    EnterArea(*window);
    StartAndHoldAfterFirstTiles(*window);
    bool eventLoopRan = false;
    QTimer probe;
    probe.setSingleShot(true);
    QObject::connect(&probe, &QTimer::timeout, [&] { eventLoopRan = true; });
    probe.start(0);
    afterTilePauseOpen = true;
    window.reset();
    EXPECT_FALSE(eventLoopRan) << "no event loop runs while the window is destroyed";
    probe.stop();
    EXPECT_TRUE(messages.isEmpty());
    TaskLock lock;
    EXPECT_NO_THROW(lock.Acquire(Project())) << "the lock went with the run";
}

TEST_F(TaskRunTest, SaveErrorIsShownOnceAndTheTaskStillEnds)
{
    EnterArea(*window);
    StartAndHoldAfterFirstTiles(*window);
    // The log's name now belongs to a folder: every save of the log fails.
    QFile::remove(Log());
    QDir().mkdir(Log());
    const int ticks = window->Run->MonitorTicks();
    ASSERT_TRUE(RunUntil([&] { return window->Run->MonitorTicks() >= ticks + 20; }));
    window->BitBtn1->click();
    afterTilePauseOpen = true;
    ASSERT_TRUE(RunUntilTaskEnds());

    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(Log()));
    EXPECT_EQ(messages[1], kTaskStopped);
    EXPECT_EQ(window->BitBtn1->text(), "Start");
    EXPECT_GT(TIniFile(Project()).ReadInteger("THREADS", "T1X", 0), 0) << "positions are still saved";
    const QString last = window->Memo1->Lines().last();
    EXPECT_FALSE(window->Memo1->Lines().contains("Log file has been saved as " + Log()));
    EXPECT_TRUE(last.startsWith("Log file could not be saved as " + Log() + ": ")) << last.toStdString();
    EXPECT_GT(last.size(), ("Log file could not be saved as " + Log() + ": ").size()) << "and says why";
}

// What a Start killed while it wrote the task's files leaves behind.
TEST_F(TaskRunTest, AContinueRecreatesTheFilesAStartCutShortLeftOut)
{
    EnterArea(*window);
    window->BitBtn1->click();
    ASSERT_TRUE(RunUntilTaskEnds());
    const QByteArray list = work.Read("newtask_list.txt");
    QFile::remove(Log());
    QFile::remove(FailedList());
    QFile::remove(work.File("newtask_list.txt"));

    messages.clear();
    window->BitBtn1->click();
    EXPECT_TRUE(window->Run->CurrentParameters()->Continue);
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(messages, QStringList{kTaskStopped});
    EXPECT_EQ(window->Memo1->Lines().value(0), "The earlier log of this task was missing; this log starts afresh.");
    EXPECT_EQ(work.Read("newtask_list.txt"), list);
    EXPECT_TRUE(QFile::exists(FailedList()));
}

TEST_F(TaskRunTest, AFullDiskIsReportedOnceAndTheTaskContinuesOnceSpaceIsFreed)
{
    NearlyFullDisk disk;
    window->Edit6->setText(disk.Path());
    EnterArea(*window);
    StartAndHoldAfterFirstTiles(*window);
    const QByteArray project = disk.Read("newtask.qtsk");
    const QByteArray startLog = disk.Read("newtask_log.txt");
    disk.LeaveFree(0);
    afterTilePauseOpen = true;
    ASSERT_TRUE(RunUntilTaskEnds());

    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(disk.Path()) && messages[0].endsWith(": " + disk.Reason())) << messages[0].toStdString();
    EXPECT_EQ(messages[1], kTaskStopped);
    const QByteArray projectAfter = disk.Read("newtask.qtsk");
    EXPECT_EQ(projectAfter.left(projectAfter.indexOf("[THREADS]")), project.left(project.indexOf("[THREADS]")));
    EXPECT_TRUE(disk.Read("newtask_log.txt").startsWith(startLog));

    disk.FreeSpace();
    messages.clear();
    window->BitBtn1->click();
    EXPECT_TRUE(window->Run->CurrentParameters()->Continue);
    ASSERT_TRUE(RunUntilTaskEnds());
    EXPECT_EQ(messages, QStringList{kTaskStopped});
    EXPECT_EQ(ReadTextLines(disk.File("newtask_log.txt")), window->Memo1->Lines());
}
