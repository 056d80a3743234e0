#include "app/log_pane.h"
#include "platform/app_error.h"
#include "support/nearly_full_disk.h"
#include "support/temp_folder.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QImage>
#include <QScrollBar>
#include <gtest/gtest.h>

TEST(LogPane, EverySaveLeavesExactlyThePanesLinesInTheFile)
{
    TempFolder folder;
    const QString file = folder.File("log.txt");
    LogPane pane;
    pane.SetLines({"first", "second"});
    pane.SaveToFile(file);
    EXPECT_EQ(folder.Read("log.txt"), "first\r\nsecond\r\n");

    pane.AppendLine("third");
    pane.SaveToFile(file);
    EXPECT_EQ(folder.Read("log.txt"), "first\r\nsecond\r\nthird\r\n");

    // Changed behind the pane's back: the next save puts the whole pane back.
    folder.Write("log.txt", "edited\r\n");
    pane.AppendLine("fourth");
    pane.SaveToFile(file);
    EXPECT_EQ(folder.Read("log.txt"), "first\r\nsecond\r\nthird\r\nfourth\r\n");

    pane.SetLines({});
    pane.SaveToFile(file);
    EXPECT_EQ(folder.Read("log.txt"), "");
    EXPECT_EQ(pane.LineCount(), 0);
}

TEST(LogPane, AFileThatCannotBeWrittenRaisesAndALaterSaveRecovers)
{
    TempFolder folder;
    const QString file = folder.File("log.txt");
    LogPane pane;
    pane.SetLines({"a"});
    QDir().mkdir(file);
    EXPECT_THROW(pane.SaveToFile(file), AppError);
    QDir().rmdir(file);
    pane.AppendLine("b");
    pane.SaveToFile(file);
    EXPECT_EQ(folder.Read("log.txt"), "a\r\nb\r\n");
}

// The first save replaces the file that Start wrote, later ones append to it:
// neither may leave less than the last whole save.
TEST(LogPaneOnAFullDisk, ASaveThatDoesNotFitLeavesTheLastWholeSave)
{
    NearlyFullDisk disk;
    const QString file = disk.File("log.txt");
    const QString refused = "Cannot create file " + file + ": " + disk.Reason();
    disk.Write("log.txt", "written by Start\r\n");
    LogPane pane;
    pane.SetLines({"written by Start"});
    const auto addLines = [&](QChar fill) {
        for (int i = 0; i < 300; ++i)
            pane.AppendLine(QString(40, fill));
    };
    const auto expectRefused = [&] {
        try {
            pane.SaveToFile(file);
            ADD_FAILURE() << "the save must fail";
        } catch (const AppError& error) {
            EXPECT_EQ(error.Message(), refused);
        }
    };

    addLines(u'a');
    disk.LeaveFree(4096);
    expectRefused();
    EXPECT_EQ(disk.Read("log.txt"), "written by Start\r\n");

    disk.FreeSpace();
    pane.SaveToFile(file);
    const QByteArray saved = disk.Read("log.txt");
    addLines(u'b');
    disk.LeaveFree(4096);
    expectRefused();
    EXPECT_EQ(disk.Read("log.txt"), saved) << "no part of the appended lines stays";

    disk.FreeSpace();
    pane.SaveToFile(file);
    EXPECT_EQ(disk.Read("log.txt"), pane.Lines().join("\r\n").toLocal8Bit() + "\r\n");
}

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
