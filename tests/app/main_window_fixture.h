#pragma once

#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/up_down_spinner.h"
#include "download/http_client.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "support/gate.h"
#include "support/loopback_http_server.h"
#include "support/requested_paths.h"
#include "support/run_until.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// The real main window in a temporary executable folder whose config.ini
// points the MAPNIK tiles at a loopback server. Workers never sleep, except
// that the pause after a stored tile can be held shut to keep a task running.
class MainWindowTest : public testing::Test {
protected:
    static inline const QString kTaskStopped = QStringLiteral("Task stoped!") + QString(20, u' ');

    MainWindowTest()
    {
        InitializeHttp();
        OverrideExecutableFolder(exe.Path());
        QDir(exe.Path()).mkpath(QStringLiteral("ini"));
        QDir(exe.Path()).mkpath(QStringLiteral("blankimg"));
        exe.Write("blankimg/blank.png", "blank");
        WriteConfig(QByteArray());
        InterceptMessages([this](MessageKind, const QString& text) { messages << text; });
        InterceptShellOpen([this](const QString& target, const QStringList& arguments) {
            opened << (QStringList{target} + arguments).join(u' ');
        });
        window = MakeWindow();
    }

    ~MainWindowTest() override
    {
        afterTilePauseOpen = true;
        window.reset();
        InterceptMessages(nullptr);
        InterceptShellOpen(nullptr);
        InterceptFileChooser(nullptr);
        InterceptFolderChooser(nullptr);
        OverrideExecutableFolder(QString());
    }

    // config.ini: the Servers section for the loopback server, then `more`.
    void WriteConfig(const QByteArray& more)
    {
        const QByteArray base = server.BaseUrl().toLatin1();
        exe.Write("ini/config.ini", "[Servers]\r\nMapnik=" + base + "/{z}/{x}/{y}.png\r\nHomePage=" + base
                + "/\r\n" + more);
    }

    std::unique_ptr<TForm1> MakeWindow()
    {
        auto made = std::make_unique<TForm1>();
        made->SetPauseFunction([this](int milliseconds) {
            if (milliseconds == 1000)
                afterTilePauseOpen.WaitUntilOpen();
        });
        made->SetClock([] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); });
        made->Run->SetMonitorInterval(10);
        made->show();
        made->Edit6->setText(work.Path());
        return made;
    }

    // Ten tiles at zoom 4: columns 8..12, rows 7..8.
    void EnterArea(TForm1& form, const QString& left = "10", const QString& right = "100",
        const QString& top = "10", const QString& bottom = "-10")
    {
        form.Edit1->setText(left);
        form.Edit3->setText(right);
        form.Edit2->setText(top);
        form.Edit4->setText(bottom);
        form.UpDown1->SetPosition(4);
    }

    bool RunUntil(const std::function<bool()>& done, int timeoutMs = 20000) { return RunEventsUntil(done, timeoutMs); }

    bool RunUntilTaskEnds(int timeoutMs = 20000)
    {
        return RunUntil([this] { return messages.contains(kTaskStopped); }, timeoutMs);
    }

    int LinesContaining(const TForm1& form, const QString& text) const
    {
        int count = 0;
        for (const QString& line : form.Memo1->Lines())
            count += line.contains(text) ? 1 : 0;
        return count;
    }

    QStringList RequestedPaths() const { return ::RequestedPaths(server); }

    LoopbackHttpServer server;
    TempFolder exe;
    TempFolder work;
    QStringList messages;
    QStringList opened;
    Gate afterTilePauseOpen{true};
    std::unique_ptr<TForm1> window;
};
