#include "support/run_until.h"
#include "task/tile_validators.h"
#include "viewer/tile_ages.h"
#include "viewer/viewed_task.h"
#include "viewer/window/map_view.h"
#include "viewer/window/summary_dialog.h"
#include "viewer_task_fixture.h"

#include <gtest/gtest.h>

namespace {
const QDateTime kNow(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);

QByteArray Record(int x, int y, const QDateTime& fetched, qint64 freshSeconds)
{
    TileValidators validators{fetched.toSecsSinceEpoch(), freshSeconds > 0 ? fetched.toSecsSinceEpoch() + freshSeconds : 0,
        10, "\"e\"", "Mon, 01 Jan 2024 00:00:00 GMT"};
    return TileValidatorsRecord(x, y, validators) + "\r\n";
}
}

// The validator file is only ever appended to: the last record of a tile
// holds, and a line a kill cut short, or one in no record's form, is passed over.
TEST(TileValidators, TheLastWholeRecordOfATileHolds)
{
    TempFolder folder;
    folder.Write("v.txt", Record(1, 2, kNow.addDays(-9), 0) + "garbage\r\n1\t2\tx\t0\t0\t\t\r\n" + Record(1, 2, kNow, 60)
            + Record(3, 4, kNow, 60).chopped(2));
    const TileValidatorTable table = ReadTileValidators(folder.File("v.txt"));
    ASSERT_EQ(table.size(), 1);
    EXPECT_EQ(table.value(TileValidatorKey(1, 2)).FetchedAt, kNow.toSecsSinceEpoch());
    EXPECT_EQ(table.value(TileValidatorKey(1, 2)).ETag, "\"e\"");
    EXPECT_EQ(table.value(TileValidatorKey(1, 2)).LastModified, "Mon, 01 Jan 2024 00:00:00 GMT");
    EXPECT_TRUE(ReadTileValidators(folder.File("none.txt")).isEmpty());

    // A validator that would break the record's form is left out, not the record.
    const QByteArray record = TileValidatorsRecord(5, 6, {1, 2, 3, "a\tb", "x\ny"});
    EXPECT_EQ(record, "5\t6\t1\t2\t3\t\t");
}

TEST(TileAges, FreshStaleOrUnknownAndTheFetchDates)
{
    TileValidatorTable table;
    table.insert(TileValidatorKey(1, 1), {kNow.addDays(-3).toSecsSinceEpoch(), kNow.addDays(1).toSecsSinceEpoch(), 1, {}, {}});
    table.insert(TileValidatorKey(2, 1), {kNow.addDays(-1).toSecsSinceEpoch(), kNow.addSecs(-1).toSecsSinceEpoch(), 1, {}, {}});
    table.insert(TileValidatorKey(3, 1), {kNow.addDays(-2).toSecsSinceEpoch(), 0, 1, {}, {}});
    const TileAges ages(table, kNow);
    EXPECT_EQ(ages.AgeOf(1, 1), TileAge::Fresh);
    EXPECT_EQ(ages.AgeOf(2, 1), TileAge::Stale);
    EXPECT_EQ(ages.AgeOf(3, 1), TileAge::Stale);
    EXPECT_EQ(ages.AgeOf(4, 1), TileAge::Unknown);
    EXPECT_EQ(ages.OldestFetch(), kNow.addDays(-3));
    EXPECT_EQ(ages.NewestFetch(), kNow.addDays(-1));
    EXPECT_EQ(ages.PastFreshness(), 2);
    EXPECT_FALSE(TileAges().OldestFetch().isValid());
}

TEST(TileAges, SummaryGivesTheFetchDatesAndTheViewTintsStoredTilesByAge)
{
    ViewerTask fixture;
    fixture.WriteOneTileOfEachState();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    fixture.folder.Write("newtask_validators.txt",
        Record(841, 387, now.addDays(-2), 3 * 86400) + Record(842, 388, now.addDays(-5), 86400));
    ViewedTask viewed(fixture.ProjectFile());
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.IsCounted() && viewed.AgesRead(); }));

    SummaryDialog summary;
    summary.SetTasks({&viewed});
    const auto date = [](const QDateTime& time) { return time.toLocalTime().toString("yyyy-MM-dd HH:mm"); };
    EXPECT_TRUE(summary.Text().contains(
        "\nFetched: " + date(now.addDays(-5)) + " to " + date(now.addDays(-2)) + "\nPast their freshness: 1 of 2"))
        << summary.Text().toStdString();

    MapView view;
    view.resize(800, 600);
    view.SetTask(&viewed);
    ASSERT_TRUE(RunEventsUntil([&] {
        view.grab();
        return !viewed.IsDecoding();
    }));
    const auto pixel = [&view](QPointF map) { return view.grab().toImage().pixelColor(view.Geometry().ToScreen(map).toPoint()); };
    const QColor plain = pixel(QPointF(841.5, 387.5));
    view.SetAgeShown(true);
    const QColor fresh = pixel(QPointF(841.5, 387.5));
    EXPECT_NE(fresh, plain);
    EXPECT_GT(fresh.green(), fresh.red()) << "fresh tints green";
}
