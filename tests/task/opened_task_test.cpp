#include "platform/app_error.h"
#include "task/opened_task.h"
#include "task/tile_state.h"
#include "task_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {
// The project file a download of the example task writes.
QString WriteExampleProject(ExampleTask& example)
{
    const MDTask task(&example.parameters);
    task.WriteProjectFile();
    return example.parameters.Path + example.parameters.TaskName;
}

QString RefusalOf(const QString& projectFile)
{
    try {
        OpenTaskReadOnly(projectFile);
    } catch (const AppError& error) {
        return error.Message();
    }
    return QStringLiteral("(opened)");
}
}

TEST(OpenTaskReadOnly, GivesTheDownloadersRangeAndFileNamesAndTouchesNothing)
{
    ExampleTask example;
    const QString projectFile = WriteExampleProject(example);
    QDir(example.folder.Path()).rmdir(QStringLiteral("newtask"));
    const QByteArray before = example.folder.Read("newtask.qtsk");

    const OpenedTask opened = OpenTaskReadOnly(projectFile);
    const MDTask downloaded(&example.parameters);
    EXPECT_EQ(opened.Task->MinX, downloaded.MinX);
    EXPECT_EQ(opened.Task->MaxY, downloaded.MaxY);
    EXPECT_EQ(opened.Task->TotalCount, 9);
    EXPECT_EQ(opened.Task->TileFilePath(842, 388), downloaded.TileFilePath(842, 388));
    EXPECT_EQ(opened.Task->FailedFileName, downloaded.FailedFileName);
    EXPECT_EQ(opened.Parameters->TaskName, "newtask.qtsk");

    QDir(example.folder.Path()).rmdir(QStringLiteral("newtask"));
    OpenTaskReadOnly(projectFile);
    EXPECT_FALSE(QFileInfo::exists(example.folder.File("newtask")));
    EXPECT_EQ(example.folder.Read("newtask.qtsk"), before);
}

TEST(OpenTaskReadOnly, ReadsAreaTextsWrittenWithADecimalComma)
{
    ExampleTask example;
    example.folder.Write("comma.qtsk",
        "[MapsType]\r\nMapsType=9\r\n[AREA]\r\nLeftLongitude=116\r\nRightLongitude=116,5\r\n"
        "TopLatitude=40\r\nBottomLatitude=39,5\r\n[Zoom]\r\nZoom=10\r\n");
    const OpenedTask opened = OpenTaskReadOnly(example.folder.File("comma.qtsk"));
    EXPECT_EQ(opened.Task->TotalCount, 9);
    EXPECT_EQ(opened.Task->TileFileName(841, 387), "oo_841_387_10.png");
}

TEST(OpenTaskReadOnly, RefusesBrokenFilesNamingTheFileAndTheReason)
{
    ExampleTask example;
    const QString good = "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongitude=1\r\nRightLongitude=2\r\n"
                         "TopLatitude=2\r\nBottomLatitude=1\r\n[Zoom]\r\nZoom=%1\r\n";
    const struct {
        const char* name;
        QByteArray content;
        const char* reason;
    } cases[] = {
        {"empty.qtsk", "", "the file is empty"},
        {"binary.qtsk", QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11), "binary data"},
        {"truncated.qtsk", "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongi", "LeftLongitude of section [AREA] holds no number"},
        {"nozoom.qtsk", good.arg("").toLatin1(), "Zoom of section [Zoom] is missing"},
        {"deep.qtsk", good.arg(31).toLatin1(), "Zoom level 31 is not supported"},
        {"maptype.qtsk", "[MapsType]\r\nMapsType=3\r\n", "names no known map type"},
        {"upside.qtsk", QString(good).replace("TopLatitude=2", "TopLatitude=0").arg(5).toLatin1(), "south of its bottom edge"},
    };
    for (const auto& c : cases) {
        example.folder.Write(c.name, c.content);
        const QString message = RefusalOf(example.folder.File(c.name));
        EXPECT_TRUE(message.startsWith("Cannot open the task " + example.folder.File(c.name) + ": ")) << message.toStdString();
        EXPECT_TRUE(message.contains(c.reason)) << message.toStdString();
    }
    EXPECT_TRUE(RefusalOf(example.folder.File("absent.qtsk")).contains("the file does not exist"));
}

TEST(TileState, DecidedInOrderUnreadableBlankStoredFailedMissing)
{
    ExampleTask example;
    example.folder.Write("t_failed.ftl",
        "/elsewhere/moved/os_1_2_3.png|http://a/3/1/2.png\r\nC:\\old\\os_4_5_3.png|http://a/3/4/5.png\r\nno bar line\r\n");
    const TileStateRule rule(QByteArray("BLANK"), ReadFailedTileNames(example.folder.File("t_failed.ftl")));
    EXPECT_EQ(rule.ForFile("BLANK", false), TileState::Unreadable);
    EXPECT_EQ(rule.ForFile("BLANK", true), TileState::Blank);
    EXPECT_EQ(rule.ForFile("PNG DATA", true), TileState::Stored);
    EXPECT_EQ(rule.ForMissingFile("os_1_2_3.png"), TileState::Failed);
    EXPECT_EQ(rule.ForMissingFile("os_4_5_3.png"), TileState::Failed);
    EXPECT_EQ(rule.ForMissingFile("os_9_9_3.png"), TileState::Missing);
    EXPECT_TRUE(ReadFailedTileNames(example.folder.File("absent.ftl")).isEmpty());

    const TileStateRule noBlank(QByteArray(), {});
    EXPECT_EQ(noBlank.ForFile(QByteArray(), true), TileState::Stored);
}

// A project file has a small fixed shape: a huge one is refused by its size,
// not read whole first (a sparse gigabyte here).
TEST(OpenTaskReadOnly, RefusesAHugeFileWithoutReadingIt)
{
    ExampleTask example;
    const QString projectFile = WriteExampleProject(example);
    ASSERT_TRUE(QFile(projectFile).resize(qint64(1) << 30));
    EXPECT_EQ(RefusalOf(projectFile),
        "Cannot open the task " + projectFile + ": it is too large for a project file (1,073,741,824 bytes).");
    EXPECT_THROW(CheckProjectFileReadable(projectFile), AppError);
}
