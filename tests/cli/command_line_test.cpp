#include "cli/command_line.h"
#include "cli/shell_quote.h"
#include "cli/tessaly_command_fixture.h"
#include "support/run_without_display.h"
#include "task/map_type.h"

#include <gtest/gtest.h>

namespace {
template <typename T>
T As(const Command& command)
{
    EXPECT_TRUE(std::holds_alternative<T>(command));
    return std::holds_alternative<T>(command) ? std::get<T>(command) : T{};
}

QString ErrorOf(const QStringList& arguments)
{
    return As<UsageError>(ParseCommandLine(arguments)).Message;
}
}

TEST(CommandLineTest, NoArgumentOrATaskFileOpensTheWindow)
{
    EXPECT_EQ(As<WindowCommand>(ParseCommandLine({})).TaskFile, QString());
    EXPECT_EQ(As<WindowCommand>(ParseCommandLine({"alps.qtsk"})).TaskFile, "alps.qtsk");
}

TEST(CommandLineTest, NewReadsEveryOptionAndKeepsTheAreaTextsAsTyped)
{
    const auto command = As<NewCommand>(ParseCommandLine(
        {"new", "alps.qtsk", "--area", "5.5,7.25,47.8,45.75", "--zoom", "10-13", "--map", "cycle", "--folder",
            "/data", "--yes", "--run"}));
    EXPECT_EQ(command.TaskName, "alps.qtsk");
    EXPECT_EQ(command.Area, QStringList({"5.5", "7.25", "47.8", "45.75"}));
    EXPECT_EQ(command.ZoomFrom, 10);
    EXPECT_EQ(command.ZoomTo, 13);
    EXPECT_EQ(command.MapsType, CYCLE);
    EXPECT_EQ(command.Folder, "/data");
    EXPECT_TRUE(command.Yes);
    EXPECT_TRUE(command.Run);

    const auto plain = As<NewCommand>(ParseCommandLine({"new", "a", "--zoom", "4", "--area", "1,2,3,4"}));
    EXPECT_EQ(plain.ZoomFrom, 4);
    EXPECT_EQ(plain.ZoomTo, 4);
    EXPECT_EQ(plain.MapsType, MAPNIK);
    EXPECT_FALSE(plain.Yes || plain.Run);
}

TEST(CommandLineTest, WrongCommandLinesNameTheProblem)
{
    EXPECT_TRUE(ErrorOf({"new", "a", "--zoom", "4"}).contains("--area is needed"));
    EXPECT_TRUE(ErrorOf({"new", "a", "--area", "1,2,3,4"}).contains("--zoom is needed"));
    EXPECT_TRUE(ErrorOf({"new", "--area", "1,2,3,4", "--zoom", "4"}).contains("a task name is needed"));
    EXPECT_TRUE(ErrorOf({"new", "dir/", "--area", "1,2,3,4", "--zoom", "4"}).contains("a task name is needed"));
    EXPECT_TRUE(ErrorOf({"new", "a", "--area", "1,2,3", "--zoom", "4"}).contains("LEFT,RIGHT,TOP,BOTTOM"));
    for (const char* zoom : {"13-10", "31", "x", "4-", "-1", "1-2-3"})
        EXPECT_TRUE(ErrorOf({"new", "a", "--area", "1,2,3,4", "--zoom", zoom}).contains("--zoom")) << zoom;
    EXPECT_TRUE(ErrorOf({"new", "a", "--area", "1,2,3,4", "--zoom", "4", "--map", "satellite"}).contains("--map"));
    EXPECT_TRUE(ErrorOf({"new", "a", "--area"}).contains("--area needs a value"));
    EXPECT_TRUE(ErrorOf({"new", "a", "b", "--area", "1,2,3,4", "--zoom", "4"}).contains("one task name only"));
    EXPECT_TRUE(ErrorOf({"run"}).contains("a task file is needed"));
    EXPECT_TRUE(ErrorOf({"run", "--fast", "a.qtsk"}).contains("unknown option --fast"));
    EXPECT_TRUE(ErrorOf({"redownload", "a.ftl", "b.ftl"}).contains("one list file only"));
    EXPECT_TRUE(ErrorOf({"fetch", "a.qtsk"}).contains("unknown command fetch"));
    EXPECT_TRUE(ErrorOf({"--fast"}).contains("unknown option --fast"));
}

TEST(CommandLineTest, HelpAndVersionOnEveryCommand)
{
    EXPECT_TRUE(As<PrintCommand>(ParseCommandLine({"--help"})).Text.contains("tessaly run TASK.qtsk"));
    EXPECT_EQ(As<PrintCommand>(ParseCommandLine({"new", "--help"})).Text, NewHelp());
    EXPECT_EQ(As<PrintCommand>(ParseCommandLine({"run", "a.qtsk", "--help"})).Text, RunHelp());
    EXPECT_EQ(As<PrintCommand>(ParseCommandLine({"redownload", "-h"})).Text, RedownloadHelp());
    for (const QStringList& arguments : {QStringList{"--version"}, QStringList{"new", "--version"},
             QStringList{"run", "--version"}, QStringList{"redownload", "--version"}})
        EXPECT_TRUE(As<PrintCommand>(ParseCommandLine(arguments)).Text.startsWith("tessaly "));
}

TEST(CommandLineTest, AValueMayFollowItsOptionAfterAnEqualsSign)
{
    const auto command = As<NewCommand>(ParseCommandLine(
        {"new", "--area=5.5,7.25,47.8,45.75", "alps.qtsk", "--zoom=10-13", "--map=cycle", "--folder=/data"}));
    EXPECT_EQ(command.TaskName, "alps.qtsk");
    EXPECT_EQ(command.Area, QStringList({"5.5", "7.25", "47.8", "45.75"}));
    EXPECT_EQ(command.ZoomTo, 13);
    EXPECT_EQ(command.MapsType, CYCLE);
    EXPECT_EQ(command.Folder, "/data");
    EXPECT_TRUE(ErrorOf({"new", "a", "--area=1,2,3", "--zoom=4"}).contains("LEFT,RIGHT,TOP,BOTTOM"));
    EXPECT_TRUE(ErrorOf({"new", "a", "--yes=no", "--area=1,2,3,4", "--zoom=4"}).startsWith("tessaly new: "));
}

TEST(CommandLineTest, AWordThatIsNoCommandNorTaskFileIsAnUnknownCommand)
{
    for (const QStringList& arguments : {QStringList{"frobnicate"}, QStringList{"frobnicate", "x.qtsk"}})
        EXPECT_EQ(ErrorOf(arguments), "tessaly: unknown command frobnicate (the commands are new, run, refresh, redownload and sources)\n"
                                      "Try 'tessaly --help'.");
    EXPECT_EQ(As<WindowCommand>(ParseCommandLine({"tasks/alps"})).TaskFile, "tasks/alps");
    EXPECT_EQ(As<WindowCommand>(ParseCommandLine({"ALPS.QTSK"})).TaskFile, "ALPS.QTSK");
}

TEST(CommandLineTest, TheWindowsTaskFileMustBeThereAndReadable)
{
    const TempFolder folder;
    folder.Write("alps.qtsk", "[AREA]\r\n");
    const Command readable = CheckWindowTaskFile(WindowCommand{folder.File("alps.qtsk")});
    EXPECT_EQ(As<WindowCommand>(readable).TaskFile, folder.File("alps.qtsk"));
    EXPECT_EQ(As<RefusedCommand>(CheckWindowTaskFile(WindowCommand{folder.File("missing.qtsk")})).Message,
        "Cannot open the task " + folder.File("missing.qtsk") + ": the file does not exist.");
    EXPECT_EQ(As<RefusedCommand>(CheckWindowTaskFile(WindowCommand{folder.Path()})).Message,
        "Cannot open the task " + QDir::toNativeSeparators(folder.Path()) + ": it is not a file.");
    EXPECT_TRUE(std::holds_alternative<WindowCommand>(CheckWindowTaskFile(WindowCommand{})));
    EXPECT_TRUE(std::holds_alternative<RunCommand>(CheckWindowTaskFile(RunCommand{{"missing.qtsk"}})));
}

// The built programs as a script meets them: no display at all.
TEST_F(TessalyCommandTest, WrongCommandsAndMissingTaskFilesAreAnsweredOnStderrWithoutADisplay)
{
    const Outcome unknown = Run({"frobnicate"});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(unknown.Err.contains("unknown command frobnicate (the commands are new, run, refresh, redownload and sources)"))
        << unknown.Err.toStdString();
    EXPECT_EQ(unknown.Out, QString());

    const Outcome missing = Run({work.File("missing.qtsk")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Err, "Cannot open the task " + work.File("missing.qtsk") + ": the file does not exist.\n");

    const Outcome version = Run({"run", "--version"});
    EXPECT_EQ(version.Status, 0);
    EXPECT_TRUE(version.Out.startsWith("tessaly 5.")) << version.Out.toStdString();

    const Outcome created = Run({"new", "eq", "--area=10,100,10,-10", "--zoom=4", "--folder=" + work.Path()});
    EXPECT_EQ(created.Status, 0) << created.Err.toStdString();
    EXPECT_TRUE(QFile::exists(work.File("eq.qtsk")));
}

TEST(CommandLineTest, TheViewerAnswersHelpVersionAndAWrongCommandLineWithoutADisplay)
{
    const ExpectedRun runs[] = {
        {{"--help"}, 0, "Usage: orvane [TASK.qtsk]\n"},
        {{"-h"}, 0, "Usage: orvane [TASK.qtsk]\n"},
        {{"--version"}, 0, "orvane 5."},
        {{"--bogus"}, 2, "", "orvane: Unknown option 'bogus'.\nTry 'orvane --help'.\n"},
    };
    for (const ExpectedRun& run : runs)
        ExpectRunWithoutDisplay(QStringLiteral(ORVANE_PROGRAM), run);
}

// The command a stopped run names must run as shown when pasted.
TEST(ShellQuoted, LeavesPlainPathsAndQuotesTheRest)
{
    EXPECT_EQ(ShellQuoted("/home/me/alps_z10.qtsk"), "/home/me/alps_z10.qtsk");
    EXPECT_EQ(ShellQuoted("/home/me/my tasks/alps.qtsk"), "'/home/me/my tasks/alps.qtsk'");
    EXPECT_EQ(ShellQuoted("it's $HOME.qtsk"), "'it'\\''s $HOME.qtsk'");
    EXPECT_EQ(ShellQuoted(""), "''");
}
