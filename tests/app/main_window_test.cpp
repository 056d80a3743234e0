#include "main_window_fixture.h"

#include <QKeyEvent>

#include "app/up_down_spinner.h"
#include "recovery/redownload_window.h"
#include "settings/options_dialog.h"
#include "support/task_run_test_access.h"
#include "tools/about_box.h"
#include "tools/converter_window.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStatusBar>

namespace {
QStringList MenuItems(QMenu* menu)
{
    QStringList items;
    for (QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}
}

TEST_F(MainWindowTest, StartsWithTheDesignersLayoutAndTexts)
{
    TForm1& form = *window;
    EXPECT_EQ(form.windowTitle(), "Tessaly 5.52");
    EXPECT_EQ(form.Edit6->text(), work.Path()) << "set by the fixture after the show handler";
    EXPECT_EQ(form.DefaultPath, DefaultUserFolder("vornhold"));
    EXPECT_EQ(form.centralWidget()->height() + form.StatusBar1->height(), 377);
    EXPECT_EQ(form.centralWidget()->width(), 675);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form.StatusBar1->height(), 19);
    EXPECT_TRUE(form.StatusBar1->findChild<QLabel*>()->text() == "Download images from OpenstreetMap!");

    EXPECT_EQ(form.Panel1->geometry(), QRect(0, 0, 361, 358));
    EXPECT_EQ(form.EditTaskName->geometry(), QRect(71, 16, 170, 21));
    EXPECT_EQ(form.EditTaskName->text(), "newtask.qtsk");
    EXPECT_EQ(form.Button4->text(), "Open task ...");
    EXPECT_EQ(form.radio_mapstype->geometry(), QRect(18, 48, 317, 48));
    EXPECT_EQ(form.radio_mapstype->title(), "Maps Type");
    EXPECT_EQ(form.MapTypeItemIndex(), 0);
    EXPECT_EQ(form.Edit4->geometry(), QRect(235, 45, 67, 21));
    EXPECT_EQ(form.UpDown1->geometry(), QRect(144, 74, 15, 21));
    EXPECT_EQ(form.Button1->toolTip(), "Click to select path");
    EXPECT_EQ(form.LabelTotalxy->geometry(), QRect(8, 321, 203, 13));
    EXPECT_TRUE(form.LabelTotalxy->text().isEmpty());
    EXPECT_EQ(form.BitBtn1->geometry(), QRect(235, 315, 102, 33));
    EXPECT_EQ(form.BitBtn1->text(), "Start");
    EXPECT_TRUE(form.BitBtn1->font().bold());

    EXPECT_EQ(form.Memo1->Lines(), QStringList{"[log window]"});
    
    EXPECT_EQ(form.Memo1->toolTip(), "Double click to view log in notepad");
    EXPECT_EQ(form.Memo2->Lines(), QStringList{"[Failed tile inforamtion window]"});
    EXPECT_FALSE(form.Memo2->isVisible());
    EXPECT_FALSE(form.Panel3->isVisible());
    EXPECT_FALSE(form.Run->MonitorActive());
    EXPECT_EQ(form.UpDown1->Position(), 13);
    EXPECT_EQ(form.Edit5->text(), "13");
    EXPECT_TRUE(form.Edit5->isReadOnly());
}

TEST_F(MainWindowTest, MenuHasItsCaptionsAndSeparators)
{
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 6);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(MenuItems(menus[0]->menu()), QStringList{"E&xit"});
    EXPECT_EQ(menus[1]->text(), "Ta&sk");
    EXPECT_EQ(MenuItems(menus[1]->menu()), QStringList{"&Refresh tiles of this task"});
    EXPECT_EQ(MenuItems(menus[2]->menu()), QStringList{"Options..."});
    EXPECT_EQ(MenuItems(menus[3]->menu()),
        (QStringList{"Convert \"Degrees,Minutes,Seconds\"  to \"Degrees\"...", "-", "View log file"}));
    EXPECT_EQ(MenuItems(menus[4]->menu()),
        (QStringList{"Map Viewer", "-", "Map Combiner", "-", "Re-Download failed images"}));
    EXPECT_EQ(MenuItems(menus[5]->menu()), (QStringList{"User manual", "Homepage", "-", "About..."}));
}

TEST_F(MainWindowTest, ShowHandlerReadsVersionAndDefaultPath)
{
    WriteConfig("[IniParas]\r\nVersion=6.0\r\nDefaultPath=/maps/here\r\n");
    const auto second = MakeWindow();
    EXPECT_EQ(second->windowTitle(), "Tessaly 6.0");
    EXPECT_EQ(second->DefaultPath, "/maps/here");
    EXPECT_EQ(second->HelpFileName, exe.Path() + "help/help.html");
}

TEST_F(MainWindowTest, FolderChooserReplacesThePathOnlyWhenConfirmed)
{
    QString title;
    InterceptFolderChooser([&](const QString& t) { title = t; return std::optional<QString>(); });
    window->Button1->click();
    EXPECT_EQ(title, "Select path to save");
    EXPECT_EQ(window->Edit6->text(), work.Path());
    InterceptFolderChooser([](const QString&) { return std::optional<QString>("/chosen/folder"); });
    window->Button1->click();
    EXPECT_EQ(window->Edit6->text(), "/chosen/folder");
}

TEST_F(MainWindowTest, InputChecksShowTheirMessageAndStartNothing)
{
    struct Case {
        QString left, right, top, bottom, folder, message;
    };
    const QString missingParent = work.Path() + "no/such";
    const QList<Case> cases{
        {"10", "100", "10", "-10", "", "Please select a path to save the images."},
        {"10", "100", "10", "-10", missingParent, "Create directory " + missingParent + " Failed."},
        {"", "", "", "", work.Path(), "Longitude or latitude input error!"},
        {"10", "east", "10", "-10", work.Path(), "Longitude or latitude input error!"},
        {"1e999", "100", "10", "-10", work.Path(), "Longitude or latitude input error!"},
        {"180.5", "180.5", "10", "-10", work.Path(), "Left Longitude should be between -180 and 180."},
        {"10", "-180,5", "10", "-10", work.Path(), "Right Longitude should be between -180 and 180."},
        {"10", "100", "85.01", "-10", work.Path(), "Top Latitude should be between -85 and 85."},
        {"10", "100", "10", "-85.5", work.Path(), "Bottom Latitude should be between -85 and 85."},
        {"100", "10", "10", "-10", work.Path(), "Left Longitude should less than Right Longitude!"},
        {"10", "100", "10", "20", work.Path(), "Bottom Latitude should less than Top Latitude!"},
    };
    for (const Case& c : cases) {
        messages.clear();
        EnterArea(*window, c.left, c.right, c.top, c.bottom);
        window->Edit6->setText(c.folder);
        window->BitBtn1->click();
        EXPECT_EQ(messages, QStringList{c.message}) << c.left.toStdString() << " " << c.folder.toStdString();
        EXPECT_EQ(window->BitBtn1->text(), "Start");
        EXPECT_FALSE(window->Run->CurrentTask());
    }
    EXPECT_FALSE(QFileInfo::exists(work.File("newtask.qtsk")));
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(MainWindowTest, BulkTaskForOpenStreetMapIsRefusedWithThePolicy)
{
    exe.Write("ini/config.ini", "");  // the built-in servers: openstreetmap.org
    EnterArea(*window, "-100", "100", "60", "-60");
    window->UpDown1->SetPosition(10);
    window->BitBtn1->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("tile usage policy"));
    EXPECT_TRUE(messages[0].contains("Servers"));
    EXPECT_FALSE(window->Run->CurrentTask());
    EXPECT_FALSE(QFileInfo::exists(work.File("newtask")));
}

TEST_F(MainWindowTest, ZoomTheGridCannotHandleIsRefusedWithTheTaskCoresMessage)
{
    work.Write("far.qtsk", "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongitude=10\r\nRightLongitude=11\r\n"
                           "TopLatitude=10\r\nBottomLatitude=9\r\n[Zoom]\r\nZoom=40\r\n");
    InterceptFileChooser([this](const QString&) { return std::optional<QString>(work.File("far.qtsk")); });
    window->Button4->click();
    EXPECT_EQ(window->Edit5->text(), "40");
    EXPECT_EQ(window->UpDown1->Position(), 18);
    window->BitBtn1->click();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains("Zoom level 40"));
    EXPECT_EQ(messages[1], "Error: Create task failure.");
    EXPECT_FALSE(window->Run->CurrentTask());
    EXPECT_EQ(window->BitBtn1->text(), "Start");
}

TEST_F(MainWindowTest, OpenTaskFillsTheInputsAndChangesNothingElse)
{
    work.Write("city.qtsk", "[MapsType]\r\nMapsType=10\r\n[AREA]\r\nLeftLongitude=116.3\r\n"
                            "RightLongitude=116.4\r\nTopLatitude=40\r\nBottomLatitude=39.9\r\n[Zoom]\r\nZoom=15\r\n");
    QString title;
    InterceptFileChooser([&](const QString& t) {
        title = t;
        return std::optional<QString>(work.File("city.qtsk"));
    });
    window->Button4->click();
    EXPECT_EQ(title, "Open project file:");
    EXPECT_EQ(window->Edit1->text(), "116.3");
    EXPECT_EQ(window->Edit3->text(), "116.4");
    EXPECT_EQ(window->Edit2->text(), "40");
    EXPECT_EQ(window->Edit4->text(), "39.9");
    EXPECT_EQ(window->Edit6->text(), work.Path());
    EXPECT_EQ(window->EditTaskName->text(), "city.qtsk");
    EXPECT_EQ(window->MapTypeItemIndex(), 2);
    EXPECT_EQ(window->Edit5->text(), "15");
    EXPECT_EQ(window->Memo1->Lines(), QStringList{"[log window]"});

    InterceptFileChooser([this](const QString&) { return std::optional<QString>(work.File("missing.qtsk")); });
    window->Button4->click();
    EXPECT_TRUE(window->Edit1->text().isEmpty());
    EXPECT_EQ(window->Edit5->text(), "0");
}

TEST_F(MainWindowTest, ViewLogFileSaysWhyWhenThereIsNothingToOpen)
{
    window->Viewlogfile1->trigger();
    EXPECT_EQ(messages, QStringList{"No task running now." + QString(18, u' ')});
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(MainWindowTest, ToolsManualAndHomePageAreOpenedThroughTheShell)
{
    window->Mapviewer1->trigger();
    window->CombineImages1->trigger();
    window->Usermanual1->trigger();
    window->Homepage1->trigger();
    EXPECT_EQ(opened, (QStringList{exe.Path() + "orvane", exe.Path() + "quiltry", exe.Path() + "help/help.html",
                          "https://tessaly.example.org/"}));
}

TEST_F(MainWindowTest, AToolMissingBesideTheExecutableIsNamed)
{
    InterceptShellOpen(nullptr);
    window->Mapviewer1->trigger();
    window->CombineImages1->trigger();
    EXPECT_EQ(messages, (QStringList{"Cannot start " + exe.Path() + "orvane: it is missing or cannot be run.",
                            "Cannot start " + exe.Path() + "quiltry: it is missing or cannot be run."}));
}

TEST_F(MainWindowTest, ToolsOpenTheCurrentTasksProjectFile)
{
    PreparedTask last;
    last.Parameters = std::make_unique<TaskParameters>();
    last.Parameters->Path = exe.Path();
    last.Parameters->TaskName = "area.qtsk";
    last.Task = std::make_unique<MDTask>(last.Parameters.get(), MDTask::ReadOnly{});
    TaskRunTestAccess::SetLastTask(*window->Run, std::move(last));
    window->Mapviewer1->trigger();
    window->CombineImages1->trigger();
    EXPECT_EQ(opened, (QStringList{exe.Path() + "orvane " + exe.Path() + "area.qtsk",
                          exe.Path() + "quiltry " + exe.Path() + "area.qtsk"}));
}

TEST_F(MainWindowTest, DialogsAreShownModalOrBeside)
{
    auto* about = new TfrmAbout(window.get());
    auto* convert = new TfrmConvert(window.get());
    auto* options = new TfrmOptions(window.get());
    auto* flt = new TfrmFlt(window.get());
    window->SetCompanionWindows(about, convert, options, flt);

    QList<QWidget*> modal;
    const auto closeModalSoon = [&] {
        QTimer::singleShot(0, [&] {
            modal << QApplication::activeModalWidget();
            if (modal.last())
                modal.last()->close();
        });
    };
    closeModalSoon();
    window->Options2->trigger();
    closeModalSoon();
    window->ReDownloadfailedfiles1->trigger();
    closeModalSoon();
    window->About1->trigger();
    EXPECT_EQ(modal, (QList<QWidget*>{options, flt, about}));

    window->ConvertLongitudeorLatitudetodegreen1->trigger();
    EXPECT_TRUE(convert->isVisible());
    EXPECT_FALSE(convert->isModal());
}

TEST_F(MainWindowTest, EnterPressesTheFocusedButtonOrElseStart)
{
    auto pressEnter = [](QWidget* target) {
        target->setFocus();
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &event);
    };
    int fileChooserShown = 0;
    InterceptFileChooser([&](const QString&) {
        ++fileChooserShown;
        return std::optional<QString>();
    });
    window->Edit6->clear();

    pressEnter(window->Button4);
    EXPECT_EQ(fileChooserShown, 1);
    pressEnter(window->Memo1);
    EXPECT_TRUE(messages.isEmpty());

    pressEnter(window->Edit1);
    EXPECT_EQ(messages, QStringList{"Please select a path to save the images."});
}
