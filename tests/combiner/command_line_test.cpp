#include "combiner/command_line.h"
#include "combiner_fixture.h"
#include "support/run_without_display.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {
struct CommandRun {
    int status = -1;
    QString out;
    QString err;
};

CommandRun RunQuiltry(const QStringList& arguments)
{
    CommandRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = RunCommandLine(arguments, out, err);
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
    EXPECT_TRUE(RunQuiltry({QStringLiteral("--help")}).out.startsWith(QStringLiteral("Usage: quiltry TASK.qtsk [TASK.qtsk ...] -o OUTPUT")));
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
    StartWithoutDisplay(quiltry, QStringLiteral(QUILTRY_PROGRAM), {t.ProjectFile(), QStringLiteral("-o"), t.folder.File("map.tif")});
    ASSERT_TRUE(quiltry.waitForFinished(60000));
    EXPECT_EQ(quiltry.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(quiltry.exitCode(), 0) << quiltry.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(t.folder.File("map.tif")));
}

TEST(CommandLine, HelpVersionAndWrongCommandLinesNeedNoDisplayAndHelpGoesToStdout)
{
    const ExpectedRun runs[] = {
        {{QStringLiteral("--help")}, 0, "Usage: quiltry TASK.qtsk"},
        {{QStringLiteral("-h")}, 0, "Usage: quiltry TASK.qtsk"},
        {{QStringLiteral("--version")}, 0, "quiltry 5."},
        {{QStringLiteral("a.qtsk"), QStringLiteral("--fast")}, 2, "", "quiltry: Unknown option --fast.\nUsage: quiltry"},
        {{QStringLiteral("a.qtsk"), QStringLiteral("--output")}, 2, "", "quiltry: --output needs a value.\n"},
    };
    for (const ExpectedRun& run : runs)
        ExpectRunWithoutDisplay(QStringLiteral(QUILTRY_PROGRAM), run);
}

TEST(CommandLine, AnOptionsValueMayFollowAnEqualsSign)
{
    CombinerTask t;
    const CommandRun run = RunQuiltry({t.ProjectFile(), QStringLiteral("--format=mbtiles"), QStringLiteral("--output=") + t.folder.File("map.data")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(t.folder.Read("map.data").startsWith("SQLite format 3"));
    EXPECT_EQ(RunQuiltry({t.ProjectFile(), QStringLiteral("--lower-zooms=31"), QStringLiteral("-o"), t.folder.File("x.gpkg")}).status, 2);
}

TEST(CommandLine, SeveralTasksLowerZoomsAndGeoPackage)
{
    CombinerTask t;
    const OtherTask deeper(t, QStringLiteral("area_z11.qtsk"), 11);
    const CommandRun run = RunQuiltry({t.ProjectFile(), deeper.ProjectFile(), QStringLiteral("--lower-zooms"), QStringLiteral("9"),
        QStringLiteral("-o"), t.folder.File("series.gpkg")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral(", 4 built\n"))) << run.err.toStdString();
    EXPECT_TRUE(t.folder.Read("series.gpkg").startsWith("SQLite format 3"));
    for (const QString& zoom : {QStringLiteral("31"), QStringLiteral("-1"), QStringLiteral("ten")})
        EXPECT_EQ(RunQuiltry({t.ProjectFile(), QStringLiteral("--lower-zooms"), zoom, QStringLiteral("-o"), t.folder.File("x.gpkg")}).status, 2);
    EXPECT_FALSE(QFile::exists(t.folder.File("x.gpkg")));
}

// The tile tables of a GeoTIFF of the whole world at zoom 15 need some
// 20 GB: under a memory limit the run is refused at once, naming memory.
TEST(CommandLine, AGeoTiffWhoseTileTablesDoNotFitIsRefusedAtOnceNamingMemory)
{
    CombinerTask t;
    t.parameters.LeftLongitude = -180;
    t.parameters.RightLongitude = 179.99;
    t.parameters.TopLatitude = 85;
    t.parameters.BottomLatitude = -85;
    t.parameters.Zoom = 15;
    t.parameters.TaskName = QStringLiteral("world.qtsk");
    MDTask(&t.parameters, MDTask::ReadOnly{}).WriteProjectFile();
    QProcess quiltry;
    quiltry.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("ulimit -v 2000000; exec \"$0\" \"$1\" -o \"$2\""),
        QStringLiteral(QUILTRY_PROGRAM), t.folder.File("world.qtsk"), t.folder.File("world.tif")});
    ASSERT_TRUE(quiltry.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(quiltry.readAllStandardError());
    EXPECT_EQ(quiltry.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("quiltry: Not enough memory for a GeoTIFF of "))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(t.folder.File("world.tif")));
    EXPECT_FALSE(QFile::exists(t.folder.File("world.tif.quiltry-part")));
}
