// Tiles per second and connections opened by download workers fetching
// 10,000 tiles from a loopback server with every pause set to zero:
// first one worker, then eight.
//
//   build/bench/download/worker_throughput_bench [tile-count]
#include "download/down_thread.h"
#include "support/loopback_http_server.h"
#include "task/download_task.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
class CountingReceiver : public DownloadReportSink {
public:
    void AddLogLine(const QString& text) override { stored += text.endsWith(QLatin1String(" OK")); }
    void AddFailedLine(const QString&) override { ++failed; }
    void ThreadFinished() override { ++finished; }

    int stored = 0;
    int failed = 0;
    int finished = 0;
};

void Run(int workerCount, int tileCount)
{
    LoopbackHttpServer server;
    server.SetResponder([](const QByteArray&) { return ScriptedReply::Ok(QByteArray(600, 'p')); });
    QTemporaryDir folder;
    TaskParameters parameters;
    parameters.Path = folder.path() + u'/';
    parameters.TaskName = QStringLiteral("bench.qtsk");
    parameters.Zoom = 17;
    parameters.ThreadCount = workerCount;
    parameters.Servers.Mapnik = server.BaseUrl() + QStringLiteral("/{z}/{x}/{y}.png");
    MDTask task(&parameters);
    task.MinX = 1000;
    task.MaxX = 1000 + tileCount / 100 - 1;
    task.MinY = 2000;
    task.MaxY = 2099;

    CountingReceiver receiver;
    QElapsedTimer elapsed;
    elapsed.start();
    std::vector<std::unique_ptr<TDownThread>> workers;
    for (int i = 0; i < workerCount; ++i)
        workers.push_back(std::make_unique<TDownThread>(false, i, &task, &receiver, [](int) {}));
    while (receiver.finished < workerCount) {
        QThread::msleep(30);
        for (auto& worker : workers)
            worker->DeliverReports();
    }
    workers.clear();
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;

    std::printf("%d worker(s): %d tiles stored, %d failed, %.2f s, %.0f tiles/s, %d connection(s) opened\n",
        workerCount, receiver.stored, receiver.failed, seconds, receiver.stored / seconds,
        server.ConnectionsAccepted());
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    InitializeHttp();
    const int tileCount = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    Run(1, tileCount);
    Run(8, tileCount);
    return 0;
}
