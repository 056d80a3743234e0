#include "platform/folders.h"
#include "settings/config_file.h"
#include "task/configured_servers.h"
#include "task/map_type.h"

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {
const QString kDist = QStringLiteral(TESSALY_DIST_DIR);

QString ReadText(const QString& name)
{
    QFile file(kDist + u'/' + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
}

TEST(ShippedFiles, ConfigurationSuitsTodaysServersAndLeavesOsmarenderAlone)
{
    OverrideExecutableFolder(kDist);
    const TileServers servers = ReadTileServers();
    const QString version = ReadVersion();
    OverrideExecutableFolder(QString());

    EXPECT_EQ(servers.Mapnik, "https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    EXPECT_EQ(servers.Osmarender, TileServers().Osmarender);
    EXPECT_TRUE(servers.Cycle.startsWith("https://")) << servers.Cycle.toStdString();
    EXPECT_TRUE(servers.Cycle.contains("{z}/{x}/{y}") && servers.Cycle.contains("apikey="));
    EXPECT_EQ(servers.HomePage, "https://www.openstreetmap.org/");
    EXPECT_TRUE(servers.UserAgent.startsWith("Tessaly/" + version + " ")) << servers.UserAgent.toStdString();
    EXPECT_FALSE(servers.UserAgent.contains("Mozilla"));
}

TEST(ShippedFiles, BlankImageIsAPlainTile)
{
    const QImage blank(kDist + "/blankimg/blank.png");
    ASSERT_EQ(blank.size(), QSize(256, 256));
    EXPECT_EQ(blank.pixel(0, 0), blank.pixel(255, 255));
    EXPECT_GT(qGray(blank.pixel(128, 128)), 200);
}

TEST(ShippedFiles, ManualIsSelfContainedAndItsInnerLinksLeadSomewhere)
{
    const QString manual = ReadText("help/help.html");
    ASSERT_FALSE(manual.isEmpty());
    // Opened from disk without a network: no stylesheets, scripts or images from elsewhere.
    EXPECT_FALSE(manual.contains(QRegularExpression(R"((src|href)\s*=\s*"(https?:)?//)")));
    EXPECT_FALSE(manual.contains("@import") || manual.contains("url(") || manual.contains("<link"));
    const QRegularExpression innerLink(R"re(href="#([^"]+)")re");
    for (const QRegularExpressionMatch& link : innerLink.globalMatch(manual))
        EXPECT_TRUE(manual.contains("id=\"" + link.captured(1) + "\"")) << link.captured(1).toStdString();
}
