#include "combiner/output_file.h"
#include "combiner/tile_task_summary.h"
#include "combiner_fixture.h"
#include "platform/app_error.h"
#include "platform/folders.h"
#include "support/hostile_files.h"
#include "support/hostile_tiles.h"
#include "task/tile_file_read.h"

#include <gtest/gtest.h>

namespace {
QString FailureOf(const CombineRequest& request)
{
    RecordingObserver observer;
    try {
        Combine(request, observer);
    } catch (const AppError& error) {
        return error.Message();
    }
    return QStringLiteral("(written)");
}
}

TEST(CombineReport, NamesEveryTileThatIsNotStoredOrWasScaled)
{
    CombinerTask t;
    const TempFolder programFolder;
    QDir(programFolder.Path()).mkdir(QStringLiteral("blankimg"));
    // Filled: a new image's memory may still hold a tile drawn before it.
    QImage blankImage(256, 256, QImage::Format_RGBA8888);
    blankImage.fill(Qt::transparent);
    const QByteArray blank = PngBytes(blankImage);
    programFolder.Write("blankimg/blank.png", blank);
    OverrideExecutableFolder(programFolder.Path());

    QFile::remove(t.TilePath(841, 387));                        // missing
    QFile::remove(t.TilePath(841, 388));                        // failed
    t.folder.Write("area_failed.ftl", "c:\\elsewhere\\area\\os_841_388_10.png|http://tile/10/841/388.png\r\n");
    t.WriteTileBytes(842, 387, blank);                           // blank
    t.WriteTileBytes(842, 388, "<html>not found</html>");        // unreadable
    t.WriteTile(843, 387, CombinerTask::TileImage(843, 387, 128));  // scaled

    RecordingObserver observer;
    const CombineCounts counts = Combine({{t.ProjectFile()}, t.folder.File("map.tif"), OutputFormat::GeoTiff}, observer);
    OverrideExecutableFolder(QString());

    EXPECT_EQ(observer.notes, (QStringList{"missing: os_841_387_10.png", "blank: os_842_387_10.png",
                                  "scaled: os_843_387_10.png", "failed: os_841_388_10.png", "unreadable: os_842_388_10.png (Unsupported image format)"}));
    EXPECT_EQ(counts.Text(), "2 stored, 1 missing, 1 failed, 1 blank, 1 unreadable, 1 scaled");
    EXPECT_EQ(observer.last.Done, 6);
    EXPECT_EQ(observer.last.Total, 6);
}

// Tiles that would take gigabytes, block for good or never end are
// unreadable, each with its reason on its report line, in every format.
TEST(CombineReport, HostileTilesAreUnreadableWithTheirReason)
{
    CombinerTask t;
    const QByteArray real = PngBytes(CombinerTask::TileImage(843, 387));
    for (const QString& name : {t.TilePath(841, 387), t.TilePath(842, 387), t.TilePath(843, 387), t.TilePath(841, 388)})
        QFile::remove(name);
    ASSERT_TRUE(hostile::MakeFifo(t.TilePath(841, 387)));
    ASSERT_TRUE(hostile::LinkToDevZero(t.TilePath(842, 387)));
    ASSERT_TRUE(hostile::WriteSparseFile(t.TilePath(843, 387), real, qint64(1) << 30));
    t.WriteTileBytes(841, 388, hostile::WithHugeChunkLength(real, "tEXt"));
    t.WriteTileBytes(842, 388, hostile::PlainPng(5792, 5792));

    for (const auto& [format, name] : {std::pair{OutputFormat::GeoTiff, "map.tif"}, {OutputFormat::Png, "map.png"},
             {OutputFormat::MBTiles, "map.mbtiles"}}) {
        SCOPED_TRACE(name);
        RecordingObserver observer;
        const CombineCounts counts = Combine({{t.ProjectFile()}, t.folder.File(name), format}, observer);
        EXPECT_EQ(counts.Text(), "1 stored, 0 missing, 0 failed, 0 blank, 5 unreadable, 0 scaled");
        ASSERT_EQ(observer.notes.size(), 5);
        EXPECT_EQ(observer.notes[0], "unreadable: os_841_387_10.png (not a regular file)");
        EXPECT_EQ(observer.notes[1], "unreadable: os_842_387_10.png (a symbolic link)");
        EXPECT_EQ(observer.notes[2], "unreadable: os_843_387_10.png (larger than 16 MiB)");
        EXPECT_TRUE(observer.notes[3].startsWith("unreadable: os_841_388_10.png (PNG: ")) << observer.notes[3].toStdString();
        EXPECT_EQ(observer.notes[4], "unreadable: os_842_388_10.png (larger than 4096 x 4096 pixels)");
    }
}

TEST(CombineStrict, AnyTileNotStoredWritesNothingAndKeepsTheOldTarget)
{
    CombinerTask t;
    QFile::remove(t.TilePath(843, 388));
    t.folder.Write("map.mbtiles", "old");
    EXPECT_EQ(FailureOf({{t.ProjectFile()}, t.folder.File("map.mbtiles"), OutputFormat::MBTiles, true}),
        "Nothing was written: the tile os_843_388_10.png is missing, and strict mode takes only stored tiles.");
    EXPECT_EQ(t.folder.Read("map.mbtiles"), "old");
    EXPECT_EQ(OutputsIn(t.folder), QStringList{"map.mbtiles"});

    RecordingObserver observer;
    QFile::copy(t.TilePath(842, 388), t.TilePath(843, 388));
    Combine({{t.ProjectFile()}, t.folder.File("map.mbtiles"), OutputFormat::MBTiles, true}, observer);
    EXPECT_NE(t.folder.Read("map.mbtiles"), "old");
}

TEST(CombineTargets, BadTargetsAndBrokenTasksLeaveNothingBehind)
{
    CombinerTask t;
    QDir(t.folder.Path()).mkdir(QStringLiteral("map.tif"));
    EXPECT_EQ(FailureOf({{t.ProjectFile()}, t.folder.File("map.tif"), OutputFormat::GeoTiff}),
        QStringLiteral("Cannot write %1: it is a folder.").arg(t.folder.File("map.tif")));
    const QString noFolder = t.folder.File("nowhere") + FolderSeparator() + QStringLiteral("map.png");
    EXPECT_EQ(FailureOf({{t.ProjectFile()}, noFolder, OutputFormat::Png}),
        QStringLiteral("Cannot write %1: the folder %2 does not exist.").arg(noFolder, t.folder.File("nowhere")));
    const QString underFile = t.folder.File("area.qtsk") + FolderSeparator() + QStringLiteral("map.png");
    EXPECT_TRUE(FailureOf({{t.ProjectFile()}, underFile, OutputFormat::Png}).endsWith(QStringLiteral("is not a folder.")));
    EXPECT_EQ(FailureOf({{t.ProjectFile()}, t.ProjectFile(), OutputFormat::Png}),
        QStringLiteral("Cannot write %1: it is the task's own project file.").arg(t.ProjectFile()));

    t.folder.Write("broken.qtsk", "[MapsType]\r\nMapsType=8\r\n");
    EXPECT_TRUE(FailureOf({{t.folder.File("broken.qtsk")}, t.folder.File("map.png"), OutputFormat::Png})
                    .startsWith(QStringLiteral("Cannot open the task ")));
    EXPECT_TRUE(FailureOf({{t.folder.File("none.qtsk")}, t.folder.File("map.png"), OutputFormat::Png})
                    .startsWith(QStringLiteral("Cannot open the task ")));
    QFile::remove(t.folder.File("broken.qtsk"));
    EXPECT_TRUE(OutputsIn(t.folder).isEmpty()) << OutputsIn(t.folder).join(u' ').toStdString();
}

TEST(CombineTargets, UnwritableFolderIsRefusedWithNothingWritten)
{
    CombinerTask t;
    const QString folder = t.folder.File("locked");
    QDir().mkdir(folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (QFile(folder + QStringLiteral("/probe")).open(QIODevice::WriteOnly))
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    const QString target = folder + FolderSeparator() + QStringLiteral("map.tif");
    EXPECT_TRUE(FailureOf({{t.ProjectFile()}, target, OutputFormat::GeoTiff}).startsWith(QStringLiteral("Cannot write ")));
    EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST(CombineTemporaryFiles, StaleOnesAreRemovedAndCancelLeavesNone)
{
    CombinerTask t;
    const QString target = t.folder.File("map.png");
    t.folder.Write("map.png.quiltry-part", "left by a killed run");
    t.folder.Write("map.pgw.quiltry-part", "left by a killed run");
    RecordingObserver observer;
    Combine({{t.ProjectFile()}, target, OutputFormat::Png}, observer);
    EXPECT_EQ(OutputsIn(t.folder), (QStringList{"map.pgw", "map.png", "map.png.aux.xml", "map.prj"}));

    for (OutputFormat format : kOutputFormats) {
        RecordingObserver cancelling;
        cancelling.cancelAfterSpans = 1;
        const QString other = t.folder.File("other.") + OutputFormatSuffix(format);
        EXPECT_THROW(Combine({{t.ProjectFile()}, other, format}, cancelling), CombineCancelled);
    }
    EXPECT_EQ(OutputsIn(t.folder), (QStringList{"map.pgw", "map.png", "map.png.aux.xml", "map.prj"}));
}

// The count before combining agrees with the combiner: a pipe, a link or a
// file too large for a tile is unreadable, and its claimed size stays out of
// the estimate.
TEST(TileTaskSummary, CountsHostileFilesAsUnreadableNotStored)
{
    CombinerTask t;
    const QByteArray real = PngBytes(CombinerTask::TileImage(843, 387));
    for (int x : {841, 842, 843})
        QFile::remove(t.TilePath(x, 387));
    ASSERT_TRUE(hostile::MakeFifo(t.TilePath(841, 387)));
    ASSERT_TRUE(hostile::LinkToDevZero(t.TilePath(842, 387)));
    ASSERT_TRUE(hostile::WriteSparseFile(t.TilePath(843, 387), real, qint64(1) << 30));

    const TileTaskSummary summary = SummariseTask(*t.task);
    EXPECT_EQ(summary.Unreadable, 3);
    EXPECT_EQ(summary.Stored, summary.Geometry.TileCount() - 3);
    EXPECT_LT(summary.StoredBytes, kMaxTileFileBytes);
}

// Lower zooms that cannot be built are said, not passed over in silence.
TEST(CombineRequests, LowerZoomsThatBuildNothingAreNoted)
{
    CombinerTask t;  // zoom 10
    const auto notesOf = [&](OutputFormat format, int lowerZooms) {
        RecordingObserver observer;
        CombineRequest request{{t.ProjectFile()}, t.folder.File("out.") + OutputFormatSuffix(format), format};
        request.LowerZooms = lowerZooms;
        Combine(request, observer);
        return observer.notes.filter(QStringLiteral("lower zooms: "));
    };
    EXPECT_EQ(notesOf(OutputFormat::Png, 8),
        QStringList{"lower zooms: none built, a PNG holds one zoom level (MBTiles and GeoPackage hold several)"});
    EXPECT_EQ(notesOf(OutputFormat::GeoTiff, 8),
        QStringList{"lower zooms: none built, a GeoTIFF holds one zoom level (MBTiles and GeoPackage hold several)"});
    for (const int zoom : {10, 12})
        EXPECT_EQ(notesOf(OutputFormat::MBTiles, zoom),
            QStringList{QStringLiteral("lower zooms: none built, zoom %1 is not below the lowest zoom given (10)").arg(zoom)});
    EXPECT_TRUE(notesOf(OutputFormat::GeoPackage, 9).isEmpty());
    EXPECT_TRUE(notesOf(OutputFormat::Png, -1).isEmpty());
}
