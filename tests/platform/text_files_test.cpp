#include "platform/app_error.h"
#include "platform/text_files.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

TEST(TextFiles, LinesEndInCrLfAndNoLinesGiveAnEmptyFile)
{
    TempFolder folder;
    WriteTextLines(folder.File("a.txt"), {"one", "", "three"});
    EXPECT_EQ(folder.Read("a.txt"), "one\r\n\r\nthree\r\n");
    WriteTextLines(folder.File("a.txt"), {});
    EXPECT_EQ(folder.Read("a.txt"), "");
}

TEST(TextFiles, SplitAcceptsEveryLineEnd)
{
    EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(SplitTextLines("a\r\n\r\n"), QStringList({"a", ""}));
    EXPECT_EQ(SplitTextLines("\n"), QStringList({""}));
    EXPECT_TRUE(SplitTextLines("").isEmpty());
}

TEST(TextFiles, FailuresNameTheFile)
{
    TempFolder folder;
    const QString missing = folder.File("gone/list.txt");
    try {
        WriteTextLines(missing, {"x"});
        FAIL();
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + missing);
    }
    try {
        ReadTextLines(missing);
        FAIL();
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Cannot open file " + missing);
    }
}

TEST(TextFiles, AnUnfinishedWriteLeavesTheOldFileWhole)
{
    TempFolder folder;
    folder.Write("log.txt", "old\r\n");
    {
        TextLineWriter writer(folder.File("log.txt"));
        for (int i = 0; i < 100000; ++i)
            writer.WriteLine(QByteArray("a line that is long enough to be flushed to disk early"));
        // Destroyed without Commit, as when an error ends the write half-way.
    }
    EXPECT_EQ(folder.Read("log.txt"), "old\r\n");
}
