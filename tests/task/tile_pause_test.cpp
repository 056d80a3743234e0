#include "task/tile_usage_policy.h"

#include <gtest/gtest.h>

TEST(TilePause, OneSecondUnlessTheMapTypesKeySaysOtherwise)
{
    TileServers servers;
    servers.Mapnik = "http://127.0.0.1:8080/{z}/{x}/{y}.png";
    EXPECT_EQ(TilePauseFor(servers, MAPNIK).Ms, 1000);
    EXPECT_FALSE(TilePauseFor(servers, MAPNIK).LogLine());

    servers.MapnikPause = 0;
    EXPECT_EQ(TilePauseFor(servers, MAPNIK).Ms, 0);
    EXPECT_EQ(TilePauseFor(servers, MAPNIK).LogLine(), "Pause after each tile: 0 ms");
    EXPECT_EQ(TilePauseFor(servers, OSMARENDER).Ms, 1000) << "each map type has its own key";

    servers.MapnikPause = 1000;  // a key with the default value still shows in the log
    EXPECT_EQ(TilePauseFor(servers, MAPNIK).LogLine(), "Pause after each tile: 1000 ms");
    EXPECT_EQ(TilePauseFor(servers, 42).Ms, 1000);
}

TEST(TilePause, OpenStreetMapHostsNeverGetLessThanOneSecond)
{
    TileServers servers;  // the built-in addresses are openstreetmap.org ones, Cycle aside
    servers.MapnikPause = 250;
    servers.OsmarenderPause = 5000;
    servers.CyclePause = 250;
    EXPECT_EQ(TilePauseFor(servers, MAPNIK).Ms, 1000);
    EXPECT_EQ(TilePauseFor(servers, MAPNIK).LogLine(),
        "Pause after each tile: 1000 ms (raised from 250 ms for openstreetmap.org)");
    EXPECT_EQ(TilePauseFor(servers, OSMARENDER).Ms, 5000);
    EXPECT_EQ(TilePauseFor(servers, OSMARENDER).LogLine(), "Pause after each tile: 5000 ms");
    EXPECT_EQ(TilePauseFor(servers, CYCLE).Ms, 250);

    servers.Mapnik = "http://openstreetmap.org.example.com/{z}/{x}/{y}.png";
    EXPECT_EQ(TilePauseFor(servers, MAPNIK).Ms, 250);
}

TEST(TilesInFlight, SeveralOnlyWithoutAPauseAndNeverForOpenStreetMapHosts)
{
    TileServers servers;
    servers.Mapnik = "https://tiles.example.com/{z}/{x}/{y}.png";
    servers.MapnikPause = 0;
    const TilePause none = TilePauseFor(servers, MAPNIK);
    EXPECT_EQ(TilesInFlightFor(servers, MAPNIK, none), 16) << "the default without a key";
    servers.MapnikInFlight = 64;
    EXPECT_EQ(TilesInFlightFor(servers, MAPNIK, none), 64);
    EXPECT_EQ(TilesInFlightFor(servers, OSMARENDER, TilePauseFor(servers, OSMARENDER)), 1)
        << "each map type has its own keys";
    servers.MapnikPause = 1;
    EXPECT_EQ(TilesInFlightFor(servers, MAPNIK, TilePauseFor(servers, MAPNIK)), 1) << "a worker that pauses";

    // The guard: one GET at a time from each worker, whatever the keys say.
    servers.Mapnik = "https://a.tile.openstreetmap.org/{z}/{x}/{y}.png";
    EXPECT_EQ(TilesInFlightFor(servers, MAPNIK, TilePause{0, 0}), 1);
    EXPECT_EQ(TilesInFlightFor(servers, MAPNIK, TilePauseFor(servers, MAPNIK)), 1);
    servers.CycleInFlight = 16;
    servers.CyclePause = 0;
    EXPECT_EQ(TilesInFlightFor(servers, CYCLE, TilePauseFor(servers, CYCLE)), 16);
}
