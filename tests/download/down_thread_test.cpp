#include "download/down_thread.h"
#include "download/report_collector.h"
#include "platform/folders.h"
#include "support/loopback_http_server.h"
#include "support/temp_folder.h"
#include "task/download_task.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <gtest/gtest.h>

// Readable failure output for log lines.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {
// The body of every tile names its address, so a test sees which tile went where.
ScriptedReply TileNamedByPath(const QByteArray& head)
{
    return ScriptedReply::Ok(head.mid(4, head.indexOf(" HTTP/") - 4));
}

class DownThreadTest : public testing::Test {
protected:
    static void SetUpTestSuite() { InitializeHttp(); }

    void SetUp() override
    {
        server.SetResponder(TileNamedByPath);
        parameters.Path = folder.Path();
        parameters.TaskName = QStringLiteral("area.qtsk");
        parameters.Zoom = 4;
        parameters.ThreadCount = 1;
        parameters.Servers.Mapnik = server.BaseUrl() + QStringLiteral("/{z}/{x}/{y}.png");
        OverrideExecutableFolder(folder.Path() + QStringLiteral("exe"));
    }

    void TearDown() override { OverrideExecutableFolder(QString()); }

    // A task over columns minX..maxX and rows minY..maxY.
    MDTask& Task(int minX, int maxX, int minY, int maxY)
    {
        task = std::make_unique<MDTask>(&parameters);
        task->MinX = minX;
        task->MaxX = maxX;
        task->MinY = minY;
        task->MaxY = maxY;
        return *task;
    }

    // Runs ThreadCount workers with the event loop running until each has
    // reported ThreadFinished. Pauses are recorded per worker, not slept.
    void RunWorkers()
    {
        const int count = parameters.ThreadCount;
        pauses.assign(size_t(count), {});
        for (int i = 0; i < count; ++i) {
            workers.push_back(std::make_unique<TDownThread>(true, i, task.get(), &receiver, [this, i](int ms) {
                pauses[size_t(i)].push_back(ms);
                if (onPause)
                    onPause(i, ms);
            }));
        }
        for (auto& worker : workers)
            worker->start();
        QElapsedTimer elapsed;
        elapsed.start();
        while (receiver.Finished < count && elapsed.elapsed() < 20000)
            Deliver();
        ASSERT_EQ(receiver.Finished, count);
        for (auto& worker : workers)
            ASSERT_TRUE(worker->wait(5000));
    }

    // What the main window's drain does, a little more often.
    void Deliver()
    {
        QThread::msleep(1);
        for (auto& worker : workers)
            worker->DeliverReports();
    }

    QString Url(int x, int y) const { return task->TileUrl(x, y); }
    QByteArray TileFile(int x, int y) const { return folder.Read(QStringLiteral("area/") + task->TileFileName(x, y)); }
    bool TileExists(int x, int y) const { return QFile::exists(task->TileFilePath(x, y)); }

    void ProvideBlankImage(const QByteArray& bytes)
    {
        QDir().mkpath(folder.Path() + QStringLiteral("exe/blankimg"));
        folder.Write(QStringLiteral("exe/blankimg/blank.png"), bytes);
    }

    QStringList RequestPaths() const
    {
        QStringList paths;
        for (const QByteArray& head : server.RequestHeads())
            paths << QString::fromLatin1(head.mid(4, head.indexOf(" HTTP/") - 4));
        return paths;
    }

    LoopbackHttpServer server;
    TempFolder folder;
    TaskParameters parameters;
    std::unique_ptr<MDTask> task;
    ReportCollector receiver;
    std::vector<std::vector<int>> pauses;
    std::function<void(int worker, int ms)> onPause;
    std::vector<std::unique_ptr<TDownThread>> workers;
};
}

TEST_F(DownThreadTest, OneWorkerStoresEveryTileInWalkOrderOverOneConnection)
{
    Task(8, 9, 5, 6);
    RunWorkers();

    EXPECT_EQ(receiver.Log,
        QStringList({"T1:seq=1,os_8_5_4.png OK", "T1:seq=2,os_8_6_4.png OK", "T1:seq=3,os_9_5_4.png OK",
            "T1:seq=4,os_9_6_4.png OK", "T1 Finished."}));
    EXPECT_TRUE(receiver.Failed.isEmpty());
    EXPECT_EQ(RequestPaths(), QStringList({"/4/8/5.png", "/4/8/6.png", "/4/9/5.png", "/4/9/6.png"}));
    EXPECT_EQ(TileFile(8, 6), QByteArray("/4/8/6.png"));
    EXPECT_EQ(TileFile(9, 5), QByteArray("/4/9/5.png"));
    EXPECT_EQ(pauses[0], std::vector<int>({0, 1000, 1000, 1000, 1000}));  // no stagger for the first
    EXPECT_EQ(workers[0]->CurrentX(), 9);
    EXPECT_EQ(workers[0]->CurrentY(), 6);
    EXPECT_EQ(server.ConnectionsAccepted(), 1);
}

TEST_F(DownThreadTest, ThreeWorkersShareSevenTilesByPlaceModuloTheirCount)
{
    parameters.ThreadCount = 3;
    Task(3, 3, 10, 16);
    RunWorkers();

    QStringList byWorker[3];
    for (const QString& line : receiver.Log)
        byWorker[line.mid(1, 1).toInt() - 1] << line;
    EXPECT_EQ(byWorker[0], QStringList({"T1:seq=3,os_3_12_4.png OK", "T1:seq=6,os_3_15_4.png OK", "T1 Finished."}));
    EXPECT_EQ(byWorker[1], QStringList({"T2:seq=1,os_3_10_4.png OK", "T2:seq=4,os_3_13_4.png OK",
                               "T2:seq=7,os_3_16_4.png OK", "T2 Finished."}));
    EXPECT_EQ(byWorker[2], QStringList({"T3:seq=2,os_3_11_4.png OK", "T3:seq=5,os_3_14_4.png OK", "T3 Finished."}));
    // Workers start 100 ms apart; each has its own connection.
    EXPECT_EQ(pauses[0], std::vector<int>({0, 1000, 1000}));
    EXPECT_EQ(pauses[1], std::vector<int>({100, 1000, 1000, 1000}));
    EXPECT_EQ(pauses[2], std::vector<int>({200, 1000, 1000}));
    EXPECT_EQ(server.ConnectionsAccepted(), 3);
    EXPECT_EQ(server.RequestCount(), 7);
}

// A short pause shortens the start stagger with it (no pause, no stagger).
TEST_F(DownThreadTest, WorkersStartNoFurtherApartThanThePauseAfterATile)
{
    parameters.ThreadCount = 3;
    parameters.PauseAfterTile.Ms = 150;
    Task(3, 3, 10, 16);
    RunWorkers();
    EXPECT_EQ(pauses[0], std::vector<int>({0, 150, 150}));
    EXPECT_EQ(pauses[1], std::vector<int>({100, 150, 150, 150}));
    EXPECT_EQ(pauses[2], std::vector<int>({150, 150, 150}));
}

TEST_F(DownThreadTest, AResumedWorkerSkipsEveryPlaceUpToItsResumePoint)
{
    Task(8, 9, 5, 7);
    task->ResumeX[0] = 8;
    task->ResumeY[0] = 6;  // place 2
    RunWorkers();

    EXPECT_EQ(receiver.Log, QStringList({"T1:seq=3,os_8_7_4.png OK", "T1:seq=4,os_9_5_4.png OK",
                                "T1:seq=5,os_9_6_4.png OK", "T1:seq=6,os_9_7_4.png OK", "T1 Finished."}));
}

TEST_F(DownThreadTest, AResumePointInColumnOrRowZeroCountsAsNone)
{
    Task(0, 1, 3, 4);
    task->ResumeX[0] = 0;
    task->ResumeY[0] = 4;
    RunWorkers();
    EXPECT_EQ(server.RequestCount(), 4);
    EXPECT_EQ(receiver.Log.first(), QStringLiteral("T1:seq=1,os_0_3_4.png OK"));
}

TEST_F(DownThreadTest, AResumedWorkerStoppedBeforeItsFirstTileHasNoPositionYet)
{
    Task(8, 9, 5, 7);
    task->ResumeX[0] = 8;
    task->ResumeY[0] = 6;
    workers.push_back(std::make_unique<TDownThread>(true, 0, task.get(), &receiver, [](int) {}));
    auto& worker = workers[0];
    worker->RequestStop();
    worker->start();
    while (receiver.Finished < 1)
        Deliver();
    worker->wait();

    // 0 means none: the monitor then leaves the stored resume point as it was.
    EXPECT_EQ(receiver.Log, QStringList({"T1 Finished."}));
    EXPECT_EQ(worker->CurrentX(), 0);
    EXPECT_EQ(worker->CurrentY(), 0);
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(DownThreadTest, AStopEndsTheWorkerAtTheNextTileBoundary)
{
    Task(8, 9, 5, 6);
    onPause = [this](int worker, int ms) {
        if (ms == 1000)
            workers[size_t(worker)]->RequestStop();
    };
    RunWorkers();

    EXPECT_EQ(receiver.Log, QStringList({"T1:seq=1,os_8_5_4.png OK", "T1 Finished."}));
    EXPECT_EQ(pauses[0], std::vector<int>({0, 1000}));  // the stop waited for the pause after the tile
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(DownThreadTest, AStopDuringRetriesEndsTheTileWithoutAnOutcome)
{
    Task(8, 9, 5, 5);
    server.Script({ScriptedReply::Status("HTTP/1.1 500 Busy"), ScriptedReply::Status("HTTP/1.1 500 Busy")});
    onPause = [this](int worker, int ms) {
        if (ms > 0)
            workers[size_t(worker)]->RequestStop();
    };
    RunWorkers();

    EXPECT_EQ(receiver.Log, QStringList({"T1 Finished."}));
    EXPECT_TRUE(receiver.Failed.isEmpty());
    EXPECT_EQ(pauses[0], std::vector<int>({0, 1000}));
    EXPECT_EQ(server.RequestCount(), 1);
    EXPECT_EQ(workers[0]->CurrentX(), 0);
}

TEST_F(DownThreadTest, AStopAbortsATransferUnderWayAndLeavesTheTileForTheNextRun)
{
    Task(8, 9, 5, 5);
    server.SetResponder([this](const QByteArray&) {
        workers[0]->RequestStop();
        return ScriptedReply::Trickle(40, 250);  // ten seconds unless aborted
    });
    RunWorkers();

    EXPECT_EQ(receiver.Log, QStringList({"T1 Finished."}));
    EXPECT_TRUE(receiver.Failed.isEmpty());
    EXPECT_EQ(workers[0]->CurrentX(), 0);
    EXPECT_FALSE(TileExists(8, 5));
}

// The pause after each tile may be set to a minute, and a failure waits up
// to 8 s: a stop, as when the window closes, waits for neither.
TEST_F(DownThreadTest, AStopCutsTheRealPausesShort)
{
    const auto stopsWithin = [this](const std::function<bool()>& pausing, int ms) {
        ReportCollector reports;
        TDownThread worker(false, 0, task.get(), &reports);
        QElapsedTimer started;
        started.start();
        while (!pausing() && started.elapsed() < 5000)
            QThread::msleep(1);
        QThread::msleep(100);
        worker.RequestStop();
        const bool ended = worker.wait(ms);
        worker.DeliverReports();
        return ended && reports.Log.value(reports.Log.size() - 1) == "T1 Finished.";
    };
    parameters.PauseAfterTile.Ms = 60000;
    Task(8, 9, 5, 5);
    EXPECT_TRUE(stopsWithin([this] { return TileExists(8, 5); }, 5000)) << "the pause after a stored tile";
    // A refused connection is retried after 2 s.
    parameters.Servers.Mapnik = QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(LoopbackHttpServer::UnusedPort());
    Task(8, 9, 5, 5);
    EXPECT_TRUE(stopsWithin([] { return true; }, 1500)) << "the pause before a retry";
}

TEST_F(DownThreadTest, NotFoundThreeTimesGivesTwoLinesABlankImageAndNoFailedRecord)
{
    ProvideBlankImage("blank");
    Task(8, 8, 5, 6);
    server.Script({ScriptedReply::Status("HTTP/1.1 404 Not Found"), ScriptedReply::Status("HTTP/1.1 404 Not Found"),
        ScriptedReply::Status("HTTP/1.1 404 Not Found")});
    RunWorkers();

    EXPECT_EQ(receiver.Log, QStringList({"Error: the image is not found on server.HTTP/1.1 404 Not Found",
                                "T1:8-5 got a blank image!", "T1:seq=2,os_8_6_4.png OK", "T1 Finished."}));
    EXPECT_TRUE(receiver.Failed.isEmpty());
    EXPECT_EQ(TileFile(8, 5), QByteArray("blank"));
    EXPECT_EQ(pauses[0], std::vector<int>({0, 1000, 1000, 1000}));  // two retries, then the stored tile
    EXPECT_EQ(workers[0]->CurrentY(), 6);
}

TEST_F(DownThreadTest, OtherFailuresAndHugeBodiesAreRecordedReplacedByTheBlankImageAndPassedOver)
{
    ProvideBlankImage("blank");
    Task(8, 8, 5, 6);
    const QByteArray huge = "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(17 * 1024 * 1024) + "\r\n\r\n";
    server.Script({ScriptedReply::Status("HTTP/1.1 500 Internal Server Error"), ScriptedReply::Status("HTTP/1.1 400"),
        ScriptedReply::Status("HTTP/1.1 500 Internal Server Error"), ScriptedReply::Raw(huge, true),
        ScriptedReply::Raw(huge, true), ScriptedReply::Raw(huge, true)});
    RunWorkers();

    // The 400 in the middle counts as the tile's second attempt; the third decides.
    EXPECT_EQ(receiver.Log,
        QStringList({"T1 HTTP/1.1 500 Internal Server Error->" + Url(8, 5), "T1:8-5 got a blank image!",
            "T1 The reply body is larger than 16 MiB and was refused.->" + Url(8, 6), "T1:8-6 got a blank image!",
            "T1 Finished."}));
    EXPECT_EQ(receiver.Failed,
        QStringList({task->TileFilePath(8, 5) + "|" + Url(8, 5), task->TileFilePath(8, 6) + "|" + Url(8, 6)}));
    EXPECT_EQ(TileFile(8, 6), QByteArray("blank"));
    EXPECT_EQ(workers[0]->CurrentY(), 6);
}

TEST_F(DownThreadTest, BlockedEndsTheWorkerWithItsMessageAndLeavesThePositionAlone)
{
    Task(8, 9, 5, 5);
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Status("HTTP/1.1 302 Found"); });
    RunWorkers();

    EXPECT_EQ(receiver.Log, QStringList({"T1 HTTP/1.1 302 Found->" + Url(8, 5),
                                "Error: may be your IP is banned.\nPlease try again later.", "T1 Finished."}));
    EXPECT_EQ(receiver.Failed, QStringList({task->TileFilePath(8, 5) + "|" + Url(8, 5)}));
    EXPECT_EQ(pauses[0], std::vector<int>({0, 1000, 1000}));
    EXPECT_EQ(server.RequestCount(), 3);
    EXPECT_EQ(workers[0]->CurrentX(), 0);
    EXPECT_FALSE(TileExists(8, 5));
}

TEST_F(DownThreadTest, AttemptsSpentOnResetsCountTowardsTheLimitOfTheLaterClass)
{
    Task(8, 9, 5, 5);
    server.Script({ScriptedReply::Reset(), ScriptedReply::CloseBeforeReply(), ScriptedReply::Status("HTTP/1.1 403")});
    RunWorkers();

    EXPECT_EQ(receiver.Log, QStringList({"T1 HTTP/1.1 403->" + Url(8, 5),
                                "Error: may be your IP is banned.\nPlease try again later.", "T1 Finished."}));
    // Resets retry at once; the 403 came on the last attempt.
    EXPECT_EQ(pauses[0], std::vector<int>({0}));
    EXPECT_EQ(server.RequestCount(), 3);
}

TEST_F(DownThreadTest, ANetworkThatIsDownEndsTheWorkerAfterThreeAttempts)
{
    parameters.Servers.Mapnik =
        QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(LoopbackHttpServer::UnusedPort());
    Task(8, 9, 5, 5);
    RunWorkers();

    EXPECT_EQ(receiver.Log,
        QStringList({"T1 Socket Error # 10061\r\nConnection refused.->" + Url(8, 5),
            "Error: Your network has problem, please check it.", "T1 Finished."}));
    EXPECT_EQ(receiver.Failed.size(), 1);
    EXPECT_EQ(pauses[0], std::vector<int>({0, 2000, 2000}));
}

TEST_F(DownThreadTest, EndlessResetsEndAsANetworkFailureAtTheBound)
{
    Task(8, 9, 5, 5);
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Reset(); });
    RunWorkers();

    EXPECT_EQ(server.RequestCount(), 20);
    EXPECT_EQ(receiver.Log, QStringList({"T1 Socket Error # 10054\r\nConnection reset by peer.->" + Url(8, 5),
                                "Error: Your network has problem, please check it.", "T1 Finished."}));
    EXPECT_EQ(receiver.Failed.size(), 1);
}

TEST_F(DownThreadTest, AStopIsSeenBetweenResetAttempts)
{
    Task(8, 9, 5, 5);
    server.SetResponder([this](const QByteArray&) {
        if (server.RequestCount() == 3)
            workers[0]->RequestStop();
        return ScriptedReply::Reset();
    });
    RunWorkers();

    EXPECT_EQ(server.RequestCount(), 3);
    EXPECT_EQ(receiver.Log, QStringList({"T1 Finished."}));
    EXPECT_TRUE(receiver.Failed.isEmpty());
}

TEST_F(DownThreadTest, ABodyCutShortIsRetriedAtOnce)
{
    Task(8, 8, 5, 5);
    server.Script({ScriptedReply::CloseMidBody(100, 10)});
    RunWorkers();
    EXPECT_EQ(receiver.Log, QStringList({"T1:seq=1,os_8_5_4.png OK", "T1 Finished."}));
    EXPECT_EQ(server.RequestCount(), 2);
}

TEST_F(DownThreadTest, TheBlankImageNeverReplacesAnExistingFileAndMayBeMissing)
{
    Task(8, 8, 5, 6);
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Status("HTTP/1.1 404 Not Found"); });
    folder.Write(QStringLiteral("area/") + task->TileFileName(8, 5), "earlier tile");
    RunWorkers();  // no blank image beside the executable

    EXPECT_FALSE(receiver.Log.contains(QStringLiteral("T1:8-6 got a blank image!")));
    EXPECT_TRUE(receiver.Log.contains("T1 Error: cannot write the tile file " + task->TileFilePath(8, 6)
        + ": the blank image " + ShippedFilesFolder() + "blankimg/blank.png: No such file or directory"));
    EXPECT_FALSE(TileExists(8, 6));
    EXPECT_EQ(TileFile(8, 5), QByteArray("earlier tile"));
}

TEST_F(DownThreadTest, OnlyATileThatGotTheBlankImageSaysSo)
{
    ProvideBlankImage("blank");
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Status("HTTP/1.1 404 Not Found"); });
    Task(8, 8, 5, 5);
    // A file where the image folder should be: no tile file can be made.
    ASSERT_TRUE(QDir(folder.File("area")).removeRecursively());
    folder.Write(QStringLiteral("area"), "not a folder");
    RunWorkers();
    EXPECT_EQ(receiver.Log.filter(QStringLiteral("blank image")), QStringList());
    EXPECT_TRUE(receiver.Log.contains(
        "T1 Error: cannot write the tile file " + task->TileFilePath(8, 5) + ": Not a directory"));

    QFile::remove(folder.File("area"));
    workers.clear();
    receiver = {};
    Task(8, 8, 5, 6);
    folder.Write(QStringLiteral("area/") + task->TileFileName(8, 5), "earlier tile");
    RunWorkers();
    EXPECT_EQ(receiver.Log.filter(QStringLiteral("blank image")), QStringList({"T1:8-6 got a blank image!"}));
    EXPECT_EQ(TileFile(8, 5), QByteArray("earlier tile"));
    EXPECT_EQ(TileFile(8, 6), QByteArray("blank"));
}

TEST_F(DownThreadTest, AClientLibcurlCannotSetUpIsLoggedAndTheRunEnds)
{
    parameters.UseProxy = true;
    parameters.ProxyServer = QString(8'000'001, u'p');  // longer than libcurl takes
    parameters.ProxyPort = QStringLiteral("8080");
    Task(8, 9, 5, 5);
    RunWorkers();

    ASSERT_EQ(receiver.Log.size(), 2);
    EXPECT_TRUE(receiver.Log[0].startsWith(
        QStringLiteral("T1 Error: the HTTP client cannot be set up: libcurl refused the option CURLOPT_PROXY: ")));
    EXPECT_EQ(receiver.Log[1], QStringLiteral("T1 Finished."));
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(DownThreadTest, AProxyPortThatIsNotANumberIsLoggedAndTheRunEnds)
{
    parameters.UseProxy = true;
    parameters.ProxyServer = QStringLiteral("127.0.0.1");
    parameters.ProxyPort = QStringLiteral("80a");
    Task(8, 9, 5, 5);
    RunWorkers();

    EXPECT_EQ(receiver.Log,
        QStringList({"T1 Error: the proxy port \"80a\" is not a whole number from 1 to 65535; please check the "
                     "proxy settings.",
            "T1 Finished."}));
    EXPECT_EQ(server.RequestCount(), 0);
}

TEST_F(DownThreadTest, ATileFileThatCannotBeWrittenIsReportedAndEndsTheRun)
{
    Task(8, 9, 5, 5);
    QDir(task->ImageFolder).removeRecursively();
    RunWorkers();

    ASSERT_EQ(receiver.Log.size(), 2);
    EXPECT_TRUE(receiver.Log[0].startsWith("T1 Error: cannot write the tile file " + task->TileFilePath(8, 5) + ": "))
        << receiver.Log[0].toStdString();
    EXPECT_GT(receiver.Log[0].size(), ("T1 Error: cannot write the tile file " + task->TileFilePath(8, 5) + ": ").size());
    EXPECT_EQ(receiver.Log[1], QStringLiteral("T1 Finished."));
    EXPECT_EQ(receiver.Failed, QStringList({task->TileFilePath(8, 5) + "|" + Url(8, 5)}));
    EXPECT_EQ(workers[0]->CurrentX(), 0);
    EXPECT_EQ(server.RequestCount(), 1);
}

// A link at a tile's name, planted by anyone who may write in the folder,
// is never written through: the tile is reported as not written instead.
TEST_F(DownThreadTest, ALinkAtATilesNameIsNeverWrittenThrough)
{
    Task(8, 8, 5, 6);
    folder.Write("victim.txt", "victim");
    ASSERT_TRUE(QFile::link(folder.File("victim.txt"), task->TileFilePath(8, 5)));
    RunWorkers();

    EXPECT_EQ(folder.Read("victim.txt"), "victim");
    ASSERT_EQ(receiver.Log.size(), 2);
    EXPECT_TRUE(receiver.Log[0].startsWith("T1 Error: cannot write the tile file " + task->TileFilePath(8, 5) + ": "))
        << receiver.Log[0].toStdString();
    EXPECT_EQ(receiver.Failed, QStringList({task->TileFilePath(8, 5) + "|" + Url(8, 5)}));
}

// A link planted at the image folder's name leads no tile into the folder it
// points at: the first tile is reported as not written, and the run ends.
TEST_F(DownThreadTest, ALinkAtTheImageFoldersNameIsNeverWrittenThrough)
{
    Task(8, 8, 5, 6);
    ASSERT_TRUE(QDir(task->ImageFolder).removeRecursively());
    ASSERT_TRUE(QDir(folder.Path()).mkdir("elsewhere"));
    ASSERT_TRUE(QFile::link(folder.File("elsewhere"), folder.File("area")));
    RunWorkers();

    EXPECT_TRUE(QDir(folder.File("elsewhere")).isEmpty());
    ASSERT_EQ(receiver.Log.size(), 2);
    EXPECT_TRUE(receiver.Log[0].startsWith("T1 Error: cannot write the tile file " + task->TileFilePath(8, 5) + ": "))
        << receiver.Log[0].toStdString();
    EXPECT_EQ(receiver.Failed, QStringList({task->TileFilePath(8, 5) + "|" + Url(8, 5)}));
}

TEST_F(DownThreadTest, TheConfiguredPauseReplacesOnlyTheWaitAfterAStoredTile)
{
    parameters.PauseAfterTile.Ms = 0;
    Task(8, 8, 5, 7);
    server.Script({ScriptedReply::Status("HTTP/1.1 500 Busy")});
    RunWorkers();

    // The pause before a retry stays; the stored tiles wait 0 ms.
    EXPECT_EQ(pauses[0], std::vector<int>({0, 1000, 0, 0, 0}));
}

TEST_F(DownThreadTest, ManyFastTilesOfSeveralWorkersArriveInEachWorkersOrderWithTheirPosition)
{
    parameters.ThreadCount = 4;
    parameters.PauseAfterTile.Ms = 0;
    Task(0, 29, 0, 29);
    server.SetResponder([](const QByteArray& head) {
        return head.contains("/7.png ") ? ScriptedReply::Status("HTTP/1.1 500 Busy") : ScriptedReply::Ok("tile");
    });
    // Between drains the position delivered never passes a failed record
    // that has not been delivered too.
    for (int i = 0; i < parameters.ThreadCount; ++i)
        workers.push_back(std::make_unique<TDownThread>(false, i, task.get(), &receiver, [](int) {}));
    while (receiver.Finished < parameters.ThreadCount) {
        QThread::msleep(1);  // the workers move on meanwhile
        for (const auto& worker : workers) {
            const TilePosition position = worker->DeliveredPosition();
            for (int x = 0; x <= position.X; ++x) {
                const qint64 place = qint64(x) * 30 + 7 + 1;
                if (place % parameters.ThreadCount == worker->ThreadIndex && (x < position.X || position.Y >= 7)) {
                    ASSERT_TRUE(receiver.Failed.contains(task->TileFilePath(x, 7) + "|" + Url(x, 7))) << x;
                }
            }
        }
        for (auto& worker : workers)
            worker->DeliverReports();
    }

    EXPECT_EQ(receiver.Failed.size(), 30);
    for (int i = 0; i < parameters.ThreadCount; ++i) {
        const QString prefix = "T" + QString::number(i + 1);
        QStringList own;
        for (const QString& line : receiver.Log)
            if (line.startsWith(prefix + ":") || line.startsWith(prefix + " "))
                own << line;
        ASSERT_EQ(own.last(), prefix + " Finished.");
        qint64 lastSeq = 0;
        for (const QString& line : own.mid(0, own.size() - 1)) {
            if (!line.contains(":seq="))
                continue;
            const qint64 seq = line.section(u'=', 1).section(u',', 0, 0).toLongLong();
            EXPECT_GT(seq, lastSeq) << line.toStdString();
            EXPECT_EQ(seq % parameters.ThreadCount, i);
            lastSeq = seq;
        }
    }
}

// An http:// server answers HTTP/1.1: a worker allowed a window of GETs keeps
// to one at a time on its one connection, in walk order, as before.
TEST_F(DownThreadTest, AWindowOnAServerThatDoesNotMultiplexFallsBackToOneGetAtATime)
{
    parameters.ThreadCount = 2;
    parameters.PauseAfterTile.Ms = 0;
    parameters.TilesInFlight = 8;
    Task(8, 10, 5, 7);
    server.SetResponder([](const QByteArray& head) {
        return head.contains("/4/9/6.png") ? ScriptedReply::Status("HTTP/1.1 500 Busy") : TileNamedByPath(head);
    });
    RunWorkers();

    EXPECT_EQ(server.ConnectionsAccepted(), 2);
    EXPECT_LE(server.MostConnectionsAtOnce(), 2);  // one each
    EXPECT_EQ(receiver.Log.filter("T2:seq="),
        QStringList({"T2:seq=1,os_8_5_4.png OK", "T2:seq=3,os_8_7_4.png OK", "T2:seq=7,os_10_5_4.png OK",
            "T2:seq=9,os_10_7_4.png OK"}));
    // The tile that kept failing waited for each retry before the next GET.
    EXPECT_EQ(receiver.Failed, QStringList({task->TileFilePath(9, 6) + "|" + Url(9, 6)}));
    EXPECT_EQ(pauses[1], std::vector<int>({0, 0, 0, 1000, 1000, 0, 0}));
    EXPECT_EQ(workers[0]->CurrentY(), 6);
    EXPECT_EQ(workers[1]->CurrentX(), 10);
    EXPECT_EQ(workers[1]->CurrentY(), 7);
    EXPECT_EQ(TileFile(10, 6), QByteArray("/4/10/6.png"));
}
