#include "download/http_client.h"
#include "platform/app_error.h"
#include "platform/folders.h"
#include "platform/text_files.h"
#include "run/series_run.h"
#include "run/task_lock.h"
#include "run/task_run.h"
#include "settings/ini_file.h"
#include "task/configured_servers.h"
#include "task/start_check.h"
#include "support/gate.h"
#include "support/loopback_http_server.h"
#include "support/loopback_program_folder.h"
#include "support/nearly_full_disk.h"
#include "support/requested_paths.h"
#include "support/run_until.h"
#include "support/temp_folder.h"

#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>

// A zoom series of three levels (zoom 3 to 5 over 10..100 E, 10 N..10 S:
// 6 + 10 + 18 tiles) run by the runner alone against the loopback server,
// writing its log and failed list itself.
class SeriesRunTest : public testing::Test {
protected:
    SeriesRunTest()
    {
        run.SetPauseFunction([](int) {});
        run.SetMonitorInterval(10);
        QObject::connect(&series, &SeriesRunner::Problem, [this](const QString& text) { errors << text; });
        QObject::connect(&series, &SeriesRunner::MemberBegins, [this](int index, int count, const TaskInputs& member) {
            events << QStringLiteral("begins %1 of %2: %3").arg(index + 1).arg(count).arg(member.TypedTaskName);
        });
        QObject::connect(&series, &SeriesRunner::MemberStarted, [this](int index) {
            events << QStringLiteral("started %1").arg(index + 1);
        });
        QObject::connect(&series, &SeriesRunner::MemberEnded, [this](int index, const MemberOutcome& outcome) {
            events << QStringLiteral("ended %1: %2 of %3 done, %4 failed")
                          .arg(index + 1)
                          .arg(outcome.Finished)
                          .arg(outcome.Total)
                          .arg(outcome.Failed);
        });
        QObject::connect(&series, &SeriesRunner::Refused, [this](const QStringList& messages) { refusals << messages; });
        QObject::connect(&series, &SeriesRunner::Ended, [this](const SeriesOutcome& outcome) { end = outcome; });
    }

    QList<TaskInputs> Members() const
    {
        const TaskInputs inputs{"10", "100", "10", "-10", 3, MAPNIK, work.Path(), "alps"};
        return SeriesMemberInputs(inputs, 5);
    }

    // Starts the members and runs the event loop until the run has ended.
    bool RunToEnd(const QList<TaskInputs>& members)
    {
        Start(members);
        return RunEventsUntil([this] { return end.has_value(); });
    }

    void Start(const QList<TaskInputs>& members)
    {
        events.clear();
        end.reset();
        series.RunInTurn(members);
    }

    LoopbackHttpServer server;
    LoopbackProgramFolder program{server};
    const TempFolder& exe = program.exe;
    TempFolder work;
    TaskRun run;
    SeriesRunner series{run};
    QStringList events;
    QStringList refusals;
    QStringList errors;
    std::optional<SeriesOutcome> end;
    Gate afterFirstTile{true};
};

TEST_F(SeriesRunTest, MembersRunInTurnAndTheTotalsCountEveryLevel)
{
    server.SetResponder([](const QByteArray& head) {
        return head.startsWith("GET /4/9/8.png ") ? ScriptedReply::Status("HTTP/1.1 500 Internal Server Error")
                                                  : ScriptedReply::Ok("tile");
    });
    ASSERT_TRUE(RunToEnd(Members()));
    EXPECT_EQ(events, QStringList({"begins 1 of 3: alps_z3.qtsk", "started 1", "ended 1: 6 of 6 done, 0 failed",
                          "begins 2 of 3: alps_z4.qtsk", "started 2", "ended 2: 10 of 10 done, 1 failed",
                          "begins 3 of 3: alps_z5.qtsk", "started 3", "ended 3: 18 of 18 done, 0 failed"}));
    EXPECT_EQ(end->Stored, 33);
    EXPECT_EQ(end->Failed, 1);
    EXPECT_EQ(end->NotFetched, 0);
    EXPECT_EQ(end->MembersRun, 3);
    EXPECT_EQ(end->MemberCount, 3);
    EXPECT_FALSE(end->Stopped);
    EXPECT_FALSE(end->Refused);
    EXPECT_TRUE(end->Announced);
    EXPECT_EQ(series.TotalTiles(), 34);
    EXPECT_EQ(series.FinishedTiles(), 34);
    const QStringList paths = RequestedPaths(server);
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()).size(), 34);
    EXPECT_TRUE(refusals.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
    for (const QString stem : {"alps_z3", "alps_z4", "alps_z5"})
        EXPECT_TRUE(work.Read(stem + QStringLiteral("_log.txt")).endsWith((stem + QStringLiteral("_log.txt\r\n")).toLatin1()))
            << stem.toStdString();

    // Run again, every member is complete and passed over.
    const int requests = server.RequestCount();
    ASSERT_TRUE(RunToEnd(Members()));
    EXPECT_EQ(events.filter("started"), QStringList());
    EXPECT_EQ(events.filter("ended").size(), 3);
    EXPECT_EQ(end->Stored, 33);
    EXPECT_EQ(end->Failed, 1);
    EXPECT_EQ(end->MembersRun, 3);
    EXPECT_EQ(server.RequestCount(), requests);
}

// The tiles of column 12 at zoom 4 are never answered, which holds the run
// in its second member until Stop.
TEST_F(SeriesRunTest, StopInTheSecondMemberStartsNoThirdAndTheNextRunContinues)
{
    server.SetResponder([](const QByteArray& head) {
        if (head.startsWith("GET /3/5/3.png "))
            return ScriptedReply::Status("HTTP/1.1 500 Internal Server Error");
        return head.startsWith("GET /4/12/") ? ScriptedReply::Stall() : ScriptedReply::Ok("tile");
    });
    Start(Members());
    ASSERT_TRUE(RunEventsUntil([this] { return events.contains("started 2") && series.FinishedTiles() == 6 + 8; }));
    series.Stop();
    ASSERT_TRUE(RunEventsUntil([this] { return end.has_value(); }));
    EXPECT_EQ(events.last(), "ended 2: 8 of 10 done, 0 failed");
    EXPECT_TRUE(end->Stopped);
    EXPECT_EQ(end->MembersRun, 2);
    EXPECT_EQ(end->Stored, 6 - 1 + 8);
    EXPECT_EQ(end->Failed, 1);
    EXPECT_EQ(end->NotFetched, 2);
    EXPECT_FALSE(QFile::exists(work.File("alps_z5.qtsk"))) << "no third member";
    const QStringList before = RequestedPaths(server);
    EXPECT_TRUE(before.filter(QRegularExpression("^/5/")).isEmpty());
    EXPECT_GT(TIniFile(work.File("alps_z4.qtsk")).ReadInteger("THREADS", "T1X", 0), 0) << "positions saved";
    EXPECT_TRUE(ReadTextLines(work.File("alps_z4_log.txt")).last().startsWith("Log file has been saved as "));

    // The first member is complete: it is passed over, and its earlier
    // failure still counts, so that the totals add up to the series' tiles.
    const QByteArray completeLog = work.Read("alps_z3_log.txt");
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Ok("tile"); });
    ASSERT_TRUE(RunToEnd(Members()));
    EXPECT_FALSE(events.contains("started 1"));
    EXPECT_EQ(work.Read("alps_z3_log.txt"), completeLog) << "no continuation block";
    EXPECT_TRUE(ReadTextLines(work.File("alps_z4_log.txt")).contains("Task Stoped!"));
    EXPECT_EQ(events.filter("ended"), QStringList({"ended 1: 6 of 6 done, 1 failed", "ended 2: 10 of 10 done, 0 failed",
                                          "ended 3: 18 of 18 done, 0 failed"}));
    EXPECT_EQ(end->Stored, 33);
    EXPECT_EQ(end->Failed, 1);
    EXPECT_EQ(end->NotFetched, 0);
    EXPECT_FALSE(end->Stopped);
    const QStringList after = RequestedPaths(server).mid(before.size());
    const QSet<QString> again = QSet<QString>(after.begin(), after.end()).intersect({before.begin(), before.end()});
    EXPECT_EQ(again, QSet<QString>({"/4/12/7.png", "/4/12/8.png"})) << "no tile twice but the two never answered";
    EXPECT_EQ(after.size(), 2 + 18);
    EXPECT_EQ(QSet<QString>(after.begin(), after.end()).unite({before.begin(), before.end()}).size(), 34)
        << "none skipped";
}

TEST_F(SeriesRunTest, MemberThatCannotStartEndsTheRunWithItsMessage)
{
    // Start's own checks refuse the second member.
    QList<TaskInputs> members = Members();
    members[1].TopLatitude = "95";
    ASSERT_TRUE(RunToEnd(members));
    EXPECT_EQ(refusals, QStringList{"Top Latitude should be between -85 and 85."});
    EXPECT_EQ(events, QStringList({"begins 1 of 3: alps_z3.qtsk", "started 1", "ended 1: 6 of 6 done, 0 failed",
                          "begins 2 of 3: alps_z4.qtsk"}));
    EXPECT_TRUE(end->Refused);
    EXPECT_FALSE(end->Stopped);
    EXPECT_EQ(end->MembersRun, 1);
    EXPECT_EQ(end->Stored, 6);
    EXPECT_EQ(server.RequestCount(), 6);

    // Another run holds the second member: its files cannot be taken.
    refusals.clear();
    TaskLock other;
    other.Acquire(work.File("alps_z4.qtsk"));
    ASSERT_TRUE(RunToEnd(Members()));
    EXPECT_TRUE(refusals.isEmpty());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("is already running")) << errors[0].toStdString();
    EXPECT_TRUE(end->Refused);
    EXPECT_EQ(events, QStringList({"begins 1 of 3: alps_z3.qtsk", "ended 1: 6 of 6 done, 0 failed",
                          "begins 2 of 3: alps_z4.qtsk"}))
        << "the complete first member is passed over";
    EXPECT_EQ(end->MembersRun, 1);
    EXPECT_EQ(server.RequestCount(), 6);
    EXPECT_FALSE(QFile::exists(work.File("alps_z5.qtsk")));
    EXPECT_FALSE(run.Running());
}

TEST_F(SeriesRunTest, TaskAloneIsAListOfOneAndClosingEndsItUnannounced)
{
    const TaskInputs single{"10", "100", "10", "-10", 4, MAPNIK, work.Path(), "single"};
    afterFirstTile = false;
    run.SetPauseFunction([this](int milliseconds) {
        if (milliseconds == 1000)
            afterFirstTile.WaitUntilOpen();
    });
    Start({single});
    EXPECT_EQ(series.TotalTiles(), 10) << "the task's own count";
    ASSERT_TRUE(RunEventsUntil([this] { return server.RequestCount() >= 8; }));
    QTimer::singleShot(20, [this] { afterFirstTile = true; });
    run.EndBeforeClosing();
    ASSERT_TRUE(end.has_value());
    EXPECT_FALSE(end->Announced);
    EXPECT_FALSE(end->Stopped);
    EXPECT_EQ(end->MembersRun, 1);
    EXPECT_EQ(end->MemberCount, 1);
    EXPECT_EQ(end->Stored + end->NotFetched, 10);
}

// The one start from typed inputs: the runner checks the whole series once
// and asks the driver's question itself.
TEST_F(SeriesRunTest, StartChecksTheInputsOnceAndAsksThroughTheDriver)
{
    QList<QPair<qint64, int>> questions;
    bool answer = false;
    const auto ask = [&](qint64 tiles, int zoom) {
        questions.append({tiles, zoom});
        return answer;
    };
    const auto start = [&](const TaskInputs& inputs, int zoomTo) {
        events.clear();
        refusals.clear();
        end.reset();
        series.Start(inputs, zoomTo, ask);
        return RunEventsUntil([this] { return end.has_value(); });
    };

    work.Write("alps_z4.qtsk", "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongitude=11\r\nRightLongitude=100\r\n"
                               "TopLatitude=10\r\nBottomLatitude=-10\r\n[Zoom]\r\nZoom=4\r\n");
    ASSERT_TRUE(start(TaskInputs{"10", "100", "10", "-10", 3, MAPNIK, work.Path(), "alps"}, 5));
    EXPECT_EQ(refusals, QStringList{"alps_z4.qtsk belongs to another area; choose another task name"});
    EXPECT_TRUE(end->Refused);
    EXPECT_EQ(end->MembersRun, 0);
    EXPECT_TRUE(events.isEmpty()) << "no member begins";
    EXPECT_TRUE(questions.isEmpty());

    // Two levels above the zoom control's top: one question about both.
    const TaskInputs pin{"10", "10.0001", "10", "9.9999", 19, MAPNIK, work.Path(), "pin"};
    ASSERT_TRUE(start(pin, 20));
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0].second, 20);
    const QList<CheckedInputs> pins = ReadSeriesStart(pin, 20);
    EXPECT_EQ(questions[0].first,
        *TileCountBeforePolicy(pins[0], ReadTileServers()) + *TileCountBeforePolicy(pins[1], ReadTileServers()));
    EXPECT_TRUE(refusals.isEmpty()) << "declined: refused without a message";
    EXPECT_TRUE(end->Refused);
    EXPECT_FALSE(QFile::exists(work.File("pin_z19.qtsk")));
    EXPECT_EQ(server.RequestCount(), 0);

    answer = true;
    ASSERT_TRUE(start(pin, 20));
    EXPECT_FALSE(end->Refused);
    EXPECT_EQ(end->MembersRun, 2);
    EXPECT_EQ(end->NotFetched, 0);
    EXPECT_EQ(questions.size(), 2);
}

// A file the run cannot write is reported as data, once, while the task
// goes on to its end.
TEST_F(SeriesRunTest, AProblemIsSignalledOnceAndTheRunGoesOn)
{
    const TaskInputs single{"10", "100", "10", "-10", 4, MAPNIK, work.Path(), "single"};
    afterFirstTile = false;
    run.SetPauseFunction([this](int milliseconds) {
        if (milliseconds == 1000)
            afterFirstTile.WaitUntilOpen();
    });
    QStringList logLines;
    QObject::connect(&run, &TaskRun::LogLines, [&](const QStringList& lines) { logLines << lines; });
    Start({single});
    ASSERT_TRUE(events.contains("started 1"));
    const QString log = work.File("single_log.txt");
    QFile::remove(log);
    QDir().mkdir(log);
    ASSERT_TRUE(RunEventsUntil([this] { return run.MonitorTicks() >= 12; }));
    ASSERT_EQ(errors.size(), 1) << "once per task, not at every save";
    EXPECT_TRUE(errors[0].contains(log)) << errors[0].toStdString();
    EXPECT_TRUE(run.Running());

    afterFirstTile = true;
    ASSERT_TRUE(RunEventsUntil([this] { return end.has_value(); }));
    EXPECT_EQ(errors.size(), 1);
    EXPECT_TRUE(end->Announced);
    EXPECT_EQ(end->Stored, 10);
    EXPECT_TRUE(logLines.last().startsWith("Log file could not be saved as " + log + ": "))
        << logLines.last().toStdString();
    EXPECT_TRUE(run.LogSaveProblem().size() > 0);
}

// A kill right after a save of the positions leaves the files as that moment
// does: the failed lines of every tile those positions pass must be on the
// disk already, so that the continued run still names them.
TEST_F(SeriesRunTest, AKillRightAfterThePositionsAreSavedLosesNoFailedTile)
{
    server.SetResponder([](const QByteArray& head) {
        if (head.startsWith("GET /4/9/8.png "))
            return ScriptedReply::Status("HTTP/1.1 500 Internal Server Error");
        return head.startsWith("GET /4/12/") ? ScriptedReply::Stall() : ScriptedReply::Ok("tile");
    });
    const TaskInputs single{"10", "100", "10", "-10", 4, MAPNIK, work.Path(), "killed.qtsk"};
    const QStringList names{"killed.qtsk", "killed_failed.ftl", "killed_log.txt"};
    QList<QByteArray> atKill;
    run.SetAfterPositionsSaved([&] {
        if (atKill.isEmpty() && run.FailedLinesAdded() > 0)
            for (const QString& name : names)
                atKill << work.Read(name);
    });
    Start({single});
    ASSERT_TRUE(RunEventsUntil([&] { return !atKill.isEmpty(); }));
    series.Stop();
    ASSERT_TRUE(RunEventsUntil([this] { return end.has_value(); }));
    for (int i = 0; i < names.size(); ++i)
        work.Write(names[i], atKill[i]);

    server.SetResponder([](const QByteArray&) { return ScriptedReply::Ok("tile"); });
    ASSERT_TRUE(RunToEnd({single}));
    EXPECT_EQ(events.last(), "ended 1: 10 of 10 done, 1 failed");
    EXPECT_EQ(SplitTextLines(work.Read("killed_failed.ftl")),
        QStringList{work.File("killed/os_9_8_4.png") + "|" + server.BaseUrl() + "/4/9/8.png"});
}

// A 4-tile task against a port where no server listens: each worker gives
// up on its first tile without moving its position, so every run meets the
// tiles again. The list still holds each failing tile once, the totals add
// up, and a tile stored since is no longer listed.
TEST_F(SeriesRunTest, EveryFailedTileIsListedOnceAndGoesWhenItIsStored)
{
    exe.Write("ini/config.ini",
        "[Servers]\r\nMapnik=http://127.0.0.1:" + QByteArray::number(LoopbackHttpServer::UnusedPort())
            + "/{z}/{x}/{y}.png\r\n");
    const auto task = [this](const char* name) { return TaskInputs{"-80", "80", "60", "-60", 2, MAPNIK, work.Path(), QString(name) + ".qtsk"}; };
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(RunToEnd({task("alone")}));
        EXPECT_EQ(events.last(), "ended 1: 0 of 4 done, 4 failed") << "round " << round;
        EXPECT_EQ(SplitTextLines(work.Read("alone_failed.ftl")).size(), 4);
    }
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(RunToEnd({task("first"), task("second")}));
        EXPECT_EQ(end->Failed, 8) << "round " << round;
        EXPECT_EQ(end->Stored, 0);
        EXPECT_EQ(end->NotFetched, 0);
    }

    exe.Write("ini/config.ini", "[Servers]\r\nMapnik=" + server.BaseUrl().toLatin1() + "/{z}/{x}/{y}.png\r\n");
    ASSERT_TRUE(RunToEnd({task("alone")}));
    EXPECT_EQ(events.last(), "ended 1: 4 of 4 done, 0 failed");
    EXPECT_EQ(work.Read("alone_failed.ftl"), "");
    EXPECT_EQ(RequestedPaths(server).size(), 4);
}

// A stop asked for while Start writes a large task's tile list ends the run
// at once, stopped: nothing of the list stays, and no project file.
TEST_F(SeriesRunTest, AStopWhileTheTileListIsWrittenEndsTheRunAtOnce)
{
    const TaskInputs large{"10", "100", "10", "-10", 12, MAPNIK, work.Path(), "large"};
    run.SetStartStopRequest([this] { return QFile::exists(work.File("large_list.txt.part")); });
    ASSERT_TRUE(RunToEnd({large}));
    EXPECT_TRUE(end->Stopped);
    EXPECT_FALSE(end->Refused);
    EXPECT_EQ(end->MembersRun, 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(QDir(work.Path()).entryList(QDir::Files | QDir::System), QStringList());
    EXPECT_EQ(server.RequestCount(), 0);
}

// The disk runs full while every worker waits after its first tile; the two
// tiles that fail afterwards cannot be listed, and the outcome says why
// instead of pointing at a list that does not name them.
TEST_F(SeriesRunTest, AFailedListThatCouldNotBeSavedIsReportedSo)
{
    NearlyFullDisk disk;
    server.SetResponder([](const QByteArray& head) {
        return head.startsWith("GET /4/13/") ? ScriptedReply::Status("HTTP/1.1 500 Internal Server Error")
                                             : ScriptedReply::Ok("tile");
    });
    afterFirstTile = false;
    run.SetPauseFunction([this](int milliseconds) {
        if (milliseconds == 1000)
            afterFirstTile.WaitUntilOpen();
    });
    std::optional<MemberOutcome> outcome;
    QObject::connect(&series, &SeriesRunner::MemberEnded, [&](int, const MemberOutcome& member) { outcome = member; });
    Start({TaskInputs{"10", "100", "10", "-10", 4, MAPNIK, disk.Path(), "full"}});
    // Every worker has written its first tile and waits: only the two tiles
    // left meet the full disk.
    ASSERT_TRUE(RunEventsUntil([this] { return afterFirstTile.Waiting() == 8; }));
    disk.LeaveFree(0);
    afterFirstTile = true;
    ASSERT_TRUE(RunEventsUntil([this] { return end.has_value(); }));
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->Failed, 2);
    EXPECT_EQ(outcome->FailedListProblem, disk.Reason());
    EXPECT_EQ(disk.Read("full_failed.ftl"), "");
    disk.FreeSpace();
}
