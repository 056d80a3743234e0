#include "support/temp_folder.h"
#include "viewer/window/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <gtest/gtest.h>

// The list lives with the main program's settings, in ".../tessaly/", and
// a list kept by an earlier version in ".../Tessaly/" moves there.
TEST(RecentFiles, LiveInTheOneSettingsFolderAndMoveThereFromTheEarlierOne)
{
    // A settings folder of the test's own: other tests that open tasks add
    // to the list in the shared test folder meanwhile.
    TempFolder folder;
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    const bool testMode = QStandardPaths::isTestModeEnabled();
    QStandardPaths::setTestModeEnabled(false);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.Path()));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.Path());
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    ASSERT_TRUE(config.startsWith(QDir(folder.Path()).absolutePath()));
    const QString current = config + QStringLiteral("/tessaly/orvane.conf");
    const QString earlier = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tessaly"), QStringLiteral("orvane")).fileName();
    ASSERT_NE(QFileInfo(current).path(), QFileInfo(earlier).path());
    QFile::remove(current);
    QSettings(earlier, QSettings::IniFormat).setValue(QStringLiteral("RecentFiles"), QStringList{QStringLiteral("/maps/alps.qtsk")});
    ASSERT_TRUE(QFileInfo::exists(earlier));

    RecentFiles recent;
    EXPECT_EQ(recent.Files(), QStringList{QStringLiteral("/maps/alps.qtsk")});
    EXPECT_FALSE(QFileInfo::exists(earlier));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(earlier).path()));
    recent.Add(QStringLiteral("/maps/rhine.qtsk"));
    EXPECT_EQ(QSettings(current, QSettings::IniFormat).value(QStringLiteral("RecentFiles")).toStringList(),
        (QStringList{QStringLiteral("/maps/rhine.qtsk"), QStringLiteral("/maps/alps.qtsk")}));
    if (savedXdg.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedXdg);
    QStandardPaths::setTestModeEnabled(testMode);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}
