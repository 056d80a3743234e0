#include "geo/tile_math.h"
#include "platform/app_error.h"
#include "platform/file_replacement.h"
#include "settings/ini_file.h"
#include "support/hostile_files.h"
#include "support/nearly_full_disk.h"
#include "task_fixture.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

#include <QLocale>
#include <gtest/gtest.h>

namespace {
const QDateTime kStart(QDate(2026, 12, 7), QTime(19, 47, 5));
const QDateTime kLater(QDate(2026, 12, 8), QTime(8, 5, 0));

QByteArray Lines(std::initializer_list<const char*> lines)
{
    QByteArray bytes;
    for (const char* line : lines)
        bytes += QByteArray(line) + "\r\n";
    return bytes;
}

void WriteAll(const MDTask& task, const QDateTime& now = kStart)
{
    task.WriteProjectFile();
    task.WriteTileList();
    task.WriteTaskLog(now);
    task.CreateFailedTileList();
}
}

TEST(TaskFiles, ProjectFileOfANewTask)
{
    ExampleTask example;
    WriteAll(MDTask(&example.parameters));
    EXPECT_EQ(example.folder.Read("newtask.qtsk"),
        Lines({"[MapsType]", "MapsType=8", "", "[AREA]", "LeftLongitude=116", "RightLongitude=116.5",
            "TopLatitude=40", "BottomLatitude=39.5", "", "Left_Longitude_download=115.6640625",
            "Right_Longitude_download=116.71875", "Top_Latitude_download=40.178873314347",
            "Bottom_Latitude_download=39.3682791491601", "", "[Zoom]", "Zoom=10", "", "[XY]", "MinX=841",
            "MinY=387", "MaxX=843", "MaxY=389", "", "[THREADS]", "ThreadCount=8", "T1X=", "T1Y=", "T2X=",
            "T2Y=", "T3X=", "T3Y=", "T4X=", "T4Y=", "T5X=", "T5Y=", "T6X=", "T6Y=", "T7X=", "T7Y=", "T8X=",
            "T8Y=", ""}));
}

TEST(TaskFiles, TileListHasFixedFieldsForEveryTileColumnsOuter)
{
    ExampleTask example;
    WriteAll(MDTask(&example.parameters));
    const QByteArray list = example.folder.Read("newtask_list.txt");
    const QList<QByteArray> lines = list.split('\n');
    ASSERT_EQ(lines.size(), 11);  // header, 9 tiles, nothing after the last CR LF
    EXPECT_EQ(lines[0],
        "ImageFileName    Left_Edge_Longitude    Right_Edge_Longitude   Top_Edge_Latitude      Bottom_Edge_Latitude\r");
    EXPECT_EQ(lines[1],
        "os_841_387_10.png:   115.66406250000000   116.01562500000000    40.17887331434696    39.90973623453718\r");
    EXPECT_TRUE(lines[2].startsWith("os_841_388_10.png: "));
    EXPECT_TRUE(lines[4].startsWith("os_842_387_10.png: "));
    EXPECT_EQ(lines[9],
        "os_843_389_10.png:   116.36718750000000   116.71875000000000    39.63953756436669    39.36827914916013\r");
    EXPECT_TRUE(lines[10].isEmpty());
}

TEST(TaskFiles, NegativeLongitudesKeepAllDecimalsInTheListAndFifteenDigitsElsewhere)
{
    ExampleTask example;
    example.parameters.LeftLongitude = example.parameters.RightLongitude = -179.99862670898438;
    example.parameters.TopLatitude = example.parameters.BottomLatitude = 0.1;
    example.parameters.Zoom = 18;  // -179.99862670898438 is the edge between columns 0 and 1
    WriteAll(MDTask(&example.parameters));
    EXPECT_TRUE(example.folder.Read("newtask_list.txt").contains(" -179.99862670898438 "));
    EXPECT_TRUE(example.folder.Read("newtask.qtsk").contains("\r\nLeftLongitude=-179.998626708984\r\n"));
}

TEST(TaskFiles, LogOfANewTaskWithProxyHidesThePassword)
{
    ExampleTask example;
    example.parameters.UseProxy = true;
    example.parameters.ProxyServer = "proxy.local";
    example.parameters.ProxyPort = "3128";
    example.parameters.ProxyUsername = "me";
    example.parameters.ProxyPassword = "secret";
    const MDTask task(&example.parameters);
    WriteAll(task);

    const QByteArray path = example.folder.Path().toLocal8Bit();
    const QByteArray expected = "Project: " + path + "newtask.qtsk\r\n"
        + Lines({"Now time is:12/7/26 7:47:05 PM", "", "[MapsType]", "MapsType=8", "", "Using Proxy:",
            "Proxy Server:proxy.local", "Proxy Port:3128", "ProxyUsername:me", "ProxyPassword:********", "",
            "Left Longitude  input= 116", "Right Longitude input= 116.5", "Top Latitude    input= 40",
            "Bottom Latitude input= 39.5", "", "MinX = 841", "MinY = 387", "MaxX = 843", "MaxY = 389", "",
            "Left Longitude  download=115.6640625", "Right Longitude download=116.71875",
            "Top Latitude    download=40.178873314347", "Bottom Latitude download=39.3682791491601", ""})
        + "All images' scope information are saved to " + path + "newtask_list.txt\r\n"
        + Lines({"", "Total count of images would be downloaded: 9", "", "Download threads count: 8", "",
            "Zoom level: 10", ""})
        + "path: " + path + "\r\n" + Lines({"", "Start downloading...", "~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~"});
    EXPECT_EQ(example.folder.Read("newtask_log.txt"), expected);
}

TEST(TaskFiles, OneTileTaskWithoutProxy)
{
    ExampleTask example;
    example.parameters.RightLongitude = example.parameters.LeftLongitude;
    example.parameters.BottomLatitude = example.parameters.TopLatitude;
    example.parameters.UseProxy = false;
    example.parameters.ProxyPassword = "unused";
    const MDTask task(&example.parameters);
    example.parameters.ThreadCount = 1;
    WriteAll(task);

    const QByteArray log = example.folder.Read("newtask_log.txt");
    EXPECT_TRUE(log.contains("\r\nMapsType=8\r\n\r\nLeft Longitude  input= 116\r\n"));
    EXPECT_FALSE(log.contains("Proxy"));
    EXPECT_TRUE(log.contains("\r\nTotal count of images would be downloaded: 1\r\n"));
    EXPECT_TRUE(log.contains("\r\nDownload threads count: 1\r\n"));
    EXPECT_EQ(example.folder.Read("newtask_list.txt").count("\r\n"), 2);
    EXPECT_TRUE(example.folder.Read("newtask.qtsk").contains("\r\nThreadCount=1\r\n"));
    EXPECT_EQ(example.folder.Read("newtask_failed.ftl"), "");
}

TEST(TaskFiles, ContinuingAppendsToTheLogAndLeavesTheOtherFiles)
{
    ExampleTask example;
    WriteAll(MDTask(&example.parameters));
    example.folder.Write("newtask_failed.ftl", "a.png|http://x/a.png\r\n");
    const QByteArray project = example.folder.Read("newtask.qtsk");
    const QByteArray list = example.folder.Read("newtask_list.txt");
    const QByteArray firstLog = example.folder.Read("newtask_log.txt");

    example.parameters.Continue = true;
    example.parameters.LeftLongitude = 116.01;  // a continued task never rewrites its whole files
    WriteAll(MDTask(&example.parameters), kLater);
    WriteAll(MDTask(&example.parameters), kLater);

    EXPECT_EQ(example.folder.Read("newtask.qtsk"), project);
    EXPECT_EQ(example.folder.Read("newtask_list.txt"), list);
    EXPECT_EQ(example.folder.Read("newtask_failed.ftl"), "a.png|http://x/a.png\r\n");
    const QByteArray block = Lines({"--------------------------------------------", "Log continue...",
        "Now time is:12/8/26 8:05:00 AM"});
    EXPECT_EQ(example.folder.Read("newtask_log.txt"), firstLog + block + block);
}

// A Start that was killed, or ran out of disk, left some files out.
TEST(TaskFiles, ContinuingRecreatesWhatIsMissingOrCutShort)
{
    ExampleTask example;
    const MDTask task(&example.parameters);
    task.WriteTaskFiles(kStart);
    TIniFile(task.Parameters->Path + task.Parameters->TaskName).WriteInteger("THREADS", "T2X", 843);
    const QByteArray project = example.folder.Read("newtask.qtsk");
    const QByteArray list = example.folder.Read("newtask_list.txt");
    const QByteArray newLog = example.folder.Read("newtask_log.txt");
    QFile::remove(task.LogFileName);
    QFile::remove(task.FailedFileName);
    example.folder.Write("newtask_list.txt", list.left(list.size() / 2));

    example.parameters.Continue = true;
    MDTask(&example.parameters).WriteTaskFiles(kStart);
    EXPECT_EQ(example.folder.Read("newtask_log.txt"),
        "The earlier log of this task was missing; this log starts afresh.\r\n" + newLog);
    EXPECT_EQ(example.folder.Read("newtask_list.txt"), list);
    EXPECT_EQ(example.folder.Read("newtask_failed.ftl"), "");
    EXPECT_EQ(example.folder.Read("newtask.qtsk"), project);

    example.folder.Write("newtask_log.txt", "");  // emptied by a full disk
    MDTask(&example.parameters).WriteTaskFiles(kStart);
    EXPECT_TRUE(example.folder.Read("newtask_log.txt").startsWith("The earlier log of this task was missing"));
}

// A project file with no saved position is a task that never ran, such as
// one the Map Viewer wrote for its selection: its log is a new task's.
TEST(TaskFiles, ContinuingATaskThatNeverRanWritesANewTasksFiles)
{
    ExampleTask example;
    MDTask(&example.parameters).WriteProjectFile();
    const QByteArray project = example.folder.Read("newtask.qtsk");

    example.parameters.Continue = true;
    MDTask(&example.parameters).WriteTaskFiles(kStart);
    const QByteArray log = example.folder.Read("newtask_log.txt");
    const QByteArray list = example.folder.Read("newtask_list.txt");
    EXPECT_TRUE(log.startsWith("Project: ")) << log.left(80).toStdString();

    ExampleTask fresh;
    MDTask(&fresh.parameters).WriteTaskFiles(kStart);
    EXPECT_EQ(log, QByteArray(fresh.folder.Read("newtask_log.txt")).replace(fresh.folder.Path().toLocal8Bit(),
                       example.folder.Path().toLocal8Bit()));
    EXPECT_EQ(list, fresh.folder.Read("newtask_list.txt"));
    EXPECT_EQ(example.folder.Read("newtask.qtsk"), project);
}

// Nothing vouches for a new task's files until all of them are written.
TEST(TaskFilesOnAFullDisk, ANewStartThatFailsLeavesNoProjectFile)
{
    NearlyFullDisk disk;
    TaskParameters parameters = ExampleTask().parameters;
    parameters.Path = disk.Path();
    MDTask(&parameters).WriteTaskFiles(kStart);
    const QByteArray firstList = disk.Read("newtask_list.txt");

    parameters.Zoom = 14;  // 33 x 37 tiles: a list of 128 KB
    const MDTask bigger(&parameters);
    disk.LeaveFree(16384);
    try {
        bigger.WriteTaskFiles(kStart);
        FAIL() << "the list must not fit";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), "Cannot create file " + bigger.ListFileName + ": " + disk.Reason());
    }
    EXPECT_FALSE(QFile::exists(disk.File("newtask.qtsk")));
    EXPECT_EQ(disk.Read("newtask_list.txt"), firstList);

    disk.FreeSpace();
    bigger.WriteTaskFiles(kStart);
    EXPECT_TRUE(disk.Read("newtask.qtsk").contains("\r\nZoom=14\r\n"));
    EXPECT_EQ(disk.Read("newtask_list.txt").count("\r\n"), bigger.TotalCount + 1);
}

TEST(TaskFiles, RealsFollowTheRegionalDecimalSeparator)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ExampleTask example;
    WriteAll(MDTask(&example.parameters));
    QLocale::setDefault(saved);
    EXPECT_TRUE(example.folder.Read("newtask.qtsk").contains("\r\nRightLongitude=116,5\r\n"));
    EXPECT_TRUE(example.folder.Read("newtask_log.txt").contains("\r\nBottom Latitude input= 39,5\r\n"));
    EXPECT_TRUE(example.folder.Read("newtask_list.txt").contains("   115.66406250000000 "));
}

TEST(TaskFiles, TallRangesListEveryRowTheSameWay)
{
    // More rows than the list writer keeps ready-made edge texts for.
    ExampleTask example;
    const int zoom = 17;
    example.parameters.Zoom = zoom;
    example.parameters.LeftLongitude = example.parameters.RightLongitude = 0.001;
    example.parameters.TopLatitude = TileYToLatitude(40000.5, zoom);
    example.parameters.BottomLatitude = TileYToLatitude(110000.5, zoom);
    const MDTask task(&example.parameters);
    task.WriteTileList();

    const QList<QByteArray> lines = example.folder.Read("newtask_list.txt").split('\n');
    ASSERT_EQ(lines.size(), 70001 + 2);
    for (int y : {40000, 40000 + 65535, 40000 + 65536, 110000}) {
        const QString expected = QString::asprintf("os_65536_%d_17.png: %20.14f %20.14f %20.14f %20.14f\r", y,
            TileXToLongitude(65536, zoom), TileXToLongitude(65537, zoom), TileYToLatitude(y, zoom),
            TileYToLatitude(y + 1.0, zoom));
        EXPECT_EQ(lines[y - 40000 + 1], expected.toLatin1());
    }

    // Continuing keeps a whole list as it is, however wide its numbers.
    const auto inode = [&] {
        struct stat info {};
        ::stat(task.ListFileName.toLocal8Bit().constData(), &info);
        return info.st_ino;
    };
    const ino_t written = inode();
    example.parameters.Continue = true;
    MDTask(&example.parameters).WriteTileList();
    EXPECT_EQ(inode(), written);
}

TEST(TaskFiles, TheLogShowsThePauseOnlyWhenTheMapTypeHasAPauseKey)
{
    ExampleTask example;
    WriteAll(MDTask(&example.parameters));
    EXPECT_TRUE(example.folder.Read("newtask_log.txt").endsWith("\r\n~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\n"));

    example.parameters.PauseAfterTile = {0, 0};
    WriteAll(MDTask(&example.parameters));
    EXPECT_TRUE(example.folder.Read("newtask_log.txt")
                    .endsWith("\r\n~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\nPause after each tile: 0 ms\r\n"));

    example.parameters.Continue = true;
    example.parameters.PauseAfterTile = {1000, 0};
    WriteAll(MDTask(&example.parameters), kLater);
    EXPECT_TRUE(example.folder.Read("newtask_log.txt")
                    .endsWith(Lines({"Log continue...", "Now time is:12/8/26 8:05:00 AM",
                        "Pause after each tile: 1000 ms (raised from 0 ms for openstreetmap.org)"})));
}

// A Start killed while it wrote the tile list left the temporary file at its
// fixed name; the next Start takes that name again, so nothing stays.
TEST(TaskFiles, ALeftoverTemporaryListGoesAtTheNextStart)
{
    ExampleTask example;
    example.folder.Write("newtask_list.txt.part", QByteArray(100000, 'x'));
    const MDTask task(&example.parameters);
    task.WriteTaskFiles(kStart);
    EXPECT_EQ(QDir(example.folder.Path()).entryList({"*.part"}, QDir::Files | QDir::System), QStringList());
    EXPECT_TRUE(example.folder.Read("newtask_list.txt").startsWith("ImageFileName "));
}

// Stopped while it writes the list of a large task: what it wrote goes, and
// no project file vouches for files that are not there.
TEST(TaskFiles, AStopWhileTheTileListIsWrittenLeavesNoListBehind)
{
    ExampleTask example;
    example.parameters.Zoom = 18;  // 173,000 tiles: more than two questions
    const MDTask task(&example.parameters);
    int questions = 0;
    bool listExisted = false;
    const auto stop = [&] {
        listExisted = listExisted || QFile::exists(task.ListFileName + ".part");
        return ++questions == 2;
    };
    EXPECT_THROW(task.WriteTaskFiles(kStart, stop), StartStopped);
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(listExisted);
    EXPECT_EQ(QDir(example.folder.Path()).entryList(QDir::Files | QDir::System), QStringList());
}

// The task's own files are never opened as a pipe or device, where an open
// would wait for a reader: Start refuses before it writes anything.
TEST(TaskFiles, APipeAtATaskFilesNameIsRefused)
{
    for (const char* name : {"newtask_failed.ftl", "newtask_log.txt", "newtask_list.txt"}) {
        ExampleTask example;
        ASSERT_TRUE(hostile::MakeFifo(example.folder.File(name)));
        const MDTask task(&example.parameters);
        try {
            task.WriteTaskFiles(kStart);
            ADD_FAILURE() << name << " accepted";
        } catch (const FileWriteError& error) {
            EXPECT_EQ(error.Message(), "Cannot create file " + example.folder.File(name) + ": not a regular file");
        }
        EXPECT_FALSE(QFile::exists(example.folder.File("newtask.qtsk")));
    }
}
