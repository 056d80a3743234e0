#include "download/request_profile.h"
#include "platform/app_error.h"
#include "support/loopback_http_server.h"
#include "task/download_task.h"

#include <gtest/gtest.h>

namespace {
using Lines = std::vector<std::string>;

class RequestProfileTest : public testing::Test {
protected:
    static void SetUpTestSuite() { InitializeHttp(); }

    std::vector<std::string> HeadOfOneGet(const TaskParameters& parameters, const QString& url)
    {
        HttpClient client(TileRequestSettings(parameters));
        EXPECT_TRUE(client.Get(url).Ok);
        return HeadLines(server.RequestHeads().value(0));
    }

    LoopbackHttpServer server;
};
}

TEST_F(RequestProfileTest, ATileRequestCarriesTheConfiguredHomePageAndUserAgentAndAnEmptyCookie)
{
    TaskParameters parameters;
    parameters.Servers.HomePage = QStringLiteral("http://maps.example.org/");
    parameters.Servers.UserAgent = QStringLiteral("Tessaly/5.52 (+https://tessaly.example.org/)");

    const Lines head = HeadOfOneGet(parameters, server.BaseUrl() + QStringLiteral("/13/6743/3104.png"));

    EXPECT_EQ(head, Lines({"GET /13/6743/3104.png HTTP/1.1", "Host: 127.0.0.1:" + std::to_string(server.Port()),
                        "Accept: text/html, */*", "Referer: http://maps.example.org/",
                        "User-Agent: Tessaly/5.52 (+https://tessaly.example.org/)", "Connection: Keep_Alive",
                        "Cookie:"}));
}

TEST_F(RequestProfileTest, TheBuiltInValuesAreTheClassicBrowserProfile)
{
    const Lines head = HeadOfOneGet(TaskParameters(), server.BaseUrl() + QStringLiteral("/4/8/5.png"));
    ASSERT_EQ(head.size(), 7u);
    EXPECT_EQ(head[3], "Referer: http://www.openstreetmap.org/");
    EXPECT_EQ(head[4], "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
}

TEST_F(RequestProfileTest, TheProxyOfTheTaskIsUsedWithItsPortReadFromText)
{
    TaskParameters parameters;
    parameters.UseProxy = true;
    parameters.ProxyServer = QStringLiteral("127.0.0.1");
    parameters.ProxyPort = QString::number(server.Port());
    parameters.ProxyUsername = QStringLiteral("user");
    parameters.ProxyPassword = QStringLiteral("pass");

    const Lines head = HeadOfOneGet(parameters, QStringLiteral("http://tile.openstreetmap.org/4/8/5.png"));

    EXPECT_EQ(head, Lines({"GET http://tile.openstreetmap.org/4/8/5.png HTTP/1.1", "Host: tile.openstreetmap.org",
                        "Accept: text/html, */*", "Referer: http://www.openstreetmap.org/",
                        "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", "Connection: Keep_Alive",
                        "Proxy-Authorization: Basic dXNlcjpwYXNz", "Cookie:"}));
}

TEST(RequestProfile, AProxyPortThatIsNotAWholePortNumberIsRefusedOnlyWhenTheProxyIsUsed)
{
    TaskParameters parameters;
    parameters.ProxyServer = QStringLiteral("proxy.example.org");
    for (const char* port : {"80a", "", "0", "65536", "8.5"}) {
        parameters.ProxyPort = QString::fromLatin1(port);
        parameters.UseProxy = false;
        EXPECT_NO_THROW(TileRequestSettings(parameters)) << port;
        parameters.UseProxy = true;
        EXPECT_THROW(TileRequestSettings(parameters), AppError) << port;
    }
    parameters.ProxyPort = QStringLiteral(" 3128");
    EXPECT_EQ(TileRequestSettings(parameters).ProxyPort, 3128);
}
