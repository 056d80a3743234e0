#include "platform/folders.h"
#include "settings/config_file.h"
#include "task/configured_servers.h"
#include "support/temp_folder.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {
// The program's folder is a temporary one for each test.
class ConfigFileTest : public testing::Test {
protected:
    ConfigFileTest() { OverrideExecutableFolder(exe.Path()); }
    ~ConfigFileTest() override { OverrideExecutableFolder(QString()); }

    void WriteConfig(const QByteArray& text)
    {
        QDir(exe.Path()).mkdir(QStringLiteral("ini"));
        exe.Write(QStringLiteral("ini/config.ini"), text);
    }

    TempFolder exe;
};
}

TEST_F(ConfigFileTest, LivesInTheIniFolderBesideTheExecutable)
{
    EXPECT_EQ(ConfigFileName(), exe.Path() + "ini/config.ini");
}

TEST_F(ConfigFileTest, MissingFileGivesEveryReadersDefault)
{
    EXPECT_EQ(ReadDefaultPath("fallback"), "fallback");
    EXPECT_EQ(ReadVersion(), "5.52");
    const ProxySettings proxy = ReadProxySettings();
    EXPECT_FALSE(proxy.UseProxy);
    EXPECT_TRUE(proxy.ProxyServer.isEmpty() && proxy.ProxyPort.isEmpty());
    EXPECT_TRUE(proxy.ProxyUsername.isEmpty() && proxy.ProxyPassword.isEmpty());
    const TileServers builtIn;
    const TileServers read = ReadTileServers();
    EXPECT_EQ(read.Mapnik, builtIn.Mapnik);
    EXPECT_EQ(read.Osmarender, builtIn.Osmarender);
    EXPECT_EQ(read.Cycle, builtIn.Cycle);
    EXPECT_EQ(read.HomePage, builtIn.HomePage);
    EXPECT_EQ(read.UserAgent, builtIn.UserAgent);
}

TEST_F(ConfigFileTest, ProxyIsUsedOnlyWhenTheStoredNumberIsOne)
{
    WriteConfig("[Proxy]\r\nUseProxy=2\r\nProxyServer=  proxy.lan  \r\nProxyPort=80a\r\n");
    ProxySettings proxy = ReadProxySettings();
    EXPECT_FALSE(proxy.UseProxy);
    EXPECT_EQ(proxy.ProxyServer, "proxy.lan");
    EXPECT_EQ(proxy.ProxyPort, "80a");

    WriteConfig("[proxy]\r\nuseproxy=0x1\r\n");
    EXPECT_TRUE(ReadProxySettings().UseProxy);
}

TEST_F(ConfigFileTest, ServersSectionReplacesOnlyTheKeysItHolds)
{
    WriteConfig("[IniParas]\r\nVersion=6.0\r\n[Servers]\r\nMapnik=http://127.0.0.1:8080/{z}/{x}/{y}.png\r\n"
                "UserAgent=Tessaly/6.0\r\n");
    EXPECT_EQ(ReadVersion(), "6.0");
    const TileServers read = ReadTileServers();
    EXPECT_EQ(read.Mapnik, "http://127.0.0.1:8080/{z}/{x}/{y}.png");
    EXPECT_EQ(read.UserAgent, "Tessaly/6.0");
    EXPECT_EQ(read.Cycle, TileServers().Cycle);
    EXPECT_EQ(read.HomePage, TileServers().HomePage);
}

TEST_F(ConfigFileTest, OptionsAreWrittenInTheirOrderAndReadBack)
{
    QDir(exe.Path()).mkdir(QStringLiteral("ini"));
    OptionsSettings settings;
    settings.DefaultPath = " /data/maps ";
    settings.Proxy = {true, "proxy.lan", "3128", "me", "secret"};
    WriteOptionsSettings(settings);

    const QByteArray text = exe.Read("ini/config.ini");
    const QList<QByteArray> order{"DefaultPath= /data/maps ", "UseProxy=1", "ProxyServer=proxy.lan",
        "ProxyPort=3128", "ProxyUsername=me", "ProxyPassword=secret"};
    qsizetype previous = -1;
    for (const QByteArray& line : order) {
        const qsizetype at = text.indexOf(line);
        EXPECT_GT(at, previous) << line.constData();
        previous = at;
    }
    EXPECT_EQ(ReadDefaultPath("x"), "/data/maps");  // read back trimmed
    EXPECT_TRUE(ReadProxySettings().UseProxy);
}

TEST_F(ConfigFileTest, PauseKeysHoldWholeMillisecondsUpToAMinuteAndOtherwiseReadAsOneSecond)
{
    EXPECT_FALSE(ReadTileServers().MapnikPause.has_value());
    const std::pair<QByteArray, int> cases[] = {{"0", 0}, {" 250 ", 250}, {"60000", 60000}, {"60001", 1000},
        {"-1", 1000}, {"12.5", 1000}, {"fast", 1000}, {"", 1000}, {"0x10", 1000}};
    for (const auto& [text, expected] : cases) {
        WriteConfig("[Servers]\r\nMapnikPause=" + text + "\r\n");
        const TileServers read = ReadTileServers();
        EXPECT_EQ(read.MapnikPause, expected) << text.constData();
        EXPECT_FALSE(read.OsmarenderPause.has_value() || read.CyclePause.has_value());
    }
    WriteConfig("[servers]\r\nosmarenderpause=5\r\nCyclePause=7\r\n");
    EXPECT_EQ(ReadTileServers().OsmarenderPause, 5);
    EXPECT_EQ(ReadTileServers().CyclePause, 7);
}

TEST_F(ConfigFileTest, InFlightKeysHoldWholeNumbersFromOneToSixtyFourAndOtherwiseReadAsTheDefault)
{
    EXPECT_FALSE(ReadTileServers().MapnikInFlight.has_value());
    const std::pair<QByteArray, int> cases[] = {{"1", 1}, {" 12 ", 12}, {"64", 64}, {"0", 16}, {"-1", 16},
        {"-64", 16}, {"65", 16}, {"4294967297", 16}, {"99999999999999999999", 16}, {"fast", 16}, {"", 16},
        {"8.5", 16}, {"0x10", 16}};
    for (const auto& [text, expected] : cases) {
        WriteConfig("[Servers]\r\nMapnikInFlight=" + text + "\r\n");
        const TileServers read = ReadTileServers();
        EXPECT_EQ(read.MapnikInFlight, expected) << text.constData();
        EXPECT_FALSE(read.OsmarenderInFlight.has_value() || read.CycleInFlight.has_value());
    }
    WriteConfig("[servers]\r\nosmarenderinflight=5\r\nCycleInFlight=7\r\n");
    EXPECT_EQ(ReadTileServers().OsmarenderInFlight, 5);
    EXPECT_EQ(ReadTileServers().CycleInFlight, 7);
}
