#include "platform/app_error.h"
#include "support/temp_folder.h"
#include "task/start_check.h"

#include <gtest/gtest.h>

namespace {
// The questions a check asked, and the answer it got.
struct Asked {
    QList<QPair<qint64, int>> Questions;
    bool Answer = true;

    LargeTaskConfirmation Confirm()
    {
        return [this](qint64 tiles, int zoom) {
            Questions.append({tiles, zoom});
            return Answer;
        };
    }
};

TileServers OwnServer()
{
    TileServers servers;
    servers.Mapnik = QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png");
    return servers;
}

// The messages of the refusal the check raises; nothing when it lets the start go on.
std::optional<QStringList> RefusalOf(const QList<TaskInputs>& members, const TileServers& servers, Asked& asked)
{
    try {
        CheckStart(ReadCheckedInputs(members), servers, asked.Confirm());
        return std::nullopt;
    } catch (const Refusal& refusal) {
        return refusal.Messages();
    }
}
}

TEST(StartCheck, ASingleTaskNeedsAFolderAndIsAskedAboutOnlyAboveTheThresholds)
{
    TempFolder folder;
    Asked asked;
    TaskInputs small{"10", "10.01", "10", "9.99", 12, MAPNIK, folder.Path(), "t"};
    EXPECT_EQ(RefusalOf({small}, OwnServer(), asked), std::nullopt);
    EXPECT_TRUE(asked.Questions.isEmpty());

    TaskInputs noFolder = small;
    noFolder.TypedFolder.clear();
    EXPECT_EQ(RefusalOf({noFolder}, OwnServer(), asked), QStringList{"Please select a path to save the images."});

    // Above the zoom control's top: asked with the tile count and the zoom.
    TaskInputs deep = small;
    deep.Zoom = 19;
    asked.Answer = false;
    EXPECT_EQ(RefusalOf({deep}, OwnServer(), asked), QStringList{}) << "declined: a refusal without a message";
    ASSERT_EQ(asked.Questions.size(), 1);
    EXPECT_EQ(asked.Questions[0].second, 19);
    EXPECT_EQ(asked.Questions[0].first, *AcceptedTileCount(ReadCheckedInputs(deep), OwnServer()));
    asked.Answer = true;
    EXPECT_EQ(RefusalOf({deep}, OwnServer(), asked), std::nullopt);

    // A task the tile usage policy refuses is not asked about: preparing it refuses it.
    asked.Questions.clear();
    TaskInputs wide = deep;
    wide.RightLongitude = "10.1";
    EXPECT_EQ(RefusalOf({wide}, TileServers{}, asked), std::nullopt);
    EXPECT_TRUE(asked.Questions.isEmpty());
}

TEST(StartCheck, ASeriesIsCheckedAndAskedAboutAsAWhole)
{
    TempFolder folder;
    Asked asked;
    const TaskInputs inputs{"10", "100", "10", "-10", 3, MAPNIK, folder.Path(), "alps"};
    const QList<TaskInputs> members = SeriesMemberInputs(inputs, 5);
    ASSERT_EQ(members.size(), 3);
    EXPECT_EQ(RefusalOf(members, OwnServer(), asked), std::nullopt);

    TaskInputs badArea = inputs;
    badArea.RightLongitude = "east";
    EXPECT_EQ(RefusalOf(SeriesMemberInputs(badArea, 5), OwnServer(), asked),
        QStringList{"Longitude or latitude input error!"});

    // 6 + 10 + 18 tiles in all, each level within the policy's limit alone.
    const QList<TaskInputs> wide = SeriesMemberInputs(TaskInputs{"10", "100", "10", "-10", 3, MAPNIK,
        folder.Path(), "alps"}, 7);
    const auto refused = RefusalOf(wide, TileServers{}, asked);
    ASSERT_TRUE(refused && refused->size() == 1);
    EXPECT_TRUE(refused->first().contains("may hold at most 250 tiles")) << refused->first().toStdString();

    folder.Write("alps_z4.qtsk", "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongitude=11\r\nRightLongitude=100\r\n"
                                 "TopLatitude=10\r\nBottomLatitude=-10\r\n[Zoom]\r\nZoom=4\r\n");
    EXPECT_EQ(RefusalOf(members, OwnServer(), asked),
        QStringList{"alps_z4.qtsk belongs to another area; choose another task name"});
    EXPECT_TRUE(asked.Questions.isEmpty());

    // Deep levels: one question about the tiles of every level, with the highest zoom.
    QFile::remove(folder.File("alps_z4.qtsk"));
    const QList<TaskInputs> deep =
        SeriesMemberInputs(TaskInputs{"10", "10.001", "10", "9.999", 18, MAPNIK, folder.Path(), "pin"}, 20);
    qint64 tiles = 0;
    for (const TaskInputs& member : deep)
        tiles += *TileCountBeforePolicy(ReadCheckedInputs(member), OwnServer());
    asked.Answer = false;
    EXPECT_EQ(RefusalOf(deep, OwnServer(), asked), QStringList{});
    EXPECT_EQ(asked.Questions, (QList<QPair<qint64, int>>{{tiles, 20}}));
}

TEST(StartCheck, ATaskNameIsOneFileNameWithoutControlCharactersOrBar)
{
    TempFolder folder;
    Asked asked;
    for (const QString name : {"../escape.qtsk", "sub/alps", "/abs", ".", "..", "line\nbreak", "bar|name", "nul\x01"}) {
        const TaskInputs inputs{"10", "100", "10", "-10", 4, MAPNIK, folder.Path(), name};
        const auto single = RefusalOf({inputs}, OwnServer(), asked);
        ASSERT_TRUE(single && single->size() == 1) << name.toStdString();
        EXPECT_TRUE(single->first().startsWith("The task name ")) << single->first().toStdString();
        EXPECT_FALSE(single->first().contains(u'\n')) << "one line";
        // A series' members are named NAME_zZ.qtsk: "._z4.qtsk" is a file name.
        const auto series = RefusalOf(SeriesMemberInputs(inputs, 5), OwnServer(), asked);
        EXPECT_EQ(series.has_value(), name != "." && name != "..") << name.toStdString();
    }
    EXPECT_EQ(RefusalOf({{"10", "100", "10", "-10", 4, MAPNIK, folder.Path(), "a.b c-d_e.qtsk"}}, OwnServer(), asked),
        std::nullopt);
}

TEST(StartCheck, ASingleTasksNameHeldByAnotherAreaIsRefused)
{
    TempFolder folder;
    Asked asked;
    folder.Write("alps.qtsk", "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongitude=11\r\nRightLongitude=100\r\n"
                              "TopLatitude=10\r\nBottomLatitude=-10\r\n[Zoom]\r\nZoom=4\r\n");
    const TaskInputs inputs{"10", "100", "10", "-10", 4, MAPNIK, folder.Path(), "alps"};
    EXPECT_EQ(RefusalOf({inputs}, OwnServer(), asked),
        QStringList{"alps.qtsk belongs to another area; choose another task name"});
    TaskInputs same = inputs;
    same.LeftLongitude = "11.0";
    same.Zoom = 5;
    EXPECT_EQ(RefusalOf({same}, OwnServer(), asked), std::nullopt) << "the same area, typed otherwise, at another zoom is a new task";
}

// The world at zoom 16 holds 2^32 tiles: the series is refused with that
// member's message, and nobody is asked about the rest.
TEST(StartCheck, ASeriesWithAMemberThatCannotRunIsRefusedWhole)
{
    TempFolder folder;
    Asked asked;
    const TaskInputs world{"-180", "180", "85", "-85", 10, MAPNIK, folder.Path(), "world"};
    const auto refused = RefusalOf(SeriesMemberInputs(world, 16), OwnServer(), asked);
    ASSERT_TRUE(refused && refused->size() == 1);
    EXPECT_TRUE(refused->first().contains("tiles at zoom level 16, more than one task can download"))
        << refused->first().toStdString();
    EXPECT_TRUE(asked.Questions.isEmpty());

    asked.Answer = false;
    qint64 tiles = 0;
    for (const TaskInputs& member : SeriesMemberInputs(world, 15))
        tiles += *TileCountBeforePolicy(ReadCheckedInputs(member), OwnServer());
    EXPECT_EQ(RefusalOf(SeriesMemberInputs(world, 15), OwnServer(), asked), QStringList{});
    EXPECT_EQ(asked.Questions, (QList<QPair<qint64, int>>{{tiles, 15}})) << "every member counted";
}
