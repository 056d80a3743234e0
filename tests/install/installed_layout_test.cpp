#include "platform/folders.h"
#include "settings/config_file.h"
#include "task/configured_servers.h"
#include "settings/options_dialog.h"
#include "support/temp_folder.h"
#include "task/tile_state.h"
#include "tools/about_box.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
const QByteArray kShipped = "; shipped\n[Servers]\nMapnik=http://127.0.0.1:9/{z}/{x}/{y}.png\n";
constexpr auto kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;

// A program installed under a prefix of its own: PREFIX/bin is the
// executable's folder, the shipped files lie where the install puts them,
// and HOME is a fresh folder without XDG_CONFIG_HOME.
class InstalledLayout : public testing::Test {
protected:
    InstalledLayout()
        : savedHome_(qgetenv("HOME")), savedXdg_(qgetenv("XDG_CONFIG_HOME")), hadXdg_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    {
        QDir(root.Path()).mkpath(QStringLiteral("prefix/bin"));
        QDir(root.Path()).mkpath(QStringLiteral("home"));
        QDir().mkpath(share + QStringLiteral("ini"));
        QDir().mkpath(share + QStringLiteral("blankimg"));
        Write(share + QStringLiteral("ini/config.ini"), kShipped);
        Write(share + QStringLiteral("blankimg/blank.png"), "shipped blank");
        OverrideExecutableFolder(exe);
        qputenv("HOME", root.File(QStringLiteral("home")).toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
    }
    ~InstalledLayout() override
    {
        OverrideExecutableFolder(QString());
        qputenv("HOME", savedHome_);
        if (hadXdg_)
            qputenv("XDG_CONFIG_HOME", savedXdg_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    static void Write(const QString& fileName, const QByteArray& bytes)
    {
        QFile file(fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray Read(const QString& fileName)
    {
        QFile file(fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TempFolder root;
    const QString exe = root.File(QStringLiteral("prefix/bin/"));
    const QString share = QDir::cleanPath(exe + QStringLiteral(TESSALY_SHARE_FROM_BIN)) + u'/';
    const QString home = root.File(QStringLiteral("home"));
    const QString userConfig = home + QStringLiteral("/.config/tessaly/config.ini");

private:
    QByteArray savedHome_;
    QByteArray savedXdg_;
    bool hadXdg_;
};
}

TEST_F(InstalledLayout, SettingsAreTheUsersCopyOfTheShippedFileForTheUserAlone)
{
    EXPECT_TRUE(IsInstalledLayout());
    EXPECT_EQ(ShippedFilesFolder(), share);
    EXPECT_EQ(ConfigFileName(), userConfig);
    EXPECT_EQ(Read(userConfig), kShipped);
    EXPECT_EQ(QFileInfo(userConfig).permissions(), kOwnerOnly);
    EXPECT_EQ(ReadTileServers().Mapnik, "http://127.0.0.1:9/{z}/{x}/{y}.png");
    EXPECT_EQ(ReadShippedBlankImage(), "shipped blank");
    // Nothing but the copy is left in the user's folder.
    EXPECT_EQ(QDir(home + "/.config/tessaly").entryList(QDir::Files | QDir::Hidden), QStringList{"config.ini"});
}

TEST_F(InstalledLayout, TheUsersFileIsNeverReplacedAndItsFolderFollowsXdgConfigHome)
{
    QDir().mkpath(home + "/.config/tessaly");
    Write(userConfig, "[Servers]\nMapnik=mine\n");
    EXPECT_EQ(ReadTileServers().Mapnik, "mine");
    EXPECT_EQ(Read(userConfig), "[Servers]\nMapnik=mine\n");

    qputenv("XDG_CONFIG_HOME", root.File("xdg").toLocal8Bit());
    EXPECT_EQ(ConfigFileName(), root.File("xdg/tessaly/config.ini"));
    EXPECT_EQ(Read(root.File("xdg/tessaly/config.ini")), kShipped);
    // A relative XDG_CONFIG_HOME is not a place to keep settings: it is ignored.
    qputenv("XDG_CONFIG_HOME", "relative/folder");
    EXPECT_EQ(ConfigFileName(), userConfig);
}

TEST_F(InstalledLayout, OptionsWriteTheUsersFileAndProposeAFolderInTheHome)
{
    TfrmOptions options;
    options.show();
    EXPECT_EQ(options.Edit12->text(), home + "/Tessaly");
    EXPECT_EQ(ReadDefaultPath("c:\\vornhold"), home + "/Tessaly");
    options.Edit12->setText(home + "/maps");
    options.CheckBoxUseProxy->setChecked(true);
    options.EditProxyPassword->setText("secret");
    options.Button1->click();

    EXPECT_EQ(ReadDefaultPath("c:\\vornhold"), home + "/maps");
    EXPECT_TRUE(ReadProxySettings().UseProxy);
    EXPECT_TRUE(Read(userConfig).startsWith(kShipped));
    // The proxy password stays the user's own after the write replaced the file.
    EXPECT_EQ(QFileInfo(userConfig).permissions(), kOwnerOnly);
    EXPECT_EQ(Read(share + "ini/config.ini"), kShipped);
}

TEST_F(InstalledLayout, WithoutAShippedConfigurationTheFirstWriteMakesTheUsersFile)
{
    QFile::remove(share + "ini/config.ini");
    EXPECT_TRUE(IsInstalledLayout());
    EXPECT_EQ(ConfigFileName(), userConfig);
    EXPECT_FALSE(QFileInfo::exists(userConfig));
    WriteOptionsSettings({home + "/maps", {}});
    EXPECT_EQ(ReadDefaultPath(QString()), home + "/maps");
}

TEST_F(InstalledLayout, FilesBesideTheExecutableMakeAPortableCopy)
{
    for (const QString& marker : {QStringLiteral("help"), QStringLiteral("blankimg"), QStringLiteral("ini")}) {
        SCOPED_TRACE(marker.toStdString());
        QDir(exe).mkdir(marker);
        if (marker == u"ini")
            Write(exe + "ini/config.ini", "[IniParas]\nDefaultPath=/portable\n");
        EXPECT_FALSE(IsInstalledLayout());
        EXPECT_EQ(ShippedFilesFolder(), exe);
        EXPECT_EQ(ConfigFileName(), exe + "ini/config.ini");
        QDir(exe + marker).removeRecursively();
    }
    EXPECT_FALSE(QFileInfo::exists(home + "/.config"));
    // An empty share folder is no install either.
    QDir(share).removeRecursively();
    QDir().mkpath(share);
    EXPECT_FALSE(IsInstalledLayout());
    EXPECT_EQ(ConfigFileName(), exe + "ini/config.ini");
}

TEST_F(InstalledLayout, AboutBoxNamesTheSettingsFileInUse)
{
    QWidget mainWindow;
    TfrmAbout about;
    about.SetSource(&mainWindow, "https://tessaly.example.org/", "mailto:support@tessaly.example.org");
    about.show();
    EXPECT_EQ(about.Label10->text().remove(QChar(0x200B)), userConfig);
    about.hide();

    QDir(exe).mkdir("help");
    about.show();
    EXPECT_EQ(about.Label10->text().remove(QChar(0x200B)), exe + "ini/config.ini");
    about.hide();
}
