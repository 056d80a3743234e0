#include "platform/app_error.h"
#include "support/run_until.h"
#include "support/checker_tiles.h"
#include "support/hostile_files.h"
#include "support/hostile_tiles.h"
#include "viewer/tile_file_check.h"
#include "viewer/viewed_task.h"
#include "viewer_task_fixture.h"

#include "support/test_map_source.h"

#include <gtest/gtest.h>

namespace {
void ExpectCounts(const TileCounts& counts, qint64 stored, qint64 blank, qint64 unreadable, qint64 failed,
                  qint64 missing)
{
    EXPECT_EQ(counts.Stored, stored);
    EXPECT_EQ(counts.Blank, blank);
    EXPECT_EQ(counts.Unreadable, unreadable);
    EXPECT_EQ(counts.Failed, failed);
    EXPECT_EQ(counts.Missing, missing);
    EXPECT_EQ(counts.Unchecked, 0);
}
}

TEST(ViewedTask, ScanFindsEveryStateCountsBytesAndChangesNothing)
{
    ViewerTask fixture;
    fixture.WriteOneTileOfEachState();
    const QStringList before = QDir(fixture.folder.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    // A file of another task and one named with a leading zero are no tiles of this one.
    fixture.WriteTile(843, 389, QByteArray());
    QFile::rename(fixture.task->TileFilePath(843, 389), fixture.task->ImageFolder + "os_0843_389_10.png");

    ViewedTask viewed(fixture.ProjectFile());
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.IsCounted(); }));

    ExpectCounts(viewed.Counts(), 2, 1, 1, 1, 4);
    qint64 bytes = 0;
    for (const QPoint tile : {QPoint(841, 387), QPoint(842, 387), QPoint(843, 387), QPoint(842, 388)})
        bytes += QFileInfo(fixture.task->TileFilePath(tile.x(), tile.y())).size();
    EXPECT_EQ(viewed.Counts().BytesOnDisk, bytes);
    EXPECT_EQ(viewed.StateOf(841, 387), TileState::Stored);
    EXPECT_EQ(viewed.StateOf(842, 387), TileState::Blank);
    EXPECT_EQ(viewed.StateOf(843, 387), TileState::Unreadable);
    EXPECT_EQ(viewed.StateOf(841, 388), TileState::Failed);
    EXPECT_EQ(viewed.StateOf(843, 389), TileState::Missing);
    EXPECT_FALSE(viewed.StateOf(840, 387));
    EXPECT_EQ(QDir(fixture.folder.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

TEST(ViewedTask, DecodesWantedTilesAtTheirSizeAndScalesOddSizes)
{
    ViewerTask fixture;
    fixture.WriteOneTileOfEachState();
    ViewedTask viewed(fixture.ProjectFile());
    const QList<TileKey> wanted{{841, 387, 64}, {842, 388, 256}, {843, 387, 256}, {843, 389, 256}};
    viewed.Want(wanted);
    ASSERT_TRUE(RunEventsUntil([&] {
        for (const TileKey& key : wanted)
            if (!viewed.Images().Find(key))
                return false;
        return true;
    }));
    EXPECT_EQ(viewed.Images().Find(wanted[0])->Image.size(), QSize(64, 64));
    // 100 x 50 fits a 256 cell as it is; the view scales it into the cell.
    EXPECT_EQ(viewed.Images().Find(wanted[1])->Image.size(), QSize(100, 50));
    EXPECT_TRUE(viewed.Images().Find(wanted[2])->Image.isNull());
    EXPECT_EQ(viewed.Images().Find(wanted[2])->State, TileState::Unreadable);
    EXPECT_EQ(viewed.Images().Find(wanted[3])->State, TileState::Missing);
}

TEST(ViewedTask, BadProjectFilesNameTheFileAndTheReason)
{
    ViewerTask fixture;
    fixture.folder.Write(QStringLiteral("empty.qtsk"), QByteArray());
    fixture.folder.Write(QStringLiteral("binary.qtsk"), QByteArray("\x89PNG\0\0\x01", 7));
    const QByteArray whole = fixture.folder.Read(fixture.parameters.TaskName);
    fixture.folder.Write(QStringLiteral("truncated.qtsk"), whole.left(whole.indexOf("[Zoom]")));
    for (const QString name : {"missing.qtsk", "empty.qtsk", "binary.qtsk", "truncated.qtsk"}) {
        const QByteArray before = fixture.folder.Read(name);
        try {
            ViewedTask viewed(fixture.folder.File(name));
            ADD_FAILURE() << name.toStdString() << " opened";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Cannot open the task ") + fixture.folder.File(name)))
                << error.Message().toStdString();
        }
        EXPECT_EQ(fixture.folder.Read(name), before);
    }
}

// Files that would block the scan for good, fill the memory or never end
// are unreadable, with their reason, and the scan and the view carry on.
TEST(ViewedTask, HostileTilesAreUnreadableAndTheScanEnds)
{
    ViewerTask fixture;
    const QByteArray real = ViewerTask::Png(QSize(256, 256), Qt::darkGreen);
    ASSERT_TRUE(hostile::MakeFifo(fixture.task->TileFilePath(841, 387)));
    ASSERT_TRUE(hostile::LinkToDevZero(fixture.task->TileFilePath(842, 387)));
    ASSERT_TRUE(hostile::WriteSparseFile(fixture.task->TileFilePath(843, 387), real, qint64(1) << 30));
    fixture.WriteTile(841, 388, hostile::WithHugeChunkLength(real, "tEXt"));
    fixture.WriteTile(842, 388, hostile::WithHugeChunkLength(real, "IDAT"));
    fixture.WriteTile(843, 388, hostile::PlainPng(5792, 5792));
    fixture.WriteTile(841, 389, real);

    ViewedTask viewed(fixture.ProjectFile());
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.IsCounted(); }));
    // A link to a device is no file for the listing: missing until decoded.
    ExpectCounts(viewed.Counts(), 1, 0, 5, 0, 3);

    QList<TileKey> wanted;
    for (int y = 387; y <= 389; ++y)
        for (int x = 841; x <= 843; ++x)
            wanted.append({x, y, 64});
    viewed.Want(wanted);
    ASSERT_TRUE(RunEventsUntil([&] {
        return std::all_of(wanted.begin(), wanted.end(), [&](const TileKey& key) { return viewed.Images().Find(key); });
    }));
    for (const TileKey& key : wanted.mid(0, 6)) {
        EXPECT_EQ(viewed.Images().Find(key)->State, TileState::Unreadable) << key.X << "," << key.Y;
        EXPECT_TRUE(viewed.Images().Find(key)->Image.isNull());
    }
    EXPECT_EQ(viewed.Images().Find(wanted[6])->Image.size(), QSize(64, 64));
}

TEST(TileFileCheck, UnreadableTilesSayWhy)
{
    ViewerTask fixture;
    const QString fifo = fixture.task->TileFilePath(841, 387);
    ASSERT_TRUE(hostile::MakeFifo(fifo));
    const TileStateRule rule = TileStateRule::ForTask(*fixture.task);
    const TileFileContent content = ReadTileFile(fifo, QFileInfo(fifo).fileName(), rule, 64);
    EXPECT_EQ(content.State, TileState::Unreadable);
    EXPECT_EQ(content.Problem, "not a regular file");
    fixture.WriteTile(842, 387, ViewerTask::Png(QSize(5000, 1), Qt::red));
    EXPECT_EQ(ReadTileFile(fixture.task->TileFilePath(842, 387), "x", rule).Problem, "larger than 4096 x 4096 pixels");
}

// Shown smaller than its size, every kind of tile is the even mix of its
// colours: a palette tile with transparency used to turn to speckle noise.
TEST(TileFileCheck, EveryKindOfTileDecodesSmoothlyAtEverySmallerEdge)
{
    ViewerTask fixture;
    const TileStateRule rule = TileStateRule::ForTask(*fixture.task);
    const QString path = fixture.task->TileFilePath(841, 387);
    for (const CheckerTile& tile : checker::AllKinds(256)) {
        SCOPED_TRACE(tile.Kind);
        fixture.WriteTile(841, 387, tile.Png);
        for (int edge : {128, 64, 32, 16}) {
            const TileFileContent content = ReadTileFile(path, "x", rule, edge);
            ASSERT_EQ(content.Image.size(), QSize(edge, edge));
            EXPECT_LE(checker::LargestDifference(content.Image, tile.Mix), 6) << "edge " << edge;
        }
    }
}

// A map source's task stores JPEG tiles of 512 pixels under its own prefix;
// its blank tiles are the JPEG blank image.
TEST(ViewedTask, ASourceTasksJpegTilesAreFoundAndDecoded)
{
    ViewerTask fixture;
    fixture.parameters.MapsType = kMapSourceType;
    fixture.parameters.Source = JpegTestSource();
    fixture.task = std::make_unique<MDTask>(&fixture.parameters);
    fixture.task->WriteProjectFile();
    const auto jpeg = [](QColor color) {
        QImage image(512, 512, QImage::Format_RGB32);
        image.fill(color);
        return JpegBytes(image);
    };
    fixture.executableFolder.Write(QStringLiteral("blankimg/blank.jpg"), jpeg(Qt::white));
    fixture.WriteTile(841, 387, jpeg(Qt::darkGreen));
    fixture.WriteTile(842, 387, jpeg(Qt::white));
    ASSERT_TRUE(QFile::exists(fixture.folder.File(QStringLiteral("newtask/ortho_841_387_10.jpg"))));

    ViewedTask viewed(fixture.ProjectFile());
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.IsCounted(); }));
    ExpectCounts(viewed.Counts(), 1, 1, 0, 0, 7);
    const TileKey key{841, 387, 256};
    viewed.Want({key});
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.Images().Find(key) != nullptr; }));
    EXPECT_EQ(viewed.Images().Find(key)->Image.size(), QSize(256, 256));
}
