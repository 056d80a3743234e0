#include "download/tile_window.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace {
using Clock = WindowTile::Clock;

// A worker's tiles 1..count as column 1, rows 1..count, so a position's row is its place.
TileWindow WindowOf(int first, int last)
{
    TileWindow window;
    for (int seq = first; seq <= last; ++seq)
        window.Take(1, seq, seq);
    return window;
}
}

TEST(TileWindow, ThePositionPassesOnlyTilesThatAreAllFinished)
{
    TileWindow window = WindowOf(1, 4);
    EXPECT_EQ(window.Held(), 4);
    window.Finish(window.At(3));
    window.Finish(window.At(2));
    EXPECT_FALSE(window.PassFinished()) << "the first tile is still under way";
    window.Finish(window.At(1));
    const std::optional<TilePosition> passed = window.PassFinished();
    ASSERT_TRUE(passed);
    EXPECT_EQ(passed->Y, 3);
    EXPECT_EQ(window.Held(), 1);
    EXPECT_FALSE(window.PassFinished());
    window.Finish(window.At(4));
    EXPECT_EQ(window.PassFinished()->Y, 4);
    EXPECT_TRUE(window.Empty());
}

TEST(TileWindow, TilesWaitingForARetryAreDueInWalkOrderOnceTheirPauseIsOver)
{
    TileWindow window = WindowOf(1, 3);
    const Clock::time_point now = Clock::now();
    EXPECT_EQ(window.NextDue(now)->Seq, 1);
    window.At(1).Now = WindowTile::State::InFlight;
    window.At(2).DueAt = now + std::chrono::seconds(2);
    window.At(3).DueAt = now + std::chrono::seconds(1);
    EXPECT_EQ(window.NextDue(now), nullptr);
    EXPECT_EQ(window.FirstDue()->Seq, 3);
    EXPECT_EQ(window.NextDue(now + std::chrono::seconds(1))->Seq, 3);
    EXPECT_EQ(window.NextDue(now + std::chrono::seconds(5))->Seq, 2);
    window.At(2).Now = WindowTile::State::InFlight;
    window.At(3).Now = WindowTile::State::InFlight;
    EXPECT_EQ(window.FirstDue(), nullptr);
}

// A worker keeps eight tiles in flight and they finish in any order; a kill
// may come after any of them. The continued worker skips its saved place and
// everything before it: it must meet every unfinished tile again, and no more
// than the window's finished tiles a second time.
TEST(TileWindow, AContinueAfterAKillAnywhereSkipsNoTileAndRefetchesAtMostTheWindow)
{
    constexpr int kTiles = 200;
    constexpr int kInFlight = 8;
    std::mt19937 random(26);
    for (int killAfter = 1; killAfter <= kTiles; ++killAfter) {
        TileWindow window;
        std::set<int> finished;
        std::vector<int> inFlight;
        int taken = 0;
        int saved = 0;
        while (int(finished.size()) < killAfter) {
            while (window.Held() < kInFlight && taken < kTiles) {
                ++taken;
                window.Take(1, taken, taken);
                inFlight.push_back(taken);
            }
            const size_t pick = random() % inFlight.size();
            const int seq = inFlight[pick];
            inFlight.erase(inFlight.begin() + qsizetype(pick));
            window.Finish(window.At(seq));
            finished.insert(seq);
            if (const std::optional<TilePosition> passed = window.PassFinished())
                saved = passed->Y;
        }
        // Killed: the continued worker starts after `saved`.
        for (int seq = 1; seq <= saved; ++seq)
            ASSERT_TRUE(finished.contains(seq)) << "tile " << seq << " skipped after a kill after " << killAfter;
        const auto again = std::count_if(finished.begin(), finished.end(), [saved](int seq) { return seq > saved; });
        EXPECT_LT(again, kInFlight) << "kill after " << killAfter;
    }
}
