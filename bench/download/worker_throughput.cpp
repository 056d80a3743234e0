// Tessaly's download workers beside the curl command line, both fetching the
// same 20,000 static tiles from nginx on 127.0.0.1 (started here, stopped at
// the end) with every pause at zero, at 1 and at 8 connections, the tiles
// written to a RAM disk (/dev/shm) and to the disk of `disk-folder` (by
// default the system's temporary folder). Three rounds, each running every
// case once, engine and curl side by side. Reports tiles/s (median, lowest,
// highest), CPU seconds per 1,000 tiles and the ratio of the medians.
//
//   build/bench/download/worker_throughput_bench [disk-folder]
#include "curl_fetch.h"
#include "download/down_thread.h"
#include "measures.h"
#include "nginx_tile_server.h"
#include "task/download_task.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace {
constexpr int kRounds = 3;
const TileBlock kBlock{17, 1000, 1199, 2000, 2099};  // 20,000 tiles

class CountingReceiver : public DownloadReportSink {
public:
    void AddLogLine(const QString& text) override { stored += text.endsWith(QLatin1String(" OK")); }
    void AddFailedLine(const QString&) override { ++failed; }
    void AddFailureReason(const QString&) override {}
    void AddBlankTile() override {}
    void ThreadFinished() override { ++finished; }

    int stored = 0;
    int failed = 0;
    int finished = 0;
};

struct Sample {
    double TilesPerSecond = 0;
    double CpuPer1000 = 0;
};

struct Case {
    QString Destination;
    int Connections;
    bool operator<(const Case& other) const
    {
        return std::tie(Destination, Connections) < std::tie(other.Destination, other.Connections);
    }
};

// An empty folder of that name, whatever an earlier run left in it.
QString FreshFolder(const QString& path)
{
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path + u'/';
}

Sample RunEngine(const QString& baseUrl, const QString& folder, int workerCount)
{
    TaskParameters parameters;
    parameters.Path = FreshFolder(folder);
    parameters.TaskName = QStringLiteral("bench.qtsk");
    parameters.Zoom = kBlock.Zoom;
    parameters.ThreadCount = workerCount;
    parameters.Servers.Mapnik = baseUrl + QStringLiteral("/{z}/{x}/{y}.png");
    parameters.Servers.HomePage = baseUrl + u'/';
    parameters.PauseAfterTile.Ms = 0;
    MDTask task(&parameters);
    task.MinX = kBlock.MinX;
    task.MaxX = kBlock.MaxX;
    task.MinY = kBlock.MinY;
    task.MaxY = kBlock.MaxY;

    CountingReceiver receiver;
    const double cpuBefore = ProcessCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    std::vector<std::unique_ptr<TDownThread>> workers;
    // No start stagger: this measures the workers' own pace.
    for (int i = 0; i < workerCount; ++i)
        workers.push_back(std::make_unique<TDownThread>(false, i, &task, &receiver, [](int) {}));
    // Drained as often as the main window drains.
    while (receiver.finished < workerCount) {
        QThread::msleep(30);
        for (auto& worker : workers)
            worker->DeliverReports();
    }
    workers.clear();
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    if (receiver.stored != kBlock.Count())
        std::printf("  engine stored only %d tiles (%d failed)\n", receiver.stored, receiver.failed);
    return {receiver.stored / seconds, cpu * 1000 / kBlock.Count()};
}

Sample RunCurl(const QString& baseUrl, const QString& folder, int connections)
{
    FreshFolder(folder);
    const CurlRun run = FetchWithCurl(BlockTransfers(kBlock, baseUrl, folder), connections, folder);
    if (!run.Ok)
        std::printf("  curl failed\n");
    return {kBlock.Count() / run.Seconds, run.CpuSeconds * 1000 / kBlock.Count()};
}

// Prints the line of one program and returns its median rate.
double PrintSpread(const char* label, const std::vector<Sample>& samples)
{
    std::vector<double> rates, cpu;
    for (const Sample& sample : samples) {
        rates.push_back(sample.TilesPerSecond);
        cpu.push_back(sample.CpuPer1000);
    }
    const Spread rate = SpreadOf(rates);
    std::printf("  %-7s %8.0f tiles/s (min %6.0f, max %6.0f)   CPU %.3f s per 1,000 tiles\n", label, rate.Median,
        rate.Min, rate.Max, SpreadOf(cpu).Median);
    return rate.Median;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    InitializeHttp();
    const QString diskFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir ramDisk(QStringLiteral("/dev/shm/tessaly-bench-XXXXXX"));
    QTemporaryDir disk(diskFolder + QStringLiteral("/tessaly-bench-XXXXXX"));
    if (!ramDisk.isValid() || !disk.isValid()) {
        std::printf("cannot create the target folders\n");
        return 1;
    }

    const NginxTileServer server(QStringLiteral("/dev/shm"), kBlock, QByteArray(4096, 't'));
    if (server.BaseUrl().isEmpty()) {
        std::printf("%s\n", qPrintable(server.Failure()));
        return 1;
    }
    std::printf("%lld tiles of 4,096 bytes from nginx at %s\n", kBlock.Count(), qPrintable(server.BaseUrl()));

    const std::pair<QString, QString> destinations[] = {
        {QStringLiteral("RAM disk"), ramDisk.path()}, {QStringLiteral("disk"), disk.path()}};
    std::map<Case, std::vector<Sample>> engine, curl;
    for (int round = 1; round <= kRounds; ++round) {
        for (const auto& [name, folder] : destinations) {
            for (const int connections : {1, 8}) {
                const Case key{name, connections};
                engine[key].push_back(RunEngine(server.BaseUrl(), folder + QStringLiteral("/engine"), connections));
                curl[key].push_back(RunCurl(server.BaseUrl(), folder + QStringLiteral("/curl"), connections));
                std::printf("round %d, %s, %d connection(s): engine %.0f tiles/s, curl %.0f tiles/s\n", round,
                    qPrintable(name), connections, engine[key].back().TilesPerSecond,
                    curl[key].back().TilesPerSecond);
                std::fflush(stdout);
            }
        }
    }

    std::printf("\n");
    for (const auto& [key, samples] : engine) {
        std::printf("%s, %d connection(s):\n", qPrintable(key.Destination), key.Connections);
        const double engineRate = PrintSpread("Tessaly", samples);
        const double curlRate = PrintSpread("curl", curl[key]);
        std::printf("  ratio to curl (medians): %.2f\n", engineRate / curlRate);
    }
    return 0;
}
