#include "cli/command_line.h"
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
