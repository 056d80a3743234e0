#include "platform/app_error.h"
#include "platform/text_files.h"
#include "support/nearly_full_disk.h"
#include "support/temp_folder.h"

#include <QDir>
#include <functional>

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
        EXPECT_EQ(error.Message(), "Cannot create file " + missing + ": No such file or directory");
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

// Small contents stay below the size at which a buffered write goes to the
// disk at once: their failure shows only when the file is flushed.
TEST(TextFilesOnAFullDisk, NoWriteReplacesAFileUnlessItsNewContentIsWhole)
{
    NearlyFullDisk disk;
    const QString file = disk.File("task.txt");
    WriteTextLines(file, {"old"});
    disk.LeaveFree(4096);

    const auto expectRefused = [&](const std::function<void()>& write) {
        try {
            write();
            ADD_FAILURE() << "the write must fail";
        } catch (const AppError& error) {
            EXPECT_EQ(error.Message(), "Cannot create file " + file + ": " + disk.Reason());
        }
        EXPECT_EQ(disk.Read("task.txt"), "old\r\n");
    };
    expectRefused([&] { WriteFileAtomically(file, QByteArray(12000, 'x')); });
    expectRefused([&] { WriteTextLines(file, QStringList(1000, QString(20, u'y'))); });
    expectRefused([&] {
        TextLineWriter writer(file);
        for (int i = 0; i < 20000; ++i)
            writer.WriteLine(QByteArray(40, 'z'));
        writer.Commit();
    });
    EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files), QStringList{"task.txt"}) << "no temporary file is left";

    disk.FreeSpace();
    WriteFileAtomically(file, QByteArray(12000, 'x'));
    EXPECT_EQ(disk.Read("task.txt"), QByteArray(12000, 'x'));
}
