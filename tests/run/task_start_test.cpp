#include "run/task_start.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

// The window of GETs in flight comes with the task from the start's settings:
// the map type's key without a pause, one GET at a time from openstreetmap.org
// whatever the keys say.
TEST(PrepareTask, ATaskTakesItsMapTypesWindowButOpenStreetMapGetsOneGetAtATime)
{
    TempFolder work;
    const TaskInputs inputs{"10", "10.1", "10", "9.9", 10, MAPNIK, work.Path(), "window"};
    StartSettings settings;
    settings.Servers.Mapnik = QStringLiteral("https://tiles.example.com/{z}/{x}/{y}.png");
    settings.Servers.MapnikPause = 0;
    settings.Servers.MapnikInFlight = 32;
    EXPECT_EQ(PrepareTask(ReadCheckedInputs(inputs), settings).Parameters->TilesInFlight, 32);

    settings.Servers.Mapnik = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    const PreparedTask guarded = PrepareTask(ReadCheckedInputs(inputs), settings);
    EXPECT_EQ(guarded.Parameters->TilesInFlight, 1);
    EXPECT_EQ(guarded.Parameters->PauseAfterTile.Ms, 1000);
}
