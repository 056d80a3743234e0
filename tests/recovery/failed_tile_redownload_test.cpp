#include "platform/app_error.h"
#include "recovery/failed_tile_redownload.h"
#include "support/loopback_http_server.h"
#include "support/temp_folder.h"
#include "task/map_type.h"

#include <QFileInfo>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {
TileServers Identity()
{
    TileServers servers;
    servers.HomePage = "http://tiles.example.test/";
    servers.UserAgent = "Tessaly/5.52";
    return servers;
}

const QString kBan = QStringLiteral("Error: may be your IP is banned.\nPlease try again later.");

class FailedTileRedownloadTest : public testing::Test {
protected:
    void SetUp() override { InitializeHttp(); }

    QString Address(int n) const { return server.BaseUrl() + "/4/" + QString::number(n) + "/5.png"; }
    QString Tile(int n) const { return folder.File("os_" + QString::number(n) + "_5_4.png"); }
    QString Line(int n) const { return Tile(n) + "|" + Address(n); }
    QString Ok(int n) const { return Tile(n) + ":" + Address(n) + " ->OK"; }

    QStringList Run(const QStringList& lines, int maxResetRepeats = FailedTileRedownload::kMaxResetRepeats)
    {
        QStringList log;
        FailedTileRedownload run(RedownloadClientSettings(Identity()),
            [&](const QString& line) { log << line; }, maxResetRepeats);
        run.Run(lines, folder.Path());
        return log;
    }

    LoopbackHttpServer server;
    TempFolder folder;
};
}

TEST(FailedTileLine, SplitsAtTheFirstBarOnlyAndTrimsNothing)
{
    const FailedTileLine record = SplitFailedTileLine(" /t/a b.png |http://h/x?a=1|b=2 ");
    EXPECT_EQ(record.FileName, " /t/a b.png ");
    EXPECT_EQ(record.Address, "http://h/x?a=1|b=2 ");
    const FailedTileLine noBar = SplitFailedTileLine("http://h/x");
    EXPECT_EQ(noBar.FileName, "");
    EXPECT_EQ(noBar.Address, "http://h/x");
}

TEST_F(FailedTileRedownloadTest, EmptyListGivesOneLineAndNoRequest)
{
    EXPECT_EQ(Run({}), QStringList{"No failed files records."});
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(FailedTileRedownloadTest, FetchedTilesReplaceTheirFilesOverOneConnection)
{
    folder.Write("os_1_5_4.png", "old tile");
    server.Script({ScriptedReply::Ok("first"), ScriptedReply::Ok("second")});
    EXPECT_EQ(Run({Line(1), Line(2)}), QStringList({"Start...", Ok(1), Ok(2), "Download End."}));
    EXPECT_EQ(folder.Read("os_1_5_4.png"), "first");
    EXPECT_EQ(folder.Read("os_2_5_4.png"), "second");
    EXPECT_EQ(server.ConnectionsAccepted(), 1);
}

TEST_F(FailedTileRedownloadTest, RequestsGoStraightToTheServerWithTheWorkersIdentityAndNoCookie)
{
    Run({Line(1)});
    ASSERT_EQ(server.RequestCount(), 1);
    using testing::Contains;
    using testing::StartsWith;
    const std::vector<std::string> head = HeadLines(server.RequestHeads().front());
    ASSERT_FALSE(head.empty());
    EXPECT_EQ(head.front(), "GET /4/1/5.png HTTP/1.1");
    EXPECT_THAT(head, Contains("Referer: http://tiles.example.test/"));
    EXPECT_THAT(head, Contains("User-Agent: Tessaly/5.52"));
    EXPECT_THAT(head, Contains("Connection: Keep_Alive"));
    EXPECT_THAT(head, testing::Not(Contains(StartsWith("Cookie"))));
    EXPECT_THAT(head, testing::Not(Contains(StartsWith("Proxy"))));
}

TEST_F(FailedTileRedownloadTest, NotFoundAddsTwoLinesAndTheRunGoesOn)
{
    server.Script({ScriptedReply::Status("HTTP/1.1 404 Not Found"), ScriptedReply::Status("HTTP/1.1 500 Oops"),
        ScriptedReply::Ok("third")});
    EXPECT_EQ(Run({Line(1), Line(2), Line(3)}),
        QStringList({"Start...", "HTTP/1.1 404 Not Found->" + Address(1),
            Address(1) + ":Error: the image is not found on server.", "HTTP/1.1 500 Oops->" + Address(2), Ok(3),
            "Download End."}));
    EXPECT_FALSE(QFile::exists(Tile(1)));
    EXPECT_FALSE(QFile::exists(Tile(2)));
}

TEST_F(FailedTileRedownloadTest, BanEndsTheRunBeforeTheRemainingLines)
{
    for (const QByteArray status : {"HTTP/1.1 403 Forbidden", "HTTP/1.1 302 Found"}) {
        LoopbackHttpServer banning;
        banning.Script({ScriptedReply::Ok("one"), ScriptedReply::Status(status)});
        const QString second = banning.BaseUrl() + "/b";
        const QStringList lines = {folder.File("a.png") + "|" + banning.BaseUrl() + "/a",
            folder.File("b.png") + "|" + second, folder.File("c.png") + "|" + banning.BaseUrl() + "/c",
            folder.File("d.png") + "|" + banning.BaseUrl() + "/d"};
        const QStringList log = Run(lines);
        EXPECT_EQ(log.mid(log.size() - 3), QStringList({QString::fromLatin1(status) + "->" + second, kBan, "Download End."}));
        EXPECT_EQ(banning.RequestCount(), 2);
    }
}

TEST_F(FailedTileRedownloadTest, TestsApplyInOrderResetBeforeBanBeforeNotFound)
{
    // A status line holding both numbers is a ban, not a missing tile.
    server.Script({ScriptedReply::Status("HTTP/1.1 404 403")});
    EXPECT_EQ(Run({Line(1), Line(2)}), QStringList({"Start...", "HTTP/1.1 404 403->" + Address(1), kBan, "Download End."}));

    // A text with the reset number is asked again, whatever else it holds.
    server.Script({ScriptedReply::Status("HTTP/1.1 403 10054"), ScriptedReply::Ok("tile")});
    EXPECT_EQ(Run({Line(3)}), QStringList({"Start...", Ok(3), "Download End."}));
    EXPECT_EQ(folder.Read("os_3_5_4.png"), "tile");
}

TEST_F(FailedTileRedownloadTest, ResetIsRepeatedAndTheFileHoldsOneWholeAnswer)
{
    server.Script({ScriptedReply::Reset(), ScriptedReply::CloseMidBody(10, 4)});
    server.Script({ScriptedReply::Reset(), ScriptedReply::Ok("whole")});
    const QStringList log = Run({Line(1), Line(2)});
    ASSERT_EQ(log.size(), 4);
    EXPECT_TRUE(log[1].endsWith("->" + Address(1))) << log[1].toStdString();  // cut-off body: a plain failure
    EXPECT_EQ(log[2], Ok(2));
    EXPECT_FALSE(QFile::exists(Tile(1)));
    EXPECT_EQ(folder.Read("os_2_5_4.png"), "whole");
}

TEST_F(FailedTileRedownloadTest, RepeatsAfterResetAreBounded)
{
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Status("HTTP/1.1 503 10054"); });
    const QStringList log = Run({Line(1), Line(2)}, 3);
    EXPECT_EQ(log, QStringList({"Start...", "HTTP/1.1 503 10054->" + Address(1), "HTTP/1.1 503 10054->" + Address(2),
        "Download End."}));
    EXPECT_EQ(server.RequestCount(), 8);
}

TEST_F(FailedTileRedownloadTest, LinesThatNameNoTileImageAreSkipped)
{
    const QStringList log = Run({"no bar here", "|" + Address(1), folder.File("notes.txt") + "|" + Address(2),
        folder.File("list.ftl") + "|" + Address(3), Line(4)});
    EXPECT_EQ(log, QStringList({"Start...", "Skipped, no file name: no bar here", "Skipped, no file name: |" + Address(1),
        "Skipped, not a .png tile file: " + folder.File("notes.txt"),
        "Skipped, not a .png tile file: " + folder.File("list.ftl"), Ok(4), "Download End."}));
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(FailedTileRedownloadTest, UnwritableTileEndsTheRunWithTheFileError)
{
    const QString missing = folder.File("gone/os_1_5_4.png");
    QStringList log;
    FailedTileRedownload run(RedownloadClientSettings(Identity()), [&](const QString& line) { log << line; });
    try {
        run.Run({missing + "|" + Address(1), Line(2)}, folder.Path());
        FAIL() << "no error";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + missing + ": No such file or directory");
    }
    EXPECT_EQ(log, QStringList{"Start..."});
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(FailedTileRedownloadTest, StopEndsTheRunBeforeTheNextLine)
{
    QStringList log;
    FailedTileRedownload* running = nullptr;
    FailedTileRedownload run(RedownloadClientSettings(Identity()), [&](const QString& line) {
        log << line;
        if (line.endsWith(" ->OK"))
            running->RequestStop();
    });
    running = &run;
    run.Run({Line(1), Line(2)}, folder.Path());
    EXPECT_EQ(log, QStringList({"Start...", Ok(1), "Stopped by the user.", "Download End."}));
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(FailedTileRedownloadTest, LinesMayWriteOnlyPlainTileFilesInsideTheListsFolderAndNeverThroughALink)
{
    TempFolder elsewhere;
    elsewhere.Write("victim.png", "theirs");
    elsewhere.Write("notes.txt", "theirs");
    QDir(folder.Path()).mkpath("area");
    folder.Write("target.txt", "mine");
    ASSERT_TRUE(QFile::link(folder.File("target.txt"), folder.File("link.png")));
    ASSERT_TRUE(QFile::link(elsewhere.Path(), folder.File("linked")));
    const QString escaping = folder.File("area/../../x.png");
    const QStringList log = Run({"../x.png|" + Address(1), escaping + "|" + Address(2),
        elsewhere.File("victim.png") + "|" + Address(3), folder.File("link.png") + "|" + Address(4),
        folder.File("linked/victim.png") + "|" + Address(5), folder.File("area/x.png/..") + "|" + Address(6),
        "D:\\maps\\os_1_5_4.png|" + Address(8), "area/../area/./os_7_5_4.png|" + Address(7)});

    EXPECT_EQ(log, QStringList({"Start...", "Skipped, outside the folder of the list: ../x.png",
        "Skipped, outside the folder of the list: " + escaping,
        "Skipped, outside the folder of the list: " + elsewhere.File("victim.png"),
        "Skipped, a symbolic link: " + folder.File("link.png"),
        "Skipped, outside the folder of the list: " + folder.File("linked/victim.png"),
        "Skipped, not a .png tile file: " + folder.File("area/x.png/.."),
        "Skipped, not a .png tile file: D:\\maps\\os_1_5_4.png",
        "area/../area/./os_7_5_4.png:" + Address(7) + " ->OK", "Download End."}));
    EXPECT_EQ(server.RequestCount(), 1);
    EXPECT_EQ(folder.Read("area/os_7_5_4.png"), "tile");  // a relative name counts from the list's folder
    EXPECT_EQ(elsewhere.Read("victim.png"), "theirs");
    EXPECT_EQ(folder.Read("target.txt"), "mine");
    EXPECT_TRUE(QFileInfo(folder.File("link.png")).isSymLink());
    EXPECT_FALSE(QFile::exists(QDir(folder.Path()).absoluteFilePath("../x.png")));
}

TEST_F(FailedTileRedownloadTest, AfterTheFirstFewSkipsOfAKindOneLineCountsTheRest)
{
    QStringList lines(1000, QStringLiteral("no bar"));
    for (int i = 0; i < 8; ++i)
        lines << folder.File(QString::number(i) + ".txt") + "|" + Address(i);
    const QStringList log = Run(lines + QStringList{Line(1)});

    QStringList expected{"Start..."};
    for (int i = 0; i < FailedTileRedownload::kSkipsShownPerKind; ++i)
        expected << "Skipped, no file name: no bar";
    for (int i = 0; i < FailedTileRedownload::kSkipsShownPerKind; ++i)
        expected << "Skipped, not a .png tile file: " + folder.File(QString::number(i) + ".txt");
    expected << Ok(1) << "Skipped, no file name: 995 more lines." << "Skipped, not a .png tile file: 3 more lines."
             << "Download End.";
    EXPECT_EQ(log, expected);
}

// A link put at the tile's name after the line was checked, while the tile
// is on its way, is replaced by the tile: the file it points at keeps its bytes.
TEST_F(FailedTileRedownloadTest, ALinkRacedInAfterTheCheckIsNeverWrittenThrough)
{
    folder.Write("victim.txt", "victim");
    server.SetResponder([this](const QByteArray&) {
        QFile::link(folder.File("victim.txt"), Tile(1));
        return ScriptedReply::Ok("tile");
    });
    EXPECT_EQ(Run({Line(1)}), QStringList({"Start...", Ok(1), "Download End."}));
    EXPECT_EQ(folder.Read("victim.txt"), "victim");
    EXPECT_FALSE(QFileInfo(Tile(1)).isSymLink());
    EXPECT_EQ(folder.Read("os_1_5_4.png"), "tile");
}

// A list is read a line at a time: lines far longer than any real one (a
// list without line breaks) are skipped without being held, and the lines
// around them still run.
TEST_F(FailedTileRedownloadTest, ListsAreReadAsAStreamAndOverlongLinesAreSkipped)
{
    const QByteArray longLine(kMaxFailedListLineBytes + 1, 'x');
    folder.Write("big.ftl", Line(1).toLocal8Bit() + "\r\n" + longLine + "\n" + QByteArray(3 << 20, 'y') + "\r"
        + Line(2).toLocal8Bit() + "\n");
    QStringList log;
    FailedTileRedownload run(RedownloadClientSettings(Identity()), [&](const QString& line) { log << line; });
    run.RunFile(folder.File("big.ftl"));
    const QString skipped = "Skipped, a line longer than 65536 bytes: ";
    EXPECT_EQ(log, QStringList({"Start...", Ok(1), skipped + QString(80, u'x') + "...",
        skipped + QString(80, u'y') + "...", Ok(2), "Download End."}));
    EXPECT_THROW(run.RunFile(folder.File("none.ftl")), AppError);
}

// A folder on the way swapped for a link after the line was checked leads
// the write nowhere else: the tile is not written and the run says why.
TEST_F(FailedTileRedownloadTest, AFolderSwappedForALinkAfterTheCheckLeadsNowhere)
{
    QDir(folder.Path()).mkdir("images");
    QDir(folder.Path()).mkdir("elsewhere");
    server.SetResponder([this](const QByteArray&) {
        QDir(folder.File("images")).removeRecursively();
        QFile::link(folder.File("elsewhere"), folder.File("images"));
        return ScriptedReply::Ok("tile");
    });
    const QString tile = folder.File("images/os_1_5_4.png");
    EXPECT_THROW(Run({tile + "|" + Address(1)}), FileWriteError);
    EXPECT_TRUE(QDir(folder.File("elsewhere")).isEmpty());
}
