#include "combiner/command_line.h"
#include "combiner_fixture.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct CommandRun {
    int status = -1;
    QString err;
};

CommandRun RunQuiltry(const QStringList& arguments)
{
    CommandRun run;
    QTextStream err(&run.err);
    run.status = RunCommandLine(arguments, err);
    return run;
}
}

TEST(CommandLine, WritesTheFormatOfTheEndingAndReportsTilesOnStderr)
{
    CombinerTask t;
    QFile::remove(t.TilePath(842, 387));
    const CommandRun run = RunQuiltry({t.ProjectFile(), QStringLiteral("-o"), t.folder.File("map.mbtiles")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("\nmissing: os_842_387_10.png\n")) || run.err.startsWith(QStringLiteral("missing: os_842_387_10.png\n")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("6 of 6 tiles")));
    EXPECT_TRUE(t.folder.Read("map.mbtiles").startsWith("SQLite format 3"));

    const CommandRun strict = RunQuiltry({t.ProjectFile(), QStringLiteral("--strict"), QStringLiteral("--format"),
        QStringLiteral("gtiff"), QStringLiteral("-o"), t.folder.File("map.data")});
    EXPECT_EQ(strict.status, 1);
    EXPECT_FALSE(QFile::exists(t.folder.File("map.data")));
}

TEST(CommandLine, RefusesWrongCommandLinesWithStatusTwo)
{
    CombinerTask t;
    EXPECT_EQ(RunQuiltry({QStringLiteral("--help")}).status, 0);
    EXPECT_TRUE(RunQuiltry({QStringLiteral("--help")}).err.startsWith(QStringLiteral("Usage: quiltry TASK.qtsk [TASK.qtsk ...] -o OUTPUT")));
    const CommandRun noEnding = RunQuiltry({t.ProjectFile(), QStringLiteral("-o"), t.folder.File("map.jpg")});
    EXPECT_EQ(noEnding.status, 2);
    EXPECT_TRUE(noEnding.err.startsWith(QStringLiteral("quiltry: The output's ending names no format")));
    EXPECT_EQ(RunQuiltry({t.ProjectFile(), QStringLiteral("--format"), QStringLiteral("jpeg"), QStringLiteral("-o"), t.folder.File("m")}).status, 2);
    EXPECT_EQ(RunQuiltry({t.ProjectFile()}).status, 2);
    EXPECT_EQ(RunQuiltry({t.ProjectFile(), QStringLiteral("-o")}).status, 2);
    EXPECT_EQ(RunQuiltry({t.ProjectFile(), QStringLiteral("--fast"), QStringLiteral("-o"), t.folder.File("m.tif")}).status, 2);
    EXPECT_TRUE(OutputsIn(t.folder).isEmpty());
}

TEST(CommandLine, ArgumentsOtherThanOneProjectFileMeanTheCommandLine)
{
    EXPECT_FALSE(WantsCommandLine({}));
    EXPECT_FALSE(WantsCommandLine({QStringLiteral("/data/area.qtsk")}));
    EXPECT_TRUE(WantsCommandLine({QStringLiteral("--help")}));
    EXPECT_TRUE(WantsCommandLine({QStringLiteral("a.qtsk"), QStringLiteral("-o"), QStringLiteral("a.tif")}));
}

// The program itself, as a script runs it: no display, no platform chosen.
TEST(CommandLine, TheProgramRunsWithoutADisplay)
{
    CombinerTask t;
    QProcess quiltry;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    quiltry.setProcessEnvironment(environment);
    quiltry.start(QStringLiteral(QUILTRY_PROGRAM), {t.ProjectFile(), QStringLiteral("-o"), t.folder.File("map.tif")});
    ASSERT_TRUE(quiltry.waitForFinished(60000));
    EXPECT_EQ(quiltry.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quiltry.exitCode(), 0) << quiltry.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(t.folder.File("map.tif")));
}
