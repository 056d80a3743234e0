#include "app/log_pane.h"
#include "platform/app_error.h"
#include "support/temp_folder.h"

#include <QDir>
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
