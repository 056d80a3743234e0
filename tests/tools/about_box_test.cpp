#include "platform/shell_open.h"
#include "tools/about_box.h"

#include <QLabel>
#include <QPushButton>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
const QString kHome = QStringLiteral("https://tessaly.example.org/");
const QString kMail = QStringLiteral("mailto:support@tessaly.example.org");

void Click(QWidget* widget)
{
    const QPointF inside(2, 2);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, widget->mapToGlobal(inside), Qt::LeftButton,
        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}
}

TEST(AboutBox, TakesItsTextsFromTheMainWindowOnEveryShow)
{
    QWidget mainWindow;
    mainWindow.setWindowTitle("Tessaly 5.52");
    TfrmAbout about;
    about.SetSource(&mainWindow, kHome, kMail);

    about.show();
    EXPECT_EQ(about.Label3->text(), "Tessaly 5.52");
    EXPECT_EQ(about.Label4->text(), kHome);
    EXPECT_EQ(about.Label7->text(), kMail);
    EXPECT_EQ(about.Label8->text(), "Developer:  the Tessaly developers");
    about.OkButton->click();
    EXPECT_FALSE(about.isVisible());

    mainWindow.setWindowTitle("Tessaly 6.0");
    about.show();
    EXPECT_EQ(about.Label3->text(), "Tessaly 6.0");
    about.hide();
}

TEST(AboutBox, LinksOpenTheWholeAddressThroughTheShell)
{
    QWidget mainWindow;
    TfrmAbout about;
    about.SetSource(&mainWindow, kHome, kMail);
    QStringList opened;
    InterceptShellOpen([&](const QString& target, const QStringList&) { opened << target; });
    about.show();
    Click(about.Label4);
    Click(about.Label7);
    InterceptShellOpen(nullptr);
    about.hide();
    EXPECT_EQ(opened, QStringList({kHome, kMail}));
}
