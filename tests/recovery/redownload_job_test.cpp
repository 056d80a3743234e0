#include "download/http_client.h"
#include "recovery/failed_tile_redownload.h"
#include "recovery/list_request_profile.h"
#include "recovery/redownload_job.h"
#include "support/loopback_http_server.h"
#include "support/run_until.h"
#include "support/temp_folder.h"
#include "platform/folders.h"
#include "task/configured_servers.h"
#include "task/map_type.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <optional>

namespace {
class RedownloadJobTest : public testing::Test {
protected:
    void SetUp() override { InitializeHttp(); }

    QString Tile(int n) const { return folder.File("os_" + QString::number(n) + "_5_4.png"); }
    QByteArray Line(int n, const QString& base) const
    {
        return (Tile(n) + "|" + base + "/4/" + QString::number(n) + "/5.png\n").toLocal8Bit();
    }

    // Runs the list until its end: the log and what the end said.
    RedownloadEnd Run(const QString& listFile)
    {
        RedownloadJob job(RedownloadClientSettings(TileServers()));
        std::optional<RedownloadEnd> end;
        QObject::connect(&job, &RedownloadJob::Logged, [this](const QStringList& lines) { log << lines; });
        QObject::connect(&job, &RedownloadJob::Ended, [&](const RedownloadEnd& ended) { end = ended; });
        job.Start(listFile);
        EXPECT_TRUE(RunEventsUntil([&] { return end.has_value(); }));
        return end.value_or(RedownloadEnd());
    }

    LoopbackHttpServer server;
    TempFolder folder;
    QStringList log;
};
}

TEST_F(RedownloadJobTest, TheEndCountsTheLinesFetchedAndThoseThatWereNot)
{
    server.SetResponder([](const QByteArray& head) {
        return head.contains("/4/2/") ? ScriptedReply::Ok("tile") : ScriptedReply::Status("HTTP/1.1 500 Oops");
    });
    folder.Write("t.ftl", Line(1, server.BaseUrl()) + Line(2, server.BaseUrl()) + "../outside.png|x\n"
            + Line(3, server.BaseUrl()));
    const RedownloadEnd end = Run(folder.File("t.ftl"));
    EXPECT_TRUE(end.ListOpened);
    EXPECT_FALSE(end.Stopped);
    EXPECT_EQ(end.Fetched, 1);
    EXPECT_EQ(end.NotFetched, 2) << "a refused line is not asked for";
    EXPECT_EQ(end.Problem, "");
    EXPECT_EQ(log.first(), "Start...");
    EXPECT_EQ(log.last(), "Download End.") << "every log line arrives before the end";
    EXPECT_EQ(folder.Read("os_2_5_4.png"), "tile");

    log.clear();
    const QString nobody = "http://127.0.0.1:" + QString::number(LoopbackHttpServer::UnusedPort());
    folder.Write("nobody.ftl", Line(1, nobody) + Line(2, nobody));
    const RedownloadEnd unanswered = Run(folder.File("nobody.ftl"));
    EXPECT_EQ(unanswered.Fetched, 0);
    EXPECT_EQ(unanswered.NotFetched, 2);
}

TEST_F(RedownloadJobTest, AListThatCannotBeReadOrNeverEndsRunsNothing)
{
    ASSERT_TRUE(QFile::link("/dev/zero", folder.File("zero.ftl")));
    QDir(folder.Path()).mkdir("folder.ftl");
    for (const QString name : {"missing.ftl", "zero.ftl", "folder.ftl"}) {
        const RedownloadEnd end = Run(folder.File(name));
        EXPECT_FALSE(end.ListOpened) << name.toStdString();
        EXPECT_EQ(end.Problem, "Cannot open file " + folder.File(name));
    }
    EXPECT_TRUE(log.isEmpty());
}

TEST_F(RedownloadJobTest, ATileThatCannotBeWrittenEndsTheRunAsAProblemWithThatLineNotFetched)
{
    const QString missing = folder.File("gone/os_1_5_4.png");
    folder.Write("t.ftl", (missing + "|" + server.BaseUrl() + "/a\n").toLocal8Bit() + Line(2, server.BaseUrl()));
    const RedownloadEnd end = Run(folder.File("t.ftl"));
    EXPECT_TRUE(end.ListOpened);
    EXPECT_EQ(end.NotFetched, 1);
    EXPECT_EQ(end.Problem, "Cannot create file " + missing + ": No such file or directory");
    EXPECT_EQ(server.RequestCount(), 1);
}

// The failed list of a map source's task is fetched again with the source's
// own request lines; any other list with the configured ones.
TEST_F(RedownloadJobTest, AMapSourceTasksListIsFetchedWithTheSourcesRequestLines)
{
    TempFolder exe;
    OverrideExecutableFolder(exe.Path());
    QDir(exe.Path()).mkpath(QStringLiteral("ini/sources"));
    exe.Write("ini/config.ini", "[Servers]\r\nUserAgent=configured\r\n");
    exe.Write("ini/sources/ortho.ini",
        "[Source]\nName=Ortho\nUrl=http://127.0.0.1/{z}/{x}/{y}.png\nUserAgent=OrthoBot\n[Headers]\nX-Api-Key=k1\n");
    folder.Write("ortho.qtsk", "[MapsType]\r\nMapsType=11\r\n\r\n[Source]\r\nName=Ortho\r\n");
    folder.Write("ortho_failed.ftl", Line(1, server.BaseUrl()));
    folder.Write("plain_failed.ftl", Line(2, server.BaseUrl()));
    const auto runWithListSettings = [&](const QString& list) {
        RedownloadJob job(RedownloadSettingsForList(list, ReadTileServers()));
        bool ended = false;
        QObject::connect(&job, &RedownloadJob::Ended, [&](const RedownloadEnd&) { ended = true; });
        job.Start(list);
        EXPECT_TRUE(RunEventsUntil([&] { return ended; }));
    };
    runWithListSettings(folder.File("ortho_failed.ftl"));
    runWithListSettings(folder.File("plain_failed.ftl"));
    OverrideExecutableFolder(QString());

    const QList<QByteArray> heads = server.RequestHeads();
    ASSERT_EQ(heads.size(), 2);
    EXPECT_TRUE(heads[0].contains("\r\nUser-Agent: OrthoBot\r\n")) << heads[0].toStdString();
    EXPECT_TRUE(heads[0].contains("\r\nX-Api-Key: k1\r\n"));
    EXPECT_TRUE(heads[1].contains("\r\nUser-Agent: configured\r\n")) << heads[1].toStdString();
    EXPECT_FALSE(heads[1].contains("X-Api-Key"));
}
