#include "platform/text_files.h"
#include "run/series_run.h"
#include "run/task_run.h"
#include "task/download_task.h"
#include "task/tile_validators.h"
#include "support/gate.h"
#include "support/loopback_http_server.h"
#include "support/loopback_program_folder.h"
#include "support/requested_paths.h"
#include "support/run_until.h"
#include "support/temp_folder.h"
#include "support/validating_tile_server.h"

#include <QDateTime>
#include <QDir>
#include <QSet>
#include <gtest/gtest.h>
#include <optional>

// A task downloaded from a server with validators, then refreshed by the
// runner against the same server.
class TaskRefreshTest : public testing::Test {
protected:
    TaskRefreshTest()
    {
        run.SetPauseFunction([](int) {});
        run.SetMonitorInterval(10);
        QObject::connect(&series, &SeriesRunner::Ended, [this](const SeriesOutcome& outcome) { end = outcome; });
        QObject::connect(&series, &SeriesRunner::Refused, [this](const QStringList& messages) { refusals << messages; });
    }

    // Zoom 7 over 10..100 E, 10 N..10 S: 33 x 8 = 264 tiles; with `zoomTo`, a series.
    QList<TaskInputs> Task(int zoom = 7, std::optional<int> zoomTo = std::nullopt) const
    {
        return SeriesMemberInputs(
            {"10", "100", "10", "-10", zoom, MAPNIK, work.Path(), "trails.qtsk"}, zoomTo.value_or(zoom));
    }

    bool RunToEnd(const QList<TaskInputs>& members, const std::optional<RefreshSelection>& refresh = std::nullopt)
    {
        end.reset();
        series.SetRefresh(refresh);
        series.RunInTurn(members);
        return RunEventsUntil([this] { return end.has_value(); });
    }

    static RefreshSelection Select(RefreshSelection::Choice which, qint64 olderThan = 0, qint64 later = 0)
    {
        return {which, olderThan, QDateTime::currentSecsSinceEpoch() + later};
    }

    // A tile of the single task "trails".
    QString TileFile(int zoom, int x, int y) const
    {
        return work.File(QStringLiteral("trails/os_%1_%2_%3.png").arg(x).arg(y).arg(zoom));
    }

    QStringList PathsSince(int requests) const { return RequestedPaths(server).mid(requests); }

    LoopbackHttpServer server;
    ValidatingTiles tiles{server};
    LoopbackProgramFolder program{server};
    TempFolder work;
    Gate afterTile{true};  // outlives the workers that wait at it
    TaskRun run;
    SeriesRunner series{run};
    QStringList refusals;
    std::optional<SeriesOutcome> end;
};

TEST_F(TaskRefreshTest, ChangedTilesAreReplacedAndEveryOtherTileCostsOneNotModified)
{
    tiles.SetMaxAge(0);  // without it, a tile last modified long ago stays fresh for a day
    ASSERT_TRUE(RunToEnd(Task()));
    ASSERT_EQ(end->Stored, 264);
    EXPECT_EQ(ReadTileValidators(work.File("trails_validators.txt")).size(), 264);

    const QStringList changed{"/7/67/60.png", "/7/70/61.png", "/7/75/62.png", "/7/80/63.png", "/7/85/64.png",
        "/7/90/65.png", "/7/95/66.png", "/7/99/67.png", "/7/67/67.png", "/7/99/60.png"};
    for (const QString& path : changed)
        tiles.Change(path);
    const int before = server.RequestCount();
    ASSERT_TRUE(RunToEnd(Task(), Select(RefreshSelection::Choice::NoLongerFresh)));

    const QStringList asked = PathsSince(before);
    EXPECT_EQ(asked.size(), 264);
    EXPECT_EQ(QSet<QString>(asked.begin(), asked.end()).size(), 264) << "one request per tile";
    for (const QByteArray& head : server.RequestHeads().mid(before))
        EXPECT_TRUE(head.contains("\r\nIf-None-Match: \"v1\"\r\n")) << head.toStdString();
    EXPECT_EQ(tiles.NotModifiedReplies(), 254);
    for (const QString& path : changed) {
        const QStringList parts = path.split(u'/');
        const QString file = TileFile(7, parts[2].toInt(), parts[3].chopped(4).toInt());
        QFile tile(file);
        ASSERT_TRUE(tile.open(QIODevice::ReadOnly)) << file.toStdString();
        EXPECT_EQ(tile.readAll(), tiles.BodyOf(path));
    }
    QFile unchanged(TileFile(7, 68, 60));
    ASSERT_TRUE(unchanged.open(QIODevice::ReadOnly));
    EXPECT_EQ(unchanged.readAll(), "tile /7/68/60.png");

    ASSERT_TRUE(end->Refresh);
    EXPECT_EQ(end->Refresh->Unchanged, 254);
    EXPECT_EQ(end->Refresh->Changed, 10);
    EXPECT_EQ(end->Refresh->Gone, 0);
    EXPECT_EQ(end->Refresh->NotAsked, 0);
    EXPECT_EQ(end->Failed, 0);
    EXPECT_LT(end->Refresh->BytesReceived, end->Refresh->FullDownloadBytes);
    const QString log = QString::fromLocal8Bit(work.Read("trails_log.txt"));
    EXPECT_TRUE(log.contains("Refreshing the tiles that are no longer fresh...\r\n"));
    EXPECT_TRUE(log.contains("Refresh: 254 unchanged, 10 changed, 0 gone, 0 failed, 0 not asked (still fresh); "));

    // The changed tiles' new validators were kept: a refresh of every tile
    // asks for them with their new ETag.
    const int second = server.RequestCount();
    ASSERT_TRUE(RunToEnd(Task(), Select(RefreshSelection::Choice::All)));
    int newTags = 0;
    for (const QByteArray& head : server.RequestHeads().mid(second))
        newTags += head.contains("If-None-Match: \"v2\"") ? 1 : 0;
    EXPECT_EQ(newTags, 10);
    EXPECT_EQ(end->Refresh->Unchanged, 264);

    // Two refreshes appended a record per tile each: the third starts from
    // one record per tile, the last of each.
    ASSERT_TRUE(RunToEnd(Task(), Select(RefreshSelection::Choice::All)));
    qint64 records = 0;
    const TileValidatorTable table = ReadTileValidators(work.File("trails_validators.txt"), &records);
    EXPECT_EQ(records, 2 * 264) << "compacted, then one refresh appended";
    EXPECT_EQ(table.value(TileValidatorKey(67, 60)).ETag, "\"v2\"");
}

TEST_F(TaskRefreshTest, WhichTilesAreAskedFollowsFreshnessAgeOrAll)
{
    tiles.SetMaxAge(3600);
    ASSERT_TRUE(RunToEnd(Task(3, 4)));  // a series: 6 + 10 tiles
    int before = server.RequestCount();

    ASSERT_TRUE(RunToEnd(Task(3, 4), Select(RefreshSelection::Choice::NoLongerFresh)));
    EXPECT_EQ(server.RequestCount(), before) << "every tile is fresh for an hour";
    EXPECT_EQ(end->Refresh->NotAsked, 16);
    EXPECT_EQ(end->Stored, 16) << "no tile counts as missing";

    ASSERT_TRUE(RunToEnd(Task(3, 4), Select(RefreshSelection::Choice::FetchedBefore, 12 * 3600)));
    EXPECT_EQ(server.RequestCount(), before) << "fetched less than 12 h ago";

    // Two hours on, the server's hour has passed, and the tiles are older than one hour.
    ASSERT_TRUE(RunToEnd(Task(3, 4), Select(RefreshSelection::Choice::FetchedBefore, 3600, 2 * 3600)));
    EXPECT_EQ(server.RequestCount() - before, 16);
    EXPECT_EQ(end->Refresh->Unchanged, 16);
    before = server.RequestCount();
    ASSERT_TRUE(RunToEnd(Task(3, 4), Select(RefreshSelection::Choice::NoLongerFresh, 0, 2 * 3600)));
    EXPECT_EQ(server.RequestCount() - before, 16);

    before = server.RequestCount();
    ASSERT_TRUE(RunToEnd(Task(3, 4), Select(RefreshSelection::Choice::All)));
    EXPECT_EQ(server.RequestCount() - before, 16);
    EXPECT_EQ(end->Refresh->Unchanged, 16);
}

TEST_F(TaskRefreshTest, ServerErrorsAndMissingTilesKeepTheOldFiles)
{
    tiles.SetMaxAge(0);
    ASSERT_TRUE(RunToEnd(Task(4)));  // 10 tiles
    tiles.AnswerWith("/4/8/7.png", "HTTP/1.1 500 Internal Server Error");
    tiles.AnswerWith("/4/9/7.png", "HTTP/1.1 404 Not Found");
    tiles.AnswerWith("/4/10/7.png", "HTTP/1.1 410 Gone");
    tiles.Change("/4/11/7.png");
    ASSERT_TRUE(RunToEnd(Task(4), Select(RefreshSelection::Choice::NoLongerFresh)));

    for (const int x : {8, 9, 10}) {
        QFile tile(TileFile(4, x, 7));
        ASSERT_TRUE(tile.open(QIODevice::ReadOnly));
        EXPECT_EQ(tile.readAll(), QStringLiteral("tile /4/%1/7.png").arg(x).toLatin1());
    }
    EXPECT_EQ(end->Refresh->Gone, 2);
    EXPECT_EQ(end->Refresh->Changed, 1);
    EXPECT_EQ(end->Refresh->Unchanged, 6);
    EXPECT_EQ(end->Failed, 1);
    const QStringList failed = ReadTextLines(work.File("trails_failed.ftl"));
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed.first().endsWith("/4/8/7.png"));
    EXPECT_FALSE(QDir(work.File("trails")).entryList(QDir::Files).join(u' ').contains(".part"));
}

TEST_F(TaskRefreshTest, TaskWithoutValidatorsAsksWithTheFilesTimesAndNeverStoredTilesAreFetched)
{
    tiles.AnswerWith("/4/12/8.png", "HTTP/1.1 404 Not Found");
    ASSERT_TRUE(RunToEnd(Task(4)));
    ASSERT_TRUE(QFile::remove(work.File("trails_validators.txt")));
    ASSERT_TRUE(QFile::remove(TileFile(4, 12, 7)));
    tiles.Change("/4/8/7.png");
    tiles.Change("/4/12/8.png");  // now there, where the blank image stood

    const int before = server.RequestCount();
    ASSERT_TRUE(RunToEnd(Task(4), Select(RefreshSelection::Choice::NoLongerFresh)));
    const QList<QByteArray> heads = server.RequestHeads().mid(before);
    ASSERT_EQ(heads.size(), 10);
    for (const QByteArray& head : heads) {
        const bool plain = head.startsWith("GET /4/12/7.png ") || head.startsWith("GET /4/12/8.png ");
        EXPECT_EQ(head.contains("If-Modified-Since: "), !plain) << head.toStdString();
        EXPECT_FALSE(head.contains("If-None-Match")) << head.toStdString();
    }
    EXPECT_EQ(end->Refresh->Unchanged, 7);
    EXPECT_EQ(end->Refresh->Changed, 3);
    for (const auto& [x, y] : {std::pair{8, 7}, {12, 7}, {12, 8}}) {
        QFile tile(TileFile(4, x, y));
        ASSERT_TRUE(tile.open(QIODevice::ReadOnly));
        EXPECT_EQ(tile.readAll(), tiles.BodyOf(QStringLiteral("/4/%1/%2.png").arg(x).arg(y)));
    }
    EXPECT_EQ(ReadTileValidators(work.File("trails_validators.txt")).size(), 10) << "every tile has validators now";
}

TEST_F(TaskRefreshTest, StoppedRefreshGoesOnWithTheTilesNotYetRenewed)
{
    ASSERT_TRUE(RunToEnd(Task(4)));
    // The tiles were fetched two days ago.
    const qint64 twoDaysAgo = QDateTime::currentSecsSinceEpoch() - 2 * 86400;
    QByteArray aged;
    const TileValidatorTable table = ReadTileValidators(work.File("trails_validators.txt"));
    for (auto tile = table.begin(); tile != table.end(); ++tile) {
        TileValidators validators = tile.value();
        validators.FetchedAt = twoDaysAgo;
        aged += TileValidatorsRecord(int(tile.key() >> 32), int(quint32(tile.key())), validators) + '\n';
    }
    work.Write("trails_validators.txt", aged);

    // Every worker holds after its first tile until the refresh is stopped.
    afterTile = false;
    run.SetPauseFunction([this](int milliseconds) {
        if (milliseconds == 1000)
            afterTile.WaitUntilOpen();
    });
    const int before = server.RequestCount();
    end.reset();
    series.SetRefresh(Select(RefreshSelection::Choice::FetchedBefore, 86400));
    series.RunInTurn(Task(4));
    ASSERT_TRUE(RunEventsUntil([this] { return afterTile.Waiting() == 8; }));
    series.Stop();
    afterTile = true;
    ASSERT_TRUE(RunEventsUntil([this] { return end.has_value(); }));
    EXPECT_TRUE(end->Stopped);
    EXPECT_EQ(server.RequestCount() - before, 8);

    // The second asks only for the two the first did not renew.
    run.SetPauseFunction([](int) {});
    ASSERT_TRUE(RunToEnd(Task(4), Select(RefreshSelection::Choice::FetchedBefore, 86400)));
    EXPECT_EQ(end->Refresh->NotAsked, 8);
    EXPECT_EQ(end->Refresh->Unchanged, 2);
    EXPECT_EQ(server.RequestCount() - before, 10);
}

TEST_F(TaskRefreshTest, TaskNeverDownloadedIsRefused)
{
    ASSERT_TRUE(RunToEnd(Task(4), Select(RefreshSelection::Choice::NoLongerFresh)));
    EXPECT_TRUE(end->Refused);
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_EQ(refusals.first(), "Nothing to refresh: " + work.File("trails.qtsk") + " has not been downloaded with these inputs.");
    EXPECT_EQ(server.RequestCount(), 0);
}
