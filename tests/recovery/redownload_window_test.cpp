#include "download/http_client.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "recovery/redownload_window.h"
#include "support/loopback_http_server.h"
#include "support/temp_folder.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

namespace {
class RedownloadWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        InitializeHttp();
        InterceptFileChooser([this](const QString& title) {
            titles << title;
            return chosen;
        });
        InterceptMessages([this](MessageKind, const QString& text) { messages << text; });
    }
    void TearDown() override
    {
        InterceptFileChooser(nullptr);
        InterceptMessages(nullptr);
    }

    QStringList Log() const { return window.Memo1->toPlainText().split(u'\n'); }
    QString Tile(const char* name) const { return folder.File(QString::fromLatin1(name)); }

    LoopbackHttpServer server;
    TempFolder folder;
    TfrmFlt window;
    std::optional<QString> chosen;
    QStringList titles;
    QStringList messages;
};
}

TEST_F(RedownloadWindowTest, RunsTheChosenListAndLeavesItByteForByte)
{
    TileServers servers;
    servers.HomePage = "http://tiles.example.test/";
    servers.UserAgent = "Tessaly/5.52";
    window.SetTileServers(servers);
    const QString a = server.BaseUrl() + "/a";
    const QString b = server.BaseUrl() + "/b";
    const QString c = server.BaseUrl() + "/c";
    // A relative name counts from the list's folder, not the working folder.
    const QByteArray list = (Tile("a.png") + "|" + a + "\r\n" + Tile("b.png") + "|" + b + "\nc.png|" + c + "\r")
                                .toLocal8Bit();
    folder.Write("run_failed.ftl", list);
    chosen = folder.File("run_failed.ftl");
    window.Memo1->setPlainText("earlier run");

    window.Button1->click();

    EXPECT_EQ(titles, QStringList{"Open ftl file:"});
    EXPECT_EQ(Log(), QStringList({"Start...", Tile("a.png") + ":" + a + " ->OK", Tile("b.png") + ":" + b + " ->OK",
        "c.png:" + c + " ->OK", "Download End."}));
    EXPECT_EQ(folder.Read("run_failed.ftl"), list);
    EXPECT_EQ(folder.Read("b.png"), "tile");
    EXPECT_TRUE(window.Button1->isEnabled());
    EXPECT_FALSE(window.ButtonStop->isEnabled());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(folder.Read("c.png"), "tile");
    EXPECT_THAT(HeadLines(server.RequestHeads().front()), testing::Contains("User-Agent: Tessaly/5.52"));
    EXPECT_THAT(HeadLines(server.RequestHeads().front()), testing::Contains("Referer: http://tiles.example.test/"));
}

TEST_F(RedownloadWindowTest, CancelChangesNothingAndAMissingListIsReported)
{
    window.Memo1->setPlainText("kept");
    window.Button1->click();
    EXPECT_EQ(window.Memo1->toPlainText(), "kept");
    EXPECT_TRUE(messages.isEmpty());

    chosen = folder.File("missing.ftl");
    window.Button1->click();
    EXPECT_EQ(messages, QStringList{"Cannot open file " + folder.File("missing.ftl")});
    EXPECT_EQ(window.Memo1->toPlainText(), "");
}

TEST_F(RedownloadWindowTest, StopEndsARunWhileARequestHangs)
{
    server.SetResponder([this](const QByteArray&) {
        QMetaObject::invokeMethod(window.ButtonStop, &QPushButton::click, Qt::QueuedConnection);
        return ScriptedReply::Stall();
    });
    folder.Write("hang.ftl", (Tile("a.png") + "|" + server.BaseUrl() + "/a\r\n" + Tile("b.png") + "|"
        + server.BaseUrl() + "/b\r\n").toLocal8Bit());
    chosen = folder.File("hang.ftl");
    window.Button1->click();
    EXPECT_EQ(Log(), QStringList({"Start...", "Stopped by the user.", "Download End."}));
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(RedownloadWindowTest, ClosingDuringARunStopsItFirst)
{
    server.SetResponder([this](const QByteArray&) {
        QMetaObject::invokeMethod(&window, &TfrmFlt::reject, Qt::QueuedConnection);
        return ScriptedReply::Stall();
    });
    folder.Write("hang.ftl", (Tile("a.png") + "|" + server.BaseUrl() + "/a").toLocal8Bit());
    chosen = folder.File("hang.ftl");
    window.show();
    window.Button1->click();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(Log(), QStringList({"Start...", "Stopped by the user.", "Download End."}));
}

TEST_F(RedownloadWindowTest, ShowingTheWindowClearsTheLog)
{
    window.Memo1->setPlainText("old");
    window.show();
    EXPECT_EQ(window.Memo1->toPlainText(), "");
    window.hide();
}
