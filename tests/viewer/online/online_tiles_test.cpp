#include "viewer/online/online_tiles.h"

#include "download/http_client.h"
#include "support/loopback_http_server.h"
#include "support/png_bytes.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

namespace {
using Status = OnlineTileLoader::Status;

QByteArray PngOf(QRgb colour)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(colour);
    return PngBytes(image);
}

// A 200 reply carrying `body` with the given extra head lines.
ScriptedReply TileReply(const QByteArray& headLines, const QByteArray& body = PngOf(qRgb(200, 30, 30)))
{
    return ScriptedReply::Raw("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n" + headLines
            + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body,
        false);
}

bool WaitUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

QByteArray RequestPath(const QByteArray& head)
{
    return head.split(' ').value(1);
}

class OnlineTileLoaderTest : public testing::Test {
protected:
    static void SetUpTestSuite() { InitializeHttp(); }

    std::unique_ptr<OnlineTileLoader> NewLoader()
    {
        auto loader = std::make_unique<OnlineTileLoader>(
            OnlineMapSource{server.BaseUrl() + QStringLiteral("/{z}/{x}/{y}.png"), QStringLiteral("Orvane test/1.0"),
                QStringLiteral("https://home.example/")},
            cache.Path());
        loader->SetClock([this] { return kStart.addSecs(secondsLater.load()); });
        QObject::connect(loader.get(), &OnlineTileLoader::TileArrived,
            [this](int zoom, int x, int y) { arrived.append({zoom, x, y}); });
        return loader;
    }

    // Wishes for one tile and waits until it has arrived.
    Status Load(OnlineTileLoader& loader, int zoom, int x, int y)
    {
        arrived.clear();
        loader.SetWantedTiles(zoom, {QPoint(x, y)});
        EXPECT_TRUE(WaitUntil([&] { return arrived.contains(TileAddress{zoom, x, y}); }));
        return loader.TileStatus(zoom, x, y);
    }

    // Loads one tile with a new loader over the same cache folder.
    Status LoadAfresh(int zoom, int x, int y) { return Load(*NewLoader(), zoom, x, y); }

    const QDateTime kStart = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0), Qt::UTC);
    std::atomic<qint64> secondsLater{0};
    TempFolder cache;
    LoopbackHttpServer server;
    QList<TileAddress> arrived;
};
}

TEST_F(OnlineTileLoaderTest, AFreshCopyOnDiskIsUsedWithoutAskingTheServer)
{
    server.Script({TileReply("Cache-Control: max-age=3600\r\n")});
    auto loader = NewLoader();
    ASSERT_EQ(Load(*loader, 3, 1, 2), Status::Ready);
    EXPECT_EQ(loader->TileImage(3, 1, 2).pixel(10, 10), qRgb(200, 30, 30));
    EXPECT_EQ(arrived, QList<TileAddress>({{3, 1, 2}}));
    ASSERT_EQ(server.RequestCount(), 1);
    const std::vector<std::string> head = HeadLines(server.RequestHeads().at(0));
    EXPECT_EQ(head.at(0), "GET /3/1/2.png HTTP/1.1");
    EXPECT_NE(std::find(head.begin(), head.end(), "User-Agent: Orvane test/1.0"), head.end());
    EXPECT_NE(std::find(head.begin(), head.end(), "Referer: https://home.example/"), head.end());

    secondsLater = 3599;
    auto second = NewLoader();
    EXPECT_EQ(Load(*second, 3, 1, 2), Status::Ready);
    EXPECT_EQ(second->TileImage(3, 1, 2).pixel(10, 10), qRgb(200, 30, 30));
    EXPECT_EQ(server.RequestCount(), 1);
}

TEST_F(OnlineTileLoaderTest, AStaleCopyIsRevalidatedAndA304KeepsItsBytesAndRenewsItsFreshness)
{
    server.Script({TileReply("Cache-Control: max-age=60\r\nETag: \"v1\"\r\n"
                             "Last-Modified: Sun, 01 Mar 2026 03:00:00 GMT\r\n"),
        ScriptedReply::Raw("HTTP/1.1 304 Not Modified\r\nCache-Control: max-age=3600\r\n\r\n", false)});
    ASSERT_EQ(LoadAfresh(4, 5, 6), Status::Ready);

    secondsLater = 120;
    auto loader = NewLoader();
    ASSERT_EQ(Load(*loader, 4, 5, 6), Status::Ready);
    EXPECT_EQ(loader->TileImage(4, 5, 6).pixel(0, 0), qRgb(200, 30, 30));
    ASSERT_EQ(server.RequestCount(), 2);
    const std::vector<std::string> head = HeadLines(server.RequestHeads().at(1));
    EXPECT_NE(std::find(head.begin(), head.end(), "If-None-Match: \"v1\""), head.end());
    EXPECT_NE(std::find(head.begin(), head.end(), "If-Modified-Since: Sun, 01 Mar 2026 03:00:00 GMT"), head.end());

    secondsLater = 120 + 3599;
    EXPECT_EQ(LoadAfresh(4, 5, 6), Status::Ready);
    EXPECT_EQ(server.RequestCount(), 2);
}

TEST_F(OnlineTileLoaderTest, NoStoreNeverReachesTheDiskAndNoCacheIsAskedAboutEveryTime)
{
    server.SetResponder([](const QByteArray& head) {
        return TileReply(RequestPath(head) == "/2/0/0.png" ? "Cache-Control: no-store\r\n"
                                                           : "Cache-Control: no-cache\r\nETag: \"n\"\r\n");
    });
    ASSERT_EQ(LoadAfresh(2, 0, 0), Status::Ready);
    ASSERT_EQ(LoadAfresh(2, 1, 0), Status::Ready);
    ASSERT_EQ(LoadAfresh(2, 0, 0), Status::Ready);
    ASSERT_EQ(LoadAfresh(2, 1, 0), Status::Ready);

    const QList<QByteArray> heads = server.RequestHeads();
    ASSERT_EQ(heads.size(), 4);
    EXPECT_FALSE(heads.at(2).contains("If-None-Match"));
    EXPECT_TRUE(heads.at(3).contains("If-None-Match: \"n\"\r\n"));
}

TEST_F(OnlineTileLoaderTest, MissingResetAndUndecodableTilesFailAndAreNotAskedForAgainForAMinute)
{
    server.SetResponder([](const QByteArray& head) {
        const QByteArray path = RequestPath(head);
        if (path == "/7/1/1.png")
            return ScriptedReply::Status("HTTP/1.1 404 Not Found", "gone");
        if (path == "/7/2/1.png")
            return ScriptedReply::Reset();
        if (path == "/7/3/1.png")
            return TileReply("Cache-Control: max-age=3600\r\n", "<html>rate limited</html>");
        return TileReply("");
    });
    auto loader = NewLoader();
    const QList<QPoint> tiles{{1, 1}, {2, 1}, {3, 1}, {4, 1}};
    loader->SetWantedTiles(7, tiles);
    ASSERT_TRUE(WaitUntil([&] { return arrived.size() == 4; }));
    for (int x = 1; x <= 3; ++x) {
        EXPECT_EQ(loader->TileStatus(7, x, 1), Status::Failed) << x;
        EXPECT_TRUE(loader->TileImage(7, x, 1).isNull()) << x;
    }
    EXPECT_EQ(loader->TileStatus(7, 4, 1), Status::Ready);

    secondsLater = 59;
    loader->SetWantedTiles(7, tiles);
    EXPECT_EQ(loader->TileStatus(7, 1, 1), Status::Failed);
    secondsLater = 60;
    const int askedBefore = server.RequestCount();
    loader->SetWantedTiles(7, tiles);
    ASSERT_TRUE(WaitUntil([&] { return arrived.size() == 7; }));
    QSet<QByteArray> askedAgain;
    for (const QByteArray& head : server.RequestHeads().mid(askedBefore))
        askedAgain << RequestPath(head);
    EXPECT_EQ(askedAgain, QSet<QByteArray>({"/7/1/1.png", "/7/2/1.png", "/7/3/1.png"}));
    // The undecodable body was not kept: it is asked for again, not read from disk.
    EXPECT_EQ(loader->TileStatus(7, 3, 1), Status::Failed);
}

TEST_F(OnlineTileLoaderTest, AStaleCopyStandsInWhenTheServerCannotBeReached)
{
    server.Script({TileReply("ETag: \"v1\"\r\n"), ScriptedReply::Reset(),
        TileReply("ETag: \"v2\"\r\nCache-Control: must-revalidate\r\n"), ScriptedReply::Reset()});
    ASSERT_EQ(LoadAfresh(1, 0, 1), Status::Ready);
    EXPECT_EQ(LoadAfresh(1, 0, 1), Status::Ready);
    ASSERT_EQ(LoadAfresh(1, 1, 1), Status::Ready);
    EXPECT_EQ(LoadAfresh(1, 1, 1), Status::Failed);
}

TEST_F(OnlineTileLoaderTest, NeverMoreThanTwoConnectionsEachKeptForManyTiles)
{
    // The first two requests are answered together, so both workers are
    // busy at once (bounded, should a fault leave one of them alone).
    std::mutex mutex;
    std::condition_variable bothAsked;
    int asked = 0;
    server.SetResponder([&](const QByteArray&) {
        std::unique_lock lock(mutex);
        if (++asked == 2)
            bothAsked.notify_all();
        bothAsked.wait_for(lock, std::chrono::seconds(10), [&] { return asked >= 2; });
        return TileReply("Cache-Control: max-age=3600\r\n");
    });
    auto loader = NewLoader();
    QList<QPoint> tiles;
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y)
            tiles << QPoint(x, y);
    loader->SetWantedTiles(6, tiles);
    ASSERT_TRUE(WaitUntil([&] { return arrived.size() == tiles.size(); }));
    EXPECT_EQ(server.RequestCount(), 16);
    EXPECT_EQ(server.MostConnectionsAtOnce(), 2);
    EXPECT_EQ(server.ConnectionsAccepted(), 2);
}

TEST_F(OnlineTileLoaderTest, ANewWishReplacesTheOldOneAndOnlyTransfersUnderWayFinish)
{
    std::atomic<bool> released{false};
    server.SetResponder([&](const QByteArray&) {
        while (!released)
            QThread::msleep(1);
        return TileReply("");
    });
    auto loader = NewLoader();
    loader->SetWantedTiles(5, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}});
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() == 2; }));
    loader->SetWantedTiles(5, {{9, 9}, {-1, 0}, {32, 0}, {0, 32}});
    EXPECT_EQ(loader->TileStatus(5, 2, 0), Status::Absent);
    EXPECT_EQ(loader->TileStatus(5, 0, 0), Status::Loading);
    EXPECT_EQ(loader->TileStatus(5, 9, 9), Status::Loading);
    EXPECT_EQ(loader->TileStatus(5, 32, 0), Status::Absent);
    released = true;
    ASSERT_TRUE(WaitUntil([&] { return arrived.size() == 3; }));

    QList<QByteArray> paths;
    for (const QByteArray& head : server.RequestHeads())
        paths << RequestPath(head);
    ASSERT_EQ(paths.size(), 3);
    EXPECT_EQ(QSet<QByteArray>(paths.begin(), paths.begin() + 2), QSet<QByteArray>({"/5/0/0.png", "/5/1/0.png"}));
    EXPECT_EQ(paths.at(2), "/5/9/9.png");
}

TEST_F(OnlineTileLoaderTest, DecodedImagesStayWithinTheMemoryLimit)
{
    server.SetResponder([](const QByteArray&) { return TileReply(""); });
    auto loader = NewLoader();
    loader->SetMemoryLimit(2 * 256 * 256 * 4);
    loader->SetWantedTiles(8, {{0, 0}, {1, 0}, {2, 0}});
    ASSERT_TRUE(WaitUntil([&] { return arrived.size() == 3; }));
    int ready = 0;
    for (int x = 0; x < 3; ++x)
        ready += loader->TileStatus(8, x, 0) == Status::Ready;
    EXPECT_EQ(ready, 2);
}

TEST_F(OnlineTileLoaderTest, DestroyingTheLoaderAbortsAStalledTransfer)
{
    server.Script({ScriptedReply::Stall()});
    auto loader = NewLoader();
    loader->SetWantedTiles(3, {{0, 0}});
    ASSERT_TRUE(WaitUntil([&] { return server.RequestCount() == 1; }));
    QElapsedTimer timer;
    timer.start();
    loader.reset();
    // Far below the 20 s the stall would take to time out.
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(arrived.isEmpty());
}

TEST_F(OnlineTileLoaderTest, TheDiskCacheIsOneFolderPerSourceAndStaysWithinItsLimitWhileTilesArrive)
{
    const QByteArray png = PngOf(qRgb(200, 30, 30));
    server.SetResponder([](const QByteArray&) { return TileReply("Cache-Control: max-age=3600\r\n"); });
    // What earlier versions left one level too deep goes.
    QDir(cache.Path()).mkpath(QStringLiteral("online-tiles/0123456789abcdef/3/1"));
    cache.Write(QStringLiteral("online-tiles/0123456789abcdef/3/1/2.tile"), QByteArray(5000, 'o'));
    auto loader = NewLoader();
    const qint64 limit = 4 * (png.size() + 200);
    loader->SetDiskCacheLimit(limit);
    for (int x = 0; x < 12; ++x)
        ASSERT_EQ(Load(*loader, 9, x, 0), Status::Ready) << x;

    const QStringList sources = QDir(cache.Path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(sources.size(), 1);
    EXPECT_EQ(sources[0].size(), 16) << "named by the address template's digest";
    const QString source = cache.Path() + sources[0];
    EXPECT_TRUE(QFileInfo::exists(source + QStringLiteral("/9/11/0.tile")));
    qint64 bytes = 0;
    int files = 0;
    QDirIterator walk(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        walk.next();
        bytes += walk.fileInfo().size();
        ++files;
    }
    EXPECT_LE(bytes, limit);
    EXPECT_GE(files, 2);
    EXPECT_LT(files, 12);
}
