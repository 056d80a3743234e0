#include "app/log_pane.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QImage>
#include <QScrollBar>
#include <gtest/gtest.h>

TEST(LogPane, PaintsTheRowsInViewAndFollowsTheEnd)
{
    LogPane pane;
    QPalette colours = pane.palette();
    colours.setColor(QPalette::Text, QColor(0, 128, 0));
    pane.setPalette(colours);
    pane.resize(300, 120);
    QStringList lines;
    for (int i = 0; i < 1000; ++i)
        lines << QStringLiteral("T%1:seq=%2,os_8_7_4.png OK").arg(i % 8 + 1).arg(i);
    pane.SetLines(lines);
    pane.show();
    EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
    pane.AppendLine("last");
    EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum()) << "follows the end";
    pane.verticalScrollBar()->setValue(0);
    pane.AppendLine("after scrolling up");
    EXPECT_EQ(pane.verticalScrollBar()->value(), 0) << "stays where the user scrolled";

    const QImage image = pane.viewport()->grab().toImage();
    int textPixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            textPixels += image.pixelColor(x, y).green() > 2 * image.pixelColor(x, y).red() + 20 ? 1 : 0;
    EXPECT_GT(textPixels, 100);
}

TEST(LogPane, RowsSelectedWithTheMouseOrSelectAllAreCopied)
{
    LogPane pane;
    pane.resize(300, 200);
    pane.SetLines({"zero", "one", "two", "three"});
    pane.verticalScrollBar()->setValue(0);
    EXPECT_EQ(pane.SelectedText(), "");

    const int rowHeight = pane.fontMetrics().lineSpacing();
    auto mouse = [&](QEvent::Type type, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const QPointF at(10, row * rowHeight + rowHeight / 2);
        QMouseEvent event(type, at, pane.viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(pane.viewport(), &event);
    };
    mouse(QEvent::MouseButtonPress, 2);
    mouse(QEvent::MouseMove, 1);
    EXPECT_EQ(pane.SelectedText(), "one\ntwo");
    mouse(QEvent::MouseButtonPress, 3, Qt::ShiftModifier);
    EXPECT_EQ(pane.SelectedText(), "two\nthree");

    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::sendEvent(&pane, &selectAll);
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QCoreApplication::sendEvent(&pane, &copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "zero\none\ntwo\nthree");

    pane.SetLines({"new"});
    EXPECT_EQ(pane.SelectedText(), "");
}
