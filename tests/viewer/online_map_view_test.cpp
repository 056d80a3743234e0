#include "support/loopback_http_server.h"
#include "support/run_until.h"
#include "viewer/online/online_tiles.h"
#include "viewer/tile_style.h"
#include "viewer/window/map_view.h"
#include "viewer/window/viewer_window.h"
#include "viewer_task_fixture.h"

#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {
// A tile server on 127.0.0.1: red tiles in even columns, 404 in odd ones.
class OnlineMapViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).removeRecursively();
        server.SetResponder([](const QByteArray& head) {
            const QList<QByteArray> path = head.split(' ').value(1).split('/');  // "", z, x, "y.png"
            if (path.size() == 4 && path[2].toInt() % 2 == 0)
                return ScriptedReply::Ok(ViewerTask::Png(QSize(256, 256), Qt::red));
            return ScriptedReply::Status("HTTP/1.1 404 Not Found");
        });
        QDir(fixture.executableFolder.Path()).mkpath(QStringLiteral("ini"));
        fixture.executableFolder.Write(QStringLiteral("ini/config.ini"),
            ("[Servers]\r\nMapnik=" + server.BaseUrl() + "/{z}/{x}/{y}.png\r\nUserAgent=orvane test\r\n").toLocal8Bit());
    }

    QColor PixelAtOnlineTile(MapView& view, int zoom, double x, double y)
    {
        const double perMapTile = std::ldexp(1.0, view.MapZoom() - zoom);
        return view.grab().toImage().pixelColor(view.Geometry().ToScreen(QPointF(x * perMapTile, y * perMapTile)).toPoint());
    }

    ViewerTask fixture;
    LoopbackHttpServer server;
};
}

TEST_F(OnlineMapViewTest, WithoutATaskTheOnlineMapShowsItsTilesAndFailedOnesAsFailedCells)
{
    ViewerWindow window;
    window.resize(800, 600);
    window.show();
    window.StartWith({});
    ASSERT_NE(window.OnlineMap(), nullptr);
    MapView& view = *window.View();
    // The whole world fits: zoom 1, two columns of tiles.
    ASSERT_TRUE(RunEventsUntil([&] {
        return PixelAtOnlineTile(view, 1, 0.5, 0.5) == QColor(Qt::red)
            && window.OnlineMap()->TileStatus(1, 1, 0) == OnlineTileLoader::Status::Failed;
    }));
    const QColor failed = PixelAtOnlineTile(view, 1, 1.5, 0.5);
    EXPECT_NE(failed, QColor(Qt::red));
    EXPECT_EQ(failed.red() > failed.blue(), true);  // tinted like a failed tile
    for (const QByteArray& head : server.RequestHeads())
        EXPECT_TRUE(head.contains("User-Agent: orvane test")) << head.toStdString();
}

TEST_F(OnlineMapViewTest, OffWhenStartedWithATaskAndTurnedOnByTheMenuCommand)
{
    ViewerWindow window;
    window.StartWith({fixture.ProjectFile()});
    ASSERT_NE(window.Task(), nullptr);
    EXPECT_EQ(window.OnlineMap(), nullptr);
    window.View()->grab();
    EXPECT_EQ(server.RequestCount(), 0);
    window.SetOnlineMapShown(true);
    EXPECT_NE(window.OnlineMap(), nullptr);
    window.SetOnlineMapShown(false);
    EXPECT_EQ(window.OnlineMap(), nullptr);
}

// The first start without a network: the status bar says why the map is
// empty, and a later tile that arrives takes the words away.
TEST_F(OnlineMapViewTest, StatusBarSaysTheOnlineMapCannotBeReachedAndWhy)
{
    const int port = LoopbackHttpServer::UnusedPort();
    fixture.executableFolder.Write(QStringLiteral("ini/config.ini"),
        QStringLiteral("[Servers]\r\nMapnik=http://127.0.0.1:%1/{z}/{x}/{y}.png\r\n").arg(port).toLocal8Bit());
    ViewerWindow window;
    window.resize(800, 600);
    window.show();
    window.StartWith({});
    ASSERT_NE(window.OnlineMap(), nullptr);
    const QString unreachable =
        QStringLiteral("The online map cannot be reached: connection refused by 127.0.0.1:%1").arg(port);
    ASSERT_TRUE(RunEventsUntil([&] { return window.OnlineMapStatus() == unreachable; }))
        << window.OnlineMapStatus().toStdString();

    fixture.executableFolder.Write(QStringLiteral("ini/config.ini"),
        ("[Servers]\r\nMapnik=" + server.BaseUrl() + "/{z}/{x}/{y}.png\r\n").toLocal8Bit());
    window.SetOnlineMapShown(false);
    EXPECT_TRUE(window.OnlineMapStatus().isEmpty());
    window.SetOnlineMapShown(true);
    window.View()->grab();
    ASSERT_TRUE(RunEventsUntil([&] { return window.OnlineMap()->TileStatus(1, 0, 0) == OnlineTileLoader::Status::Ready; }));
    EXPECT_TRUE(window.OnlineMapStatus().isEmpty()) << window.OnlineMapStatus().toStdString();
}
