#include "platform/app_error.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "settings/config_file.h"
#include "settings/options_dialog.h"
#include "support/temp_folder.h"

#include <QCheckBox>
#include <QDir>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
class OptionsDialogTest : public testing::Test {
protected:
    OptionsDialogTest()
    {
        OverrideExecutableFolder(exe.Path());
        InterceptMessages([this](MessageKind, const QString& text) { messages << text; });
    }
    ~OptionsDialogTest() override
    {
        InterceptMessages(nullptr);
        InterceptFolderChooser(nullptr);
        OverrideExecutableFolder(QString());
    }

    void MakeIniFolder() { QDir(exe.Path()).mkdir(QStringLiteral("ini")); }

    TempFolder exe;
    QStringList messages;
    TfrmOptions dialog;
};
}

TEST_F(OptionsDialogTest, WithoutAFileShowsTheDialogsDefaults)
{
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Options");
    EXPECT_EQ(dialog.size(), QSize(360, 342));
    EXPECT_EQ(dialog.Edit12->text(), DefaultUserFolder("downloads"));
    EXPECT_FALSE(dialog.CheckBoxUseProxy->isChecked());
    for (QLineEdit* edit : {dialog.EditProxyServer, dialog.EditProxyPort, dialog.EditProxyUsername,
             dialog.EditProxyPassword})
        EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_EQ(dialog.EditProxyPassword->echoMode(), QLineEdit::Normal);
}

TEST_F(OptionsDialogTest, OkWritesTheSixKeysAndClosesTheDialog)
{
    MakeIniFolder();
    dialog.show();
    dialog.Edit12->setText("/data/maps");
    dialog.CheckBoxUseProxy->setChecked(true);
    dialog.EditProxyServer->setText("proxy.lan");
    dialog.EditProxyPort->setText("port");
    dialog.EditProxyUsername->setText("me");
    dialog.EditProxyPassword->setText("secret");
    dialog.Button1->click();

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(ReadDefaultPath("x"), "/data/maps");
    const ProxySettings proxy = ReadProxySettings();
    EXPECT_TRUE(proxy.UseProxy);
    EXPECT_EQ(proxy.ProxyServer, "proxy.lan");
    EXPECT_EQ(proxy.ProxyPort, "port");
    EXPECT_EQ(proxy.ProxyUsername, "me");
    EXPECT_EQ(proxy.ProxyPassword, "secret");
}

TEST_F(OptionsDialogTest, StoredTwoShowsUncheckedAndOkStoresZero)
{
    MakeIniFolder();
    exe.Write("ini/config.ini", "[Proxy]\r\nUseProxy=2\r\n");
    dialog.show();
    EXPECT_FALSE(dialog.CheckBoxUseProxy->isChecked());
    dialog.Button1->click();
    EXPECT_TRUE(exe.Read("ini/config.ini").contains("UseProxy=0"));
}

TEST_F(OptionsDialogTest, RefusedWriteKeepsTheDialogOpenWithTheEntries)
{
    dialog.show();  // no ini folder: the first write fails
    dialog.Edit12->setText("/typed");
    dialog.Button1->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], "Unable to write to " + ConfigFileName() + ": No such file or directory");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.Edit12->text(), "/typed");
}

TEST_F(OptionsDialogTest, CancelWritesNothingAndTheNextShowRereadsTheFile)
{
    MakeIniFolder();
    exe.Write("ini/config.ini", "[IniParas]\r\nDefaultPath=/stored\r\n");
    dialog.show();
    dialog.Edit12->setText("/typed");
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escape);
    EXPECT_TRUE(dialog.isVisible()) << "Escape is not bound to Cancel";
    // Enter presses the focused button, not the default OK.
    dialog.Button2->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dialog.Button2, &enter);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(exe.Read("ini/config.ini"), "[IniParas]\r\nDefaultPath=/stored\r\n");
    dialog.show();
    EXPECT_EQ(dialog.Edit12->text(), "/stored");
}

TEST_F(OptionsDialogTest, FolderBrowserReplacesThePathOnlyWhenConfirmed)
{
    dialog.show();
    QString title;
    InterceptFolderChooser([&](const QString& t) { title = t; return std::optional<QString>(); });
    const QString before = dialog.Edit12->text();
    dialog.Button3->click();
    EXPECT_EQ(title, "Select path");
    EXPECT_EQ(dialog.Edit12->text(), before);
    InterceptFolderChooser([](const QString&) { return std::optional<QString>("/chosen"); });
    dialog.Button3->click();
    EXPECT_EQ(dialog.Edit12->text(), "/chosen");
}

TEST_F(OptionsDialogTest, TabOrderPutsThePasswordBeforeTheUserName)
{
    const QList<QWidget*> expected{dialog.Edit12, dialog.Button3, dialog.Button1, dialog.Button2,
        dialog.CheckBoxUseProxy, dialog.EditProxyServer, dialog.EditProxyPort, dialog.EditProxyPassword,
        dialog.EditProxyUsername};
    QWidget* widget = dialog.Edit12;
    for (qsizetype i = 1; i < expected.size(); ++i) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(widget, expected[i]) << "position " << i;
    }
}
