#include "cli/command_line.h"
#include "cli/tessaly_command_fixture.h"
#include "support/run_until.h"
#include "support/validating_tile_server.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(CommandLineTest, RefreshReadsItsSelection)
{
    const Command plain = ParseCommandLine({"refresh", "a.qtsk", "b.qtsk"});
    ASSERT_TRUE(std::holds_alternative<RefreshCommand>(plain));
    EXPECT_EQ(std::get<RefreshCommand>(plain).TaskFiles, QStringList({"a.qtsk", "b.qtsk"}));
    EXPECT_FALSE(std::get<RefreshCommand>(plain).OlderThanSeconds);
    EXPECT_FALSE(std::get<RefreshCommand>(plain).All);
    const Command aged = ParseCommandLine({"refresh", "--older-than", "30d", "a.qtsk"});
    ASSERT_TRUE(std::holds_alternative<RefreshCommand>(aged));
    EXPECT_EQ(std::get<RefreshCommand>(aged).OlderThanSeconds, 30 * 86400);
    EXPECT_TRUE(std::get<RefreshCommand>(ParseCommandLine({"refresh", "a.qtsk", "--all"})).All);

    EXPECT_EQ(ReadAgeSeconds("12h"), 12 * 3600);
    EXPECT_EQ(ReadAgeSeconds("45m"), 45 * 60);
    EXPECT_EQ(ReadAgeSeconds("90s"), 90);
    for (const char* wrong : {"", "12", "h", "1.5d", "-1d", "3w"})
        EXPECT_FALSE(ReadAgeSeconds(wrong)) << wrong;
    const auto error = [](const QStringList& arguments) {
        return std::get<UsageError>(ParseCommandLine(arguments)).Message;
    };
    EXPECT_TRUE(error({"refresh"}).contains("a task file is needed"));
    EXPECT_TRUE(error({"refresh", "a.qtsk", "--older-than", "soon"}).contains("--older-than takes an age"));
    EXPECT_TRUE(error({"refresh", "a.qtsk", "--all", "--older-than", "1d"}).contains("exclude each other"));
}

// The program itself: a task of ten tiles downloaded, then refreshed.
class RefreshCommandTest : public TessalyCommandTest {
protected:
    RefreshCommandTest()
    {
        tiles.SetMaxAge(0);
        const Outcome downloaded = Run(NewTask("trails.qtsk") << "--run");
        EXPECT_EQ(downloaded.Status, 0) << downloaded.Err.toStdString();
    }

    QByteArray Tile(int x, int y) const { return work.Read(QStringLiteral("trails/os_%1_%2_4.png").arg(x).arg(y)); }

    ValidatingTiles tiles{server};
};

TEST_F(RefreshCommandTest, EndsWithItsCountsAndTheExitStatusOfARun)
{
    tiles.Change("/4/8/7.png");
    tiles.AnswerWith("/4/9/7.png", "HTTP/1.1 410 Gone");
    const Outcome refreshed = Run({"refresh", work.File("trails.qtsk")});
    EXPECT_EQ(refreshed.Status, 0) << refreshed.Err.toStdString();
    EXPECT_TRUE(refreshed.Err.contains(work.File("trails.qtsk") + ": Refresh: 8 unchanged, 1 changed, 1 gone, 0 failed, 0 not asked (still fresh); "))
        << refreshed.Err.toStdString();
    EXPECT_EQ(Tile(8, 7), tiles.BodyOf("/4/8/7.png"));
    EXPECT_EQ(Tile(9, 7), "tile /4/9/7.png");

    // Retried at once until the network counts as down.
    tiles.Reset("/4/10/7.png");
    EXPECT_EQ(Run({"refresh", work.File("trails.qtsk"), "--all"}).Status, 3);
    EXPECT_EQ(Tile(10, 7), "tile /4/10/7.png");

    const Outcome never = Run({"refresh", work.File("other.qtsk")});
    EXPECT_EQ(never.Status, 1);
}

TEST_F(RefreshCommandTest, KilledRefreshThenARefreshLeavesEveryTileWholeAndCurrent)
{
    for (const QString& path : {"/4/8/7.png", "/4/9/8.png", "/4/11/7.png"})
        tiles.Change(path);
    tiles.Stall("/4/12/8.png");
    const int before = server.RequestCount();
    QProcess refresh;
    Begin(refresh, {"refresh", work.File("trails.qtsk")});
    ASSERT_TRUE(RunEventsUntil([&] { return server.RequestCount() - before == 10; }));
    refresh.kill();
    ASSERT_TRUE(refresh.waitForFinished());

    tiles.Change("/4/12/8.png");
    const Outcome again = Run({"refresh", work.File("trails.qtsk")});
    EXPECT_EQ(again.Status, 0) << again.Err.toStdString();
    for (int x = 8; x <= 12; ++x)
        for (int y = 7; y <= 8; ++y)
            EXPECT_EQ(Tile(x, y), tiles.BodyOf(QStringLiteral("/4/%1/%2.png").arg(x).arg(y))) << x << ' ' << y;
}
