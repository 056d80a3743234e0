#include "cli/tessaly_command_fixture.h"
#include "support/run_until.h"

#include <QDirIterator>
#include <csignal>

// What `new` and `run` refuse before anything is written: names that are no
// one file name, a name held by another area or by a run, a series with a
// member that cannot run, area texts with more than a number.
using TaskNamesTest = TessalyCommandTest;

namespace {
QStringList FilesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator walk(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDirIterator::Subdirectories);
    while (walk.hasNext())
        files << walk.next();
    return files;
}
}

TEST_F(TaskNamesTest, ANameIsOneFileNameWithoutControlCharactersOrBar)
{
    QDir(work.Path()).mkpath("t/chosen");
    const Outcome escape = Run({"new", "../../escape.qtsk", "--area", "10,100,10,-10", "--zoom", "4", "--folder",
        work.File("t/chosen")});
    EXPECT_EQ(escape.Status, 2) << "a name whose folder is not --folder";
    EXPECT_TRUE(escape.Err.contains("is not the --folder")) << escape.Err.toStdString();

    for (const QString name : {"..", ".", "line\nbreak", "bar|name", "tab\tname"}) {
        const Outcome refused = Run(NewTask(name));
        EXPECT_EQ(refused.Status, 1) << name.toStdString();
        EXPECT_TRUE(refused.Err.contains("The task name ")) << refused.Err.toStdString();
        EXPECT_EQ(refused.Err.count('\n'), 1) << "one line: " << refused.Err.toStdString();
    }
    EXPECT_EQ(FilesUnder(work.Path()), QStringList({work.File("t"), work.File("t/chosen")}))
        << "nothing written anywhere: " << FilesUnder(work.Path()).join(' ').toStdString();
}

TEST_F(TaskNamesTest, ANameWithAFolderPartNamesTheFolder)
{
    QDir(work.Path()).mkpath("sub");
    const QStringList area{"--area", "10,100,10,-10", "--zoom", "4"};
    const Outcome relative = Run(QStringList{"new", "sub/alps.qtsk"} + area);
    EXPECT_EQ(relative.Status, 0) << relative.Err.toStdString();
    EXPECT_TRUE(QFile::exists(work.File("sub/alps.qtsk")));

    const Outcome agreeing = Run(QStringList{"new", work.File("sub/both.qtsk"), "--folder", work.File("sub/")} + area);
    EXPECT_EQ(agreeing.Status, 0) << agreeing.Err.toStdString();
    EXPECT_TRUE(QFile::exists(work.File("sub/both.qtsk")));

    const Outcome disagreeing = Run(QStringList{"new", "sub/other.qtsk", "--folder", work.Path()} + area);
    EXPECT_EQ(disagreeing.Status, 2);
    EXPECT_TRUE(disagreeing.Err.contains("the task name's folder sub is not the --folder " + work.Path()))
        << disagreeing.Err.toStdString();
    EXPECT_FALSE(QFile::exists(work.File("sub/other.qtsk")));
}

TEST_F(TaskNamesTest, AreaTextsOnTheCommandLineAreNumbersAndNothingElse)
{
    for (const QString area : {"0x0A,100,10,-10", "10.0abc,100,10,-10", "10,100,10, "}) {
        const Outcome refused = Run({"new", "a", "--area", area, "--zoom", "4", "--folder", work.Path()});
        EXPECT_EQ(refused.Status, 2) << area.toStdString();
        EXPECT_TRUE(refused.Err.contains("--area takes decimal numbers")) << refused.Err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(work.File("a.qtsk")));
    EXPECT_EQ(Run({"new", "a", "--area", "10.5,1e2,10,-10", "--zoom", "4", "--folder", work.Path()}).Status, 0);
}

TEST_F(TaskNamesTest, RunOfAFileThatIsNoProjectFileSaysSo)
{
    // A project file under another name.
    ASSERT_EQ(Run(NewTask("k")).Status, 0);
    ASSERT_TRUE(QFile::rename(work.File("k.qtsk"), work.File("k.txt")));
    ASSERT_TRUE(QDir(work.File("k")).removeRecursively());
    const Outcome refused = Run({"run", work.File("k.txt")});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_EQ(refused.Err, work.File("k.txt") + " is not a task: a task's project file is named NAME.qtsk.\n")
        << refused.Err.toStdString();
    EXPECT_EQ(FilesUnder(work.Path()), QStringList{work.File("k.txt")});
}

// The world at zoom 16 holds 2^32 tiles, more than one task can download.
TEST_F(TaskNamesTest, ASeriesWithAMemberThatCannotRunIsRefusedWhole)
{
    const QStringList world{"new", "world", "--area", "-180,180,85,-85", "--zoom", "10-16", "--folder", work.File("w")};
    for (const QStringList& arguments : {world, world + QStringList{"--run"}, world + QStringList{"--yes"}}) {
        const Outcome refused = Run(arguments);
        EXPECT_EQ(refused.Status, 1);
        EXPECT_TRUE(refused.Err.contains("tiles at zoom level 16, more than one task can download"))
            << refused.Err.toStdString();
        EXPECT_FALSE(refused.Err.contains("--yes")) << "no question";
    }
    EXPECT_FALSE(QFile::exists(work.File("w"))) << "nothing written";
    EXPECT_EQ(server.RequestCount(), 0);

    // A single task refused by the task core leaves no folder behind either.
    const Outcome single = Run({"new", "one", "--area", "-180,180,85,-85", "--zoom", "16", "--folder", work.File("w")});
    EXPECT_EQ(single.Status, 1);
    EXPECT_FALSE(QFile::exists(work.File("w")));
}

TEST_F(TaskNamesTest, NewLeavesTheProjectFileOfARunningTaskOrAnotherAreaAlone)
{
    ASSERT_EQ(Run({"new", "other", "--area", "0,1,1,0", "--zoom", "4", "--folder", work.Path()}).Status, 0);
    const QByteArray other = work.Read("other.qtsk");
    const Outcome clash = Run(NewTask("other"));
    EXPECT_EQ(clash.Status, 1);
    EXPECT_EQ(clash.Err, "other.qtsk belongs to another area; choose another task name\n");
    EXPECT_EQ(work.Read("other.qtsk"), other);

    // A task held by a run in another process: its transfers never end.
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Stall(); });
    QProcess running;
    Begin(running, NewTask("held") << "--run");
    ASSERT_TRUE(RunEventsUntil([&] { return server.RequestCount() > 0; }, 20000));
    const QByteArray held = work.Read("held.qtsk");
    const Outcome again = Run(NewTask("held", "5"));
    EXPECT_EQ(again.Status, 1);
    EXPECT_EQ(again.Err, "The task " + work.File("held.qtsk") + " is already running.\n");
    EXPECT_EQ(work.Read("held.qtsk"), held);
    ::kill(pid_t(running.processId()), SIGINT);
    EXPECT_EQ(Finish(running).Status, 130);
}
