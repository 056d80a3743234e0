#include "platform/app_error.h"
#include "support/run_until.h"
#include "viewer/viewed_task.h"
#include "viewer_task_fixture.h"

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
