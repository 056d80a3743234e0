#include "download/http_client.h"
#include "download/multi_http_client.h"
#include "support/loopback_http_server.h"
#include "support/run_until.h"

#include <gtest/gtest.h>

namespace {
HttpClientSettings TileSettings()
{
    HttpClientSettings settings;
    settings.Referer = QStringLiteral("http://www.openstreetmap.org/");
    settings.UserAgent = QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
    settings.Connection = QStringLiteral("Keep_Alive");
    settings.ExtraHeaderLines = {QStringLiteral("Cookie: ")};
    settings.ConnectTimeoutMs = 2000;
    settings.StallTimeoutMs = 1000;
    return settings;
}

class MultiHttpClientTest : public testing::Test {
protected:
    static void SetUpTestSuite() { InitializeHttp(); }

    // Starts one GET and drives the client until it comes back.
    static FinishedGet Fetch(MultiHttpClient& client, qint64 tag, const QString& url)
    {
        client.Start(tag, url);
        for (;;) {
            std::vector<FinishedGet> finished = client.Wait(1000);
            if (!finished.empty()) {
                EXPECT_EQ(finished.size(), 1u);
                return std::move(finished.front());
            }
        }
    }

    QString Url(const char* path) const { return server.BaseUrl() + QString::fromLatin1(path); }

    LoopbackHttpServer server;
};
}

// A server that does not multiplex gets what HttpClient gives it: one GET
// at a time on one connection, reopened only when the server ended it, and
// the same request head.
TEST_F(MultiHttpClientTest, OnAnHttp11ServerItKeepsToOneGetAtATimeAsHttpClientDoes)
{
    server.Script({ScriptedReply::Ok("1"), ScriptedReply::Status("HTTP/1.1 404 Not Found"), ScriptedReply::Ok("3"),
        ScriptedReply::Http10("4"), ScriptedReply::Ok("5"), ScriptedReply::ConnectionClose("6"),
        ScriptedReply::Ok("7"), ScriptedReply::Ok("8"), ScriptedReply::Ok("alone")});
    MultiHttpClient client(TileSettings(), 16);
    QByteArray bodies;
    for (int tag = 1; tag <= 8; ++tag) {
        EXPECT_EQ(client.Limit(), 1);
        const FinishedGet got = Fetch(client, tag, Url("/t.png"));
        EXPECT_EQ(got.Tag, tag);
        bodies += got.Result.Body;
        if (tag == 2)
            EXPECT_EQ(got.Result.FailureText, QStringLiteral("HTTP/1.1 404 Not Found"));
    }
    EXPECT_EQ(client.Limit(), 1);
    EXPECT_EQ(bodies, QByteArray("1345678"));
    // Opened for 1, after the HTTP/1.0 reply 4 and after the "close" reply 6.
    EXPECT_EQ(server.ConnectionsAccepted(), 3);
    EXPECT_EQ(client.ConnectionsOpened(), 3);

    HttpClient single(TileSettings());
    ASSERT_TRUE(single.Get(Url("/t.png")).Ok);
    const QList<QByteArray> heads = server.RequestHeads();
    EXPECT_EQ(HeadLines(heads.first()), HeadLines(heads.last()));
}

TEST_F(MultiHttpClientTest, FailuresComeBackWithTheirTagAndTheTextsTheClassesReadFrom)
{
    server.Script({ScriptedReply::Reset(), ScriptedReply::CloseBeforeReply()});
    MultiHttpClient client(TileSettings(), 16);
    EXPECT_EQ(Fetch(client, 5, Url("/1.png")).Result.FailureText,
        QStringLiteral("Socket Error # 10054\r\nConnection reset by peer."));
    EXPECT_EQ(Fetch(client, 6, Url("/2.png")).Result.FailureText, QStringLiteral("Connection Closed Gracefully."));
    const FinishedGet refused = Fetch(client, 7,
        QStringLiteral("http://127.0.0.1:%1/1/0/0.png").arg(LoopbackHttpServer::UnusedPort()));
    EXPECT_EQ(refused.Tag, 7);
    EXPECT_EQ(refused.Result.FailureText, QStringLiteral("Socket Error # 10061\r\nConnection refused."));
    // An address libcurl refuses never starts, yet comes back like any other.
    client.Start(9, server.BaseUrl() + u'/' + QString(8'000'001, u'a'));
    EXPECT_EQ(client.InFlight(), 1);
    const std::vector<FinishedGet> refusedAddress = client.Wait(1000);
    ASSERT_EQ(refusedAddress.size(), 1u);
    EXPECT_EQ(refusedAddress[0].Tag, 9);
    EXPECT_TRUE(refusedAddress[0].Result.FailureText->startsWith("libcurl refused the option CURLOPT_URL: "));
    EXPECT_EQ(client.InFlight(), 0);

    HttpClientSettings unready = TileSettings();
    unready.ProxyHost = QString(8'000'001, u'p');  // longer than libcurl takes
    MultiHttpClient broken(unready, 16);
    EXPECT_TRUE(broken.SetupProblem().startsWith("libcurl refused the option CURLOPT_PROXY: "));
    const FinishedGet none = Fetch(broken, 8, Url("/3.png"));
    EXPECT_EQ(none.Tag, 8);
    EXPECT_EQ(none.Result.FailureText, "The HTTP client cannot be set up: " + broken.SetupProblem());
    EXPECT_EQ(server.RequestCount(), 2);
}

TEST_F(MultiHttpClientTest, AbortingEndsTheGetsUnderWayAndTheClientGoesOn)
{
    server.Script({ScriptedReply::Stall(), ScriptedReply::Ok("next")});
    MultiHttpClient client(TileSettings(), 16);
    client.Start(1, Url("/1.png"));
    // Driven until the server holds the request it will never answer.
    ASSERT_TRUE(RunEventsUntil([&] { return client.Wait(5).empty() && server.RequestCount() == 1; }));
    EXPECT_EQ(client.InFlight(), 1);
    client.AbortAll();
    EXPECT_EQ(client.InFlight(), 0);
    const FinishedGet next = Fetch(client, 2, Url("/2.png"));
    EXPECT_EQ(next.Tag, 2);
    EXPECT_EQ(next.Result.Body, QByteArray("next"));
}
