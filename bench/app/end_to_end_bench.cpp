// The whole program as fast as its engine: the real main window downloads
// 20,000 static tiles from nginx on 127.0.0.1 (started here, stopped at the
// end) with MapnikPause=0 and eight workers, from the click on Start to the
// closing message, beside curl --parallel --parallel-max 8 over the same
// addresses. Three interleaved rounds; tiles go to `task-folder` (by default
// the system's temporary folder). Reports tiles/s, the GUI thread's CPU per
// tile, and the longest a 10 ms timer of the window's thread waited beyond
// its time (how long a click or a key would wait for an answer).
//
//   xvfb-run -a -s '-screen 0 1280x1024x24' build/bench/app/end_to_end_bench [task-folder]
#include "app/log_pane.h"
#include "app/main_window.h"
#include "app/up_down_spinner.h"
#include "curl_fetch.h"
#include "download/http_client.h"
#include "geo/tile_math.h"
#include "measures.h"
#include "nginx_tile_server.h"
#include "platform/folders.h"
#include "platform/message_box.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <vector>

namespace {
constexpr int kRounds = 3;
const TileBlock kBlock{17, 68000, 68199, 45000, 45099};  // 20,000 tiles

struct WindowRun {
    double TilesPerSecond = 0;
    double GuiCpuMicrosecondsPerTile = 0;
    double ProcessCpuPer1000 = 0;
    double LongestTimerDelayMs = 0;
};

QString Degrees(double value)
{
    return QString::number(value, 'f', 10);
}

WindowRun RunWindow(const QString& taskFolder, int round)
{
    TForm1 window;
    window.show();
    QCoreApplication::processEvents();
    // The centres of the block's corner tiles, so the range is exactly the block.
    window.Edit1->setText(Degrees(TileXToLongitude(kBlock.MinX + 0.5, kBlock.Zoom)));
    window.Edit3->setText(Degrees(TileXToLongitude(kBlock.MaxX + 0.5, kBlock.Zoom)));
    window.Edit2->setText(Degrees(TileYToLatitude(kBlock.MinY + 0.5, kBlock.Zoom)));
    window.Edit4->setText(Degrees(TileYToLatitude(kBlock.MaxY + 0.5, kBlock.Zoom)));
    window.UpDown1->SetPosition(kBlock.Zoom);
    window.Edit6->setText(taskFolder);
    window.EditTaskName->setText(QStringLiteral("e2e%1.qtsk").arg(round));

    QEventLoop ended;
    InterceptMessages([&ended](MessageKind, const QString& text) {
        if (text.startsWith(QLatin1String("Task stoped!")))
            ended.quit();
        else
            std::printf("  message: %s\n", qPrintable(text));
    });
    QElapsedTimer sinceTick;
    double longestDelayMs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestDelayMs = qMax(longestDelayMs, double(sinceTick.nsecsElapsed()) / 1e6 - 10);
        sinceTick.restart();
    });

    const double guiCpuBefore = ThreadCpuSeconds();
    const double processCpuBefore = ProcessCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    sinceTick.start();
    ticker.start();
    window.BitBtn1->click();
    ended.exec();
    const double seconds = double(elapsed.nsecsElapsed()) / 1e9;
    ticker.stop();
    InterceptMessages(nullptr);

    const qint64 stored = window.Memo1->Lines().filter(QStringLiteral(" OK")).size();
    if (stored != kBlock.Count())
        std::printf("  the window stored %lld tiles\n", stored);
    return {stored / seconds, (ThreadCpuSeconds() - guiCpuBefore) * 1e6 / stored,
        (ProcessCpuSeconds() - processCpuBefore) * 1000 / stored, longestDelayMs};
}

}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    InitializeHttp();
    const QString parent = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir work(parent + QStringLiteral("/tessaly-e2e-XXXXXX"));
    QTemporaryDir exe;
    if (!work.isValid() || !exe.isValid()) {
        std::printf("cannot create the folders\n");
        return 1;
    }
    const NginxTileServer server(QStringLiteral("/dev/shm"), kBlock, QByteArray(4096, 't'));
    if (server.BaseUrl().isEmpty()) {
        std::printf("%s\n", qPrintable(server.Failure()));
        return 1;
    }
    OverrideExecutableFolder(exe.path());
    QDir(exe.path()).mkpath(QStringLiteral("ini"));
    QFile config(exe.filePath(QStringLiteral("ini/config.ini")));
    if (!config.open(QIODevice::WriteOnly))
        return 1;
    config.write(QStringLiteral("[Servers]\r\nMapnik=%1/{z}/{x}/{y}.png\r\nHomePage=%1/\r\nMapnikPause=0\r\n")
                     .arg(server.BaseUrl()).toUtf8());
    config.close();
    std::printf("%lld tiles of 4,096 bytes from nginx at %s, platform %s\n", kBlock.Count(),
        qPrintable(server.BaseUrl()), qPrintable(QGuiApplication::platformName()));

    std::vector<double> windowRates, curlRates, guiCpu, processCpu, delays;
    for (int round = 1; round <= kRounds; ++round) {
        const QString taskFolder = work.filePath(QStringLiteral("tasks"));
        QDir(taskFolder).removeRecursively();
        QDir().mkpath(taskFolder);
        const WindowRun run = RunWindow(taskFolder, round);
        windowRates.push_back(run.TilesPerSecond);
        guiCpu.push_back(run.GuiCpuMicrosecondsPerTile);
        processCpu.push_back(run.ProcessCpuPer1000);
        delays.push_back(run.LongestTimerDelayMs);
        curlRates.push_back(CurlTilesPerSecond(kBlock, server.BaseUrl(), work.filePath(QStringLiteral("curl"))));
        std::printf("round %d: window %.0f tiles/s, curl --parallel-max 8 %.0f tiles/s\n", round,
            windowRates.back(), curlRates.back());
        std::fflush(stdout);
    }

    std::printf("\n");
    PrintSpread("window, 8 workers", windowRates, "tiles/s");
    PrintSpread("curl --parallel-max 8", curlRates, "tiles/s");
    PrintSpread("GUI thread CPU per tile", guiCpu, "us");
    PrintSpread("process CPU per 1,000 tiles", processCpu, "s");
    PrintSpread("longest wait of a 10 ms timer", delays, "ms");
    std::printf("  ratio to curl (medians): %.2f\n", SpreadOf(windowRates).Median / SpreadOf(curlRates).Median);
    std::fflush(stdout);
    OverrideExecutableFolder(QString());
    return 0;
}
