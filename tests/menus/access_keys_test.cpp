#include "app/main_window.h"
#include "combiner/window/combiner_window.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "support/temp_folder.h"
#include "viewer/window/new_task_dialog.h"
#include "viewer/window/viewer_window.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace {
// The letter of a caption's access key, or nothing.
std::optional<int> AccessKey(const QString& caption)
{
    const QKeySequence key = QKeySequence::mnemonic(caption);
    if (key.isEmpty())
        return std::nullopt;
    return int(key[0].key());
}

// Captions that share an access key with an earlier one, described with the
// menu they are in; walks into submenus.
QStringList Clashes(const QList<QAction*>& actions, const QString& where)
{
    QStringList clashes;
    QHash<int, QString> taken;
    for (QAction* action : actions) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        if (const auto key = AccessKey(action->text())) {
            if (taken.contains(*key))
                clashes << where + QStringLiteral(": ") + taken[*key] + QStringLiteral(" / ") + action->text();
            taken.insert(*key, action->text());
        }
        if (action->menu())
            clashes += Clashes(action->menu()->actions(), where + QStringLiteral(" > ") + action->text());
    }
    return clashes;
}

// Menu items without an access key cannot be chosen by letter.
QStringList WithoutAccessKey(const QList<QAction*>& actions)
{
    QStringList captions;
    for (QAction* action : actions) {
        if (action->isSeparator())
            continue;
        if (!AccessKey(action->text()))
            captions << action->text();
        if (action->menu())
            captions += WithoutAccessKey(action->menu()->actions());
    }
    return captions;
}

// Alt+key in a window reaches the menu bar and the window's own controls alike.
QStringList WindowClashes(QWidget* window, const QString& name)
{
    QList<QAction*> keyed;
    if (auto* main = qobject_cast<QMainWindow*>(window))
        keyed = main->menuBar()->actions();
    QStringList clashes = Clashes(keyed, name);
    QList<QAction*> controls = keyed;
    std::vector<std::unique_ptr<QAction>> stand_ins;
    const auto add = [&](const QString& caption) {
        stand_ins.push_back(std::make_unique<QAction>(caption));
        controls.append(stand_ins.back().get());
    };
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        add(button->text());
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->buddy())
            add(label->text());
    for (QGroupBox* box : window->findChildren<QGroupBox*>())
        add(box->title());
    for (const QString& clash : Clashes(controls, name + QStringLiteral(" window")))
        if (!clashes.contains(clash))
            clashes << clash;
    return clashes;
}

class AccessKeysTest : public testing::Test {
protected:
    AccessKeysTest()
    {
        QStandardPaths::setTestModeEnabled(true);
        OverrideExecutableFolder(exe.Path());
        QDir(exe.Path()).mkpath(QStringLiteral("ini"));
        QDir(exe.Path()).mkpath(QStringLiteral("blankimg"));
        exe.Write("ini/config.ini", "[Servers]\r\nMapnik=http://127.0.0.1:9/{z}/{x}/{y}.png\r\n");
        InterceptMessages([](MessageKind, const QString&) {});
    }
    ~AccessKeysTest() override
    {
        InterceptMessages(nullptr);
        OverrideExecutableFolder(QString());
    }
    TempFolder exe;
};
}

TEST_F(AccessKeysTest, EveryMenuOfTheThreePrograms)
{
    TForm1 tessaly;
    tessaly.show();
    EXPECT_EQ(WindowClashes(&tessaly, QStringLiteral("Tessaly")), QStringList());

    ViewerWindow viewer;
    viewer.show();
    EXPECT_EQ(WindowClashes(&viewer, QStringLiteral("Map Viewer")), QStringList());
    EXPECT_EQ(WithoutAccessKey(viewer.menuBar()->actions()), QStringList());
    NewTaskDialog newTask(GeoArea{116.0, 116.5, 40.0, 39.5}, 10, 12, MAPNIK, exe.Path(), nullptr);
    EXPECT_EQ(WindowClashes(&newTask, QStringLiteral("New task from selection")), QStringList());

    CombinerWindow combiner;
    combiner.show();
    EXPECT_EQ(WindowClashes(&combiner, QStringLiteral("Map Combiner")), QStringList());
}

TEST_F(AccessKeysTest, TheWalkFindsAClashInASubmenu)
{
    QMenu top(QStringLiteral("&View"));
    top.addAction(QStringLiteral("&Zoom in"));
    QMenu* more = top.addMenu(QStringLiteral("&More"));
    more->addAction(QStringLiteral("Zoom &out"));
    more->addAction(QStringLiteral("&Online map"));
    EXPECT_EQ(Clashes(top.actions(), QStringLiteral("Viewer")),
              QStringList{QStringLiteral("Viewer > &More: Zoom &out / &Online map")});
}
