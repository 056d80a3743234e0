#include "app/main_window.h"
#include "app/up_down_spinner.h"
#include "cli/tessaly_command_fixture.h"
#include "platform/message_box.h"
#include "platform/text_files.h"
#include "settings/ini_file.h"
#include "support/hostile_files.h"
#include "support/run_until.h"
#include "task/download_task.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <csignal>

namespace {
const QStringList kAllTilePaths{"/4/8/7.png", "/4/8/8.png", "/4/9/7.png", "/4/9/8.png", "/4/10/7.png",
    "/4/10/8.png", "/4/11/7.png", "/4/11/8.png", "/4/12/7.png", "/4/12/8.png"};

// The log's lines without those that hold the time, in order of text: the
// workers' lines come in any order.
QStringList LinesWithoutTimes(const QString& fileName)
{
    QStringList lines;
    for (const QString& line : ReadTextLines(fileName))
        if (!line.contains(QStringLiteral("time")))
            lines << line;
    lines.sort();
    return lines;
}

// The area of NewTask typed into the main window of the same executable
// folder, started, and run until its message: the messages shown, none when
// it did not end in time.
QStringList StartInWindow(const TempFolder& exe, const TempFolder& work, const QString& taskName, int zoom, int zoomTo)
{
    OverrideExecutableFolder(exe.Path());
    QStringList messages;
    InterceptMessages([&](MessageKind, const QString& text) { messages << text; });
    {
        TForm1 window;
        window.SetPauseFunction([](int) {});
        window.show();
        window.Edit6->setText(work.Path());
        window.EditTaskName->setText(taskName);
        window.Edit1->setText("10");
        window.Edit3->setText("100");
        window.Edit2->setText("10");
        window.Edit4->setText("-10");
        window.Edit5->setText(QString::number(zoom));
        window.UpDownZoomTo->SetPosition(zoomTo);
        window.BitBtn1->click();
        RunEventsUntil([&] { return !messages.isEmpty(); }, 20000);
    }
    InterceptMessages(nullptr);
    OverrideExecutableFolder(QString());
    return messages;
}
}

TEST_F(TessalyCommandTest, NewAndRunWritesWhatTheWindowWritesForTheSameInputs)
{
    const Outcome outcome = Run(NewTask("cli") << "--run");
    EXPECT_EQ(outcome.Status, 0) << outcome.Err.toStdString();
    EXPECT_TRUE(outcome.Err.contains("cli.qtsk: 10 of 10 tiles done: 10 stored, 0 blank, 0 failed")) << outcome.Err.toStdString();
    EXPECT_FALSE(QFile::exists(work.File("cli.qtsk.lock"))) << "the lock goes with the run";

    // The same inputs through the window, from the same executable folder.
    ASSERT_FALSE(StartInWindow(exe, work, "win", 4, 4).isEmpty());

    EXPECT_EQ(work.Read("cli.qtsk"), work.Read("win.qtsk"));
    EXPECT_EQ(work.Read("cli_list.txt"), work.Read("win_list.txt").replace("win", "cli"));
    EXPECT_EQ(work.Read("cli_failed.ftl"), work.Read("win_failed.ftl"));
    QStringList windowLog = LinesWithoutTimes(work.File("win_log.txt"));
    windowLog.replaceInStrings("win", "cli");
    windowLog.sort();
    EXPECT_EQ(LinesWithoutTimes(work.File("cli_log.txt")), windowLog);
    EXPECT_TRUE(work.Read("cli_log.txt").endsWith("cli_log.txt\r\n"));
    EXPECT_EQ(QDir(work.File("cli")).entryList(QDir::Files), QDir(work.File("win")).entryList(QDir::Files));
}

TEST_F(TessalyCommandTest, ExitStatusTellsStoredFailedRefusedAndWrongCommandLine)
{
    EXPECT_EQ(Run({"run", "--bogus"}).Status, 2);
    EXPECT_EQ(Run({"frobnicate", "x"}).Status, 2);
    const Outcome missing = Run({"run", work.File("none.qtsk")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(missing.Err.contains("Cannot open the task")) << missing.Err.toStdString();
    work.Write("broken.qtsk", "[AREA]\r\nLeftLongitude=x\r\n");
    EXPECT_EQ(Run({"run", work.File("broken.qtsk")}).Status, 1);
    const Outcome badArea = Run({"new", "a", "--area", "10,100,95,-10", "--zoom", "4", "--folder", work.Path()});
    EXPECT_EQ(badArea.Status, 1);
    EXPECT_TRUE(badArea.Err.contains("Top Latitude should be between -85 and 85.")) << badArea.Err.toStdString();

    server.SetResponder([](const QByteArray& head) {
        return head.startsWith("GET /4/9/8.png ") ? ScriptedReply::Status("HTTP/1.1 500 Internal Server Error")
                                                  : ScriptedReply::Ok("tile");
    });
    const Outcome failed = Run(NewTask("partly") << "--run");
    EXPECT_EQ(failed.Status, 3);
    EXPECT_TRUE(failed.Err.contains("10 of 10 tiles done: 9 stored, 0 blank, 1 failed")) << failed.Err.toStdString();
    EXPECT_EQ(ReadTextLines(work.File("partly_failed.ftl")).size(), 1);

    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_TRUE(help.Out.contains("tessaly redownload LIST.ftl"));
}

// Tiles the server does not have are blank, not stored; failures are
// grouped by their reason beside the failed list's name.
TEST_F(TessalyCommandTest, SummaryTellsStoredBlankAndFailedApartAndWhyTilesFailed)
{
    server.SetResponder([](const QByteArray& head) {
        if (head.startsWith("GET /4/8/7.png ") || head.startsWith("GET /4/12/8.png "))
            return ScriptedReply::Status("HTTP/1.1 404 Not Found");
        return head.startsWith("GET /4/9/8.png ") ? ScriptedReply::Status("HTTP/1.1 500 Internal Server Error")
                                                  : ScriptedReply::Ok("tile");
    });
    const Outcome gaps = Run(NewTask("gaps") << "--run");
    EXPECT_EQ(gaps.Status, 3);
    EXPECT_TRUE(gaps.Err.contains("gaps.qtsk: 10 of 10 tiles done: 7 stored, 2 blank, 1 failed (listed in "
                    + work.File("gaps_failed.ftl") + ")\n  1 failed: HTTP 500\n"))
        << gaps.Err.toStdString();

    const int port = LoopbackHttpServer::UnusedPort();
    exe.Write("ini/config.ini",
        QStringLiteral("[Servers]\r\nMapnik=http://127.0.0.1:%1/{z}/{x}/{y}.png\r\nMapnikPause=0\r\n").arg(port).toLatin1());
    const Outcome refused = Run(NewTask("away") << "--run");
    EXPECT_EQ(refused.Status, 3);
    EXPECT_TRUE(refused.Err.contains(
        QRegularExpression(QStringLiteral("\n  \\d+ failed: connection refused by 127\\.0\\.0\\.1:%1\n").arg(port))))
        << refused.Err.toStdString();
}

TEST_F(TessalyCommandTest, LargeTasksNeedYesAndOpenStreetMapKeepsItsLimit)
{
    // Zoom 19 is above the window's zoom control: the window would ask first.
    const QStringList high{"new", "high", "--area", "10,10.001,10.001,10", "--zoom", "19", "--folder", work.Path()};
    const Outcome refused = Run(high);
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(refused.Err.contains("--yes")) << refused.Err.toStdString();
    EXPECT_FALSE(QFile::exists(work.File("high.qtsk")));
    EXPECT_EQ(Run(QStringList(high) << "--yes").Status, 0);
    EXPECT_TRUE(QFile::exists(work.File("high.qtsk")));

    exe.Write("ini/config.ini", "[Servers]\r\nMapnik=http://tile.openstreetmap.org/{z}/{x}/{y}.png\r\n");
    const Outcome limited = Run({"new", "big", "--area", "0,10,10,0", "--zoom", "10", "--yes", "--run",
        "--folder", work.Path()});
    EXPECT_EQ(limited.Status, 1);
    EXPECT_TRUE(limited.Err.contains("may hold at most 250 tiles")) << limited.Err.toStdString();
    EXPECT_EQ(server.RequestCount(), 0);
    // The series counts its zoom levels together: each alone holds fewer than 250 tiles, all four more.
    const Outcome series = Run({"new", "s", "--area", "10,100,10,-10", "--zoom", "4-7", "--yes", "--folder",
        work.Path()});
    EXPECT_EQ(series.Status, 1);
    EXPECT_TRUE(series.Err.contains("may hold at most 250 tiles")) << series.Err.toStdString();
}

// With --run the runner makes Start's check; the command line only answers
// its question from --yes.
TEST_F(TessalyCommandTest, NewAndRunIsAskedThroughTheRunnersCheck)
{
    const QStringList high{"new", "high", "--area", "10,10.001,10.001,10", "--zoom", "19", "--run", "--folder",
        work.Path()};
    const Outcome refused = Run(high);
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(refused.Err.contains("Not written: give --yes to accept a task of this size."))
        << refused.Err.toStdString();
    EXPECT_FALSE(QFile::exists(work.File("high.qtsk")));
    EXPECT_EQ(server.RequestCount(), 0);

    const Outcome accepted = Run(QStringList(high) << "--yes");
    EXPECT_EQ(accepted.Status, 0) << accepted.Err.toStdString();
    EXPECT_TRUE(ReadTextLines(work.File("high_log.txt")).contains("Task Stoped!"));
}

TEST_F(TessalyCommandTest, SeriesRunsEachZoomAsItsOwnTask)
{
    const Outcome outcome = Run(NewTask("alps", "3-5") << "--run");
    EXPECT_EQ(outcome.Status, 0) << outcome.Err.toStdString();
    EXPECT_TRUE(outcome.Err.contains("Task 2 of 3")) << outcome.Err.toStdString();
    for (const int zoom : {3, 4, 5}) {
        const QString stem = "alps_z" + QString::number(zoom);
        EXPECT_TRUE(QFile::exists(work.File(stem + ".qtsk")));
        EXPECT_TRUE(work.Read(stem + "_log.txt").endsWith(stem.toLatin1() + "_log.txt\r\n"));
        EXPECT_TRUE(QDir(work.File(stem)).exists());
    }
    // The member of zoom 4 holds what a single task of zoom 4 holds.
    EXPECT_EQ(Run(NewTask("single") << "--run").Status, 0);
    EXPECT_EQ(work.Read("alps_z4.qtsk"), work.Read("single.qtsk"));
    EXPECT_EQ(work.Read("alps_z4_list.txt"), work.Read("single_list.txt").replace("single", "alps_z4"));

    // A member's name held by a task of another area is left alone.
    EXPECT_EQ(Run({"new", "other_z4", "--area", "0,1,1,0", "--zoom", "4", "--folder", work.Path()}).Status, 0);
    const QByteArray before = work.Read("other_z4.qtsk");
    const Outcome clash = Run(NewTask("other", "3-4"));
    EXPECT_EQ(clash.Status, 1);
    EXPECT_TRUE(clash.Err.contains("other_z4.qtsk belongs to another area; choose another task name"))
        << clash.Err.toStdString();
    EXPECT_EQ(work.Read("other_z4.qtsk"), before);
    EXPECT_FALSE(QFile::exists(work.File("other_z3.qtsk")));
}

TEST_F(TessalyCommandTest, SeriesTotalsAreTheWindowsTotals)
{
    server.SetResponder([](const QByteArray& head) {
        return head.startsWith("GET /4/9/8.png ") ? ScriptedReply::Status("HTTP/1.1 500 Internal Server Error")
                                                  : ScriptedReply::Ok("tile");
    });
    const Outcome outcome = Run(NewTask("cli", "3-5") << "--run");
    EXPECT_EQ(outcome.Status, 3);
    EXPECT_TRUE(outcome.Err.contains("All tasks: 33 tiles stored, 0 blank, 1 failed, 0 not fetched")) << outcome.Err.toStdString();

    // Run again, the complete tasks are passed over and still count their failure.
    const QByteArray log = work.Read("cli_z4_log.txt");
    const int requests = server.RequestCount();
    const Outcome again = Run({"run", work.File("cli_z3.qtsk"), work.File("cli_z4.qtsk"), work.File("cli_z5.qtsk")});
    EXPECT_EQ(again.Status, 3);
    EXPECT_TRUE(again.Err.contains("cli_z4.qtsk: 10 of 10 tiles done: 9 stored, 0 blank, 1 failed (listed in " + work.File("cli_z4_failed.ftl")))
        << again.Err.toStdString();
    EXPECT_TRUE(again.Err.contains("All tasks: 33 tiles stored, 0 blank, 1 failed, 0 not fetched")) << again.Err.toStdString();
    EXPECT_EQ(server.RequestCount(), requests);
    EXPECT_EQ(work.Read("cli_z4_log.txt"), log);

    EXPECT_EQ(StartInWindow(exe, work, "win", 3, 5), QStringList{"Zoom series ended: 33 tiles stored, 0 blank, 1 failed in 3 of 3 zoom levels.\n1 failed: HTTP 500"});
}

// Each worker stores one tile, then waits out a long pause; the signal
// ends the wait, and the next run fetches the rest.
TEST_F(TessalyCommandTest, SignalStopsSavesAndTheNextRunContinues)
{
    WriteConfig("MapnikPause=30000\r\n");
    ASSERT_EQ(Run(NewTask("held")).Status, 0);
    // Tiles whose whole body is on disk.
    const auto storedTiles = [&] {
        qsizetype stored = 0;
        const QDir tiles(work.File("held"));
        for (const QString& name : tiles.entryList(QDir::Files))
            stored += work.Read("held/" + name) == "tile";
        return stored;
    };
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        const qsizetype held = std::min(storedTiles() + MaxDownThreads, kAllTilePaths.size());
        QProcess process;
        Begin(process, {"run", work.File("held.qtsk")});
        // Every worker with a tile left has stored it and waits out its pause:
        // no transfer is under way when the signal comes.
        ASSERT_TRUE(RunEventsUntil([&] { return storedTiles() == held; }, 20000));

        // A second run of the same task is refused while the first holds it.
        const Outcome second = Run({"run", work.File("held.qtsk")});
        EXPECT_EQ(second.Status, 1);
        EXPECT_TRUE(second.Err.contains("is already running")) << second.Err.toStdString();

        ::kill(pid_t(process.processId()), signal);
        const Outcome stopped = Finish(process);
        EXPECT_EQ(stopped.Status, status) << stopped.Err.toStdString();
        EXPECT_TRUE(stopped.Err.endsWith("Stopped. Run `tessaly run " + work.File("held.qtsk") + "` again to continue.\n"))
            << stopped.Err.toStdString();
        const QStringList log = ReadTextLines(work.File("held_log.txt"));
        EXPECT_EQ(log.last(), "Log file has been saved as " + work.File("held_log.txt"));
        EXPECT_GT(TIniFile(work.File("held.qtsk")).ReadInteger("THREADS", "T1X", 0), 0) << "positions saved";
    }
    WriteConfig("MapnikPause=0\r\n");
    EXPECT_EQ(Run({"run", work.File("held.qtsk")}).Status, 0);
    const QStringList paths = RequestedPaths();
    EXPECT_EQ(paths.size(), kAllTilePaths.size()) << "no tile twice";
    EXPECT_EQ(QSet<QString>(paths.begin(), paths.end()), QSet<QString>(kAllTilePaths.begin(), kAllTilePaths.end()))
        << "none skipped";
}

TEST_F(TessalyCommandTest, RedownloadFetchesTheListAndLogsToStdout)
{
    work.Write("t_failed.ftl", work.File("t/os_8_7_4.png").toUtf8() + "|" + server.BaseUrl().toUtf8()
            + "/4/8/7.png\r\n../outside.png|" + server.BaseUrl().toUtf8() + "/4/8/8.png\r\n");
    QDir(work.Path()).mkdir("t");
    const Outcome outcome = Run({"redownload", work.File("t_failed.ftl")});
    EXPECT_EQ(outcome.Status, 0) << outcome.Err.toStdString();
    EXPECT_EQ(work.Read("t/os_8_7_4.png"), "tile");
    EXPECT_FALSE(QFile::exists(work.File("../outside.png")));
    EXPECT_TRUE(outcome.Out.startsWith("Start...")) << outcome.Out.toStdString();
    EXPECT_TRUE(outcome.Out.contains("Download End.")) << outcome.Out.toStdString();
    EXPECT_EQ(server.RequestCount(), 1);
}

// The manual's example, run as written on a smaller area and zoom range.
TEST_F(TessalyCommandTest, TheManualsParallelExampleRunsTheSeries)
{
    const QString manual = QString::fromUtf8(ReadWholeFile(QStringLiteral(TESSALY_SOURCE_DIR "/dist/help/help.html")));
    const qsizetype start = manual.indexOf("<pre id=\"parallel-example\">");
    ASSERT_GE(start, 0);
    QString example = manual.mid(start, manual.indexOf("</pre>", start) - start).section(u'\n', 1);
    example.replace("5.9,10.5,47.8,45.8", "10,100,10,-10").replace("10-13", "3-5").replace("/data/alps/", work.Path());
    example.replace("/data/alps", work.Path());
    work.Write("example.sh", example.toUtf8());

    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert("PATH", exe.Path() + ":" + environment.value("PATH"));
    environment.insert("HOME", work.Path());  // parallel keeps a folder of its own there
    shell.setProcessEnvironment(environment);
    shell.start("bash", {"-e", work.File("example.sh")});
    ASSERT_TRUE(shell.waitForFinished(120000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    qsizetype tiles = 0;
    for (const QString& stem : {"alps_z3", "alps_z4", "alps_z5"}) {
        EXPECT_TRUE(work.Read(stem + "_log.txt").endsWith(stem.toLatin1() + "_log.txt\r\n")) << stem.toStdString();
        tiles += QDir(work.File(stem)).entryList(QDir::Files).size();
    }
    EXPECT_EQ(tiles, 34);
    EXPECT_EQ(server.RequestCount(), tiles);
}

// A pipe at the failed list's or the log's name: `run` refuses at once,
// before any tile, instead of waiting on the pipe for a reader that never
// comes.
TEST_F(TessalyCommandTest, APipeAtATaskFilesNameIsRefusedWithoutWaiting)
{
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Status("HTTP/1.1 500 Internal Server Error"); });
    ASSERT_EQ(Run(NewTask("piped")).Status, 0);
    for (const QString name : {"piped_failed.ftl", "piped_log.txt"}) {
        QFile::remove(work.File(name));
        ASSERT_TRUE(hostile::MakeFifo(work.File(name)));
        const Outcome outcome = Run({"run", work.File("piped.qtsk")});
        EXPECT_EQ(outcome.Status, 1) << outcome.Err.toStdString();
        EXPECT_TRUE(outcome.Err.contains("Cannot create file " + work.File(name) + ": not a regular file"))
            << outcome.Err.toStdString();
        QFile::remove(work.File(name));
    }
    EXPECT_EQ(server.RequestCount(), 0);
}
