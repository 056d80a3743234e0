#include "download/http_cache_policy.h"

#include <gtest/gtest.h>

namespace {
const QDateTime kReceived(QDate(2026, 3, 1), QTime(12, 0, 0), Qt::UTC);

// Seconds the reply stays fresh after kReceived; -1 for stale at once.
qint64 FreshFor(const QList<QByteArray>& lines)
{
    const CacheValidity validity = ValidityFromReply(lines, kReceived);
    return validity.FreshUntil.isValid() ? kReceived.secsTo(validity.FreshUntil) : -1;
}
}

TEST(HttpCachePolicyTest, FreshnessFollowsCacheControlThenExpiresThenLastModified)
{
    // The server's clock is an hour ahead of ours: Expires counts from its Date.
    const QByteArray date = "Date: Sun, 01 Mar 2026 13:00:00 GMT";
    EXPECT_EQ(FreshFor({"Cache-Control: public, max-age=600", "Expires: Sun, 01 Mar 2026 20:00:00 GMT"}), 600);
    EXPECT_EQ(FreshFor({"cache-control: max-age=\"600\"", "Age: 100"}), 500);
    EXPECT_EQ(FreshFor({"Cache-Control: max-age=600", "Age: 900"}), -1);
    EXPECT_EQ(FreshFor({date, "Expires: Sun, 01 Mar 2026 14:00:00 GMT"}), 3600);
    EXPECT_EQ(FreshFor({date, "Expires: 0"}), -1);
    EXPECT_EQ(FreshFor({"Cache-Control: no-cache, max-age=600"}), -1);
    EXPECT_EQ(FreshFor({"Cache-Control: max-age=600", "Cache-Control: no-cache"}), -1);
    EXPECT_EQ(FreshFor({"Cache-Control: max-age=soon"}), -1);
    // A tenth of the age since the last change, at most a day.
    EXPECT_EQ(FreshFor({date, "Last-Modified: Sun, 01 Mar 2026 03:00:00 GMT"}), 3600);
    EXPECT_EQ(FreshFor({date, "Last-Modified: Thu, 01 Jan 2026 00:00:00 GMT"}), 86400);
    EXPECT_EQ(FreshFor({"ETag: \"x\""}), -1);
    EXPECT_EQ(FreshFor({}), -1);

    const CacheValidity noStore = ValidityFromReply({"Cache-Control: no-store, must-revalidate"}, kReceived);
    EXPECT_TRUE(noStore.NoStore);
    EXPECT_TRUE(noStore.MustRevalidate);
    EXPECT_FALSE(IsFresh(ValidityFromReply({"Cache-Control: max-age=60"}, kReceived), kReceived.addSecs(60)));
    EXPECT_TRUE(IsFresh(ValidityFromReply({"Cache-Control: max-age=60"}, kReceived), kReceived.addSecs(59)));
}

TEST(HttpCachePolicyTest, HttpDatesInAllThreeFormsAndNothingElse)
{
    const QDateTime expected(QDate(1994, 11, 6), QTime(8, 49, 37), Qt::UTC);
    EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), expected);
    EXPECT_EQ(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"), expected);
    EXPECT_EQ(ParseHttpDate("Sunday, 01-Mar-26 12:00:00 GMT"), kReceived);
    EXPECT_EQ(ParseHttpDate("Sun Nov  6 08:49:37 1994"), expected);
    EXPECT_FALSE(ParseHttpDate("Sun, 06 Nov 1994 8h GMT").isValid());
    EXPECT_FALSE(ParseHttpDate("0").isValid());
    EXPECT_FALSE(ParseHttpDate("").isValid());
}

TEST(HttpCachePolicyTest, RevalidationSendsTheStoredValidatorsAnd304UpdatesWhatItRepeats)
{
    const QList<QByteArray> stored = CacheHeaderLines({"Content-Type: image/png", "ETag: \"v1\"",
        "Last-Modified: Sun, 01 Mar 2026 03:00:00 GMT", "Cache-Control: max-age=60", "Age: 50",
        "Date: Sun, 01 Mar 2026 11:00:00 GMT", "Content-Length: 3"});
    EXPECT_EQ(stored.size(), 5);
    EXPECT_EQ(RevalidationLines(ValidityFromReply(stored, kReceived)),
        QStringList({"If-None-Match: \"v1\"", "If-Modified-Since: Sun, 01 Mar 2026 03:00:00 GMT"}));

    const QList<QByteArray> updated = NotModifiedUpdate(stored, {"Cache-Control: max-age=3600", "Connection: close"});
    EXPECT_EQ(updated, QList<QByteArray>({"ETag: \"v1\"", "Last-Modified: Sun, 01 Mar 2026 03:00:00 GMT",
                           "Cache-Control: max-age=3600"}));
    EXPECT_EQ(FreshFor(updated), 3600);
    EXPECT_TRUE(RevalidationLines(ValidityFromReply({"Cache-Control: max-age=60"}, kReceived)).isEmpty());
}
