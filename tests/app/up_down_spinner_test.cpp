#include "app/up_down_spinner.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <gtest/gtest.h>

TEST(UpDownSpinner, StepsWithinItsRangeByButtonOrArrowKeyWithoutWrapping)
{
    QWidget parent;
    auto* edit = new QLineEdit(&parent);
    auto* spinner = new UpDownSpinner(edit, 1, 18, 13, &parent);
    EXPECT_EQ(edit->text(), "13");

    auto press = [&](Qt::Key key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &event);
    };
    press(Qt::Key_Up);
    EXPECT_EQ(spinner->Position(), 14);
    EXPECT_EQ(edit->text(), "14");
    spinner->SetPosition(18);
    press(Qt::Key_Up);
    EXPECT_EQ(edit->text(), "18");
    spinner->SetPosition(1);
    press(Qt::Key_Down);
    spinner->StepBy(-1);
    EXPECT_EQ(edit->text(), "1");
}
