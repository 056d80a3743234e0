#include "platform/app_error.h"
#include "run/growing_task_files.h"
#include "support/nearly_full_disk.h"
#include "support/temp_folder.h"

#include <QDir>
#include <gtest/gtest.h>

// The one writer of a task's log and failed list, for the window and the
// command line alike.
TEST(GrowingTaskFiles, EverySaveAppendsTheLinesAddedSinceTheLastToWhatStartWrote)
{
    TempFolder folder;
    folder.Write("log.txt", "written by Start\r\n");
    folder.Write("failed.txt", "");
    GrowingTaskFiles files;
    files.BeginTask();
    files.AppendLog({"first", "second"});
    files.AppendFailed({"a|http://x/a"});
    files.SaveLog(folder.File("log.txt"));
    files.SaveFailed(folder.File("failed.txt"));
    EXPECT_EQ(folder.Read("log.txt"), "written by Start\r\nfirst\r\nsecond\r\n");
    EXPECT_EQ(folder.Read("failed.txt"), "a|http://x/a\r\n");

    files.SaveLog(folder.File("log.txt"));
    files.AppendLog({"third"});
    files.SaveLog(folder.File("log.txt"));
    EXPECT_EQ(folder.Read("log.txt"), "written by Start\r\nfirst\r\nsecond\r\nthird\r\n") << "nothing twice";

    // A new task starts with nothing pending from the last.
    files.AppendLog({"left over"});
    files.BeginTask();
    files.SaveLog(folder.File("log.txt"));
    EXPECT_EQ(folder.Read("log.txt"), "written by Start\r\nfirst\r\nsecond\r\nthird\r\n");
}

TEST(GrowingTaskFiles, AFileThatCannotBeWrittenRaisesAndALaterSaveRecovers)
{
    TempFolder folder;
    const QString file = folder.File("log.txt");
    GrowingTaskFiles files;
    files.AppendLog({"a"});
    QDir().mkdir(file);
    EXPECT_THROW(files.SaveLog(file), AppError);
    QDir().rmdir(file);
    files.AppendLog({"b"});
    files.SaveLog(file);
    EXPECT_EQ(folder.Read("log.txt"), "a\r\nb\r\n");
}

// Neither save may leave less than the last whole save, nor a part of the
// lines that did not fit.
TEST(GrowingTaskFilesOnAFullDisk, ASaveThatDoesNotFitLeavesTheLastWholeSave)
{
    NearlyFullDisk disk;
    const QString file = disk.File("log.txt");
    const QString refused = "Cannot create file " + file + ": " + disk.Reason();
    disk.Write("log.txt", "written by Start\r\n");
    GrowingTaskFiles files;
    QByteArray expected = "written by Start\r\n";
    const auto addLines = [&](QChar fill) {
        for (int i = 0; i < 300; ++i) {
            files.AppendLog({QString(40, fill)});
            expected += QString(40, fill).toLocal8Bit() + "\r\n";
        }
    };
    const auto expectRefused = [&] {
        try {
            files.SaveLog(file);
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
    files.SaveLog(file);
    const QByteArray saved = disk.Read("log.txt");
    addLines(u'b');
    disk.LeaveFree(4096);
    expectRefused();
    EXPECT_EQ(disk.Read("log.txt"), saved) << "no part of the appended lines stays";

    disk.FreeSpace();
    files.SaveLog(file);
    EXPECT_EQ(disk.Read("log.txt"), expected);
}
