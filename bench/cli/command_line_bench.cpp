// `tessaly run` as fast as curl and as small as a task of any size: the built
// program fetches 20,000 static tiles from nginx on 127.0.0.1 with
// MapnikPause=0 and eight workers, beside curl --parallel --parallel-max 8
// over the same addresses, and the same task of a map source (ini/sources/
// bench.ini: {s} on one host, Pause=0, eight connections, every reply's
// Content-Type checked), three interleaved rounds; then it runs a task of
// 200,000 tiles and reports the peak resident memory of each run (the
// program's own, from wait4). Tiles go to `task-folder` (by default the
// system's temporary folder).
//
//   scripts/bench-setup.sh; build/bench/cli/command_line_bench [task-folder]
#include "curl_fetch.h"
#include "geo/tile_math.h"
#include "measures.h"
#include "nginx_tile_server.h"
#include "placed_program.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {
constexpr int kRounds = 3;
const TileBlock kBlock{17, 68000, 68199, 45000, 45099};        // 20,000 tiles
const TileBlock kLargeBlock{17, 70000, 70499, 46000, 46399};   // 200,000 tiles

struct ProgramRun {
    bool Ok = false;
    double Seconds = 0;
    double PeakMegabytes = 0;
};

QString Degrees(double value)
{
    return QString::number(value, 'f', 10);
}

// The area whose range is exactly the block: the centres of its corner tiles.
QString AreaOf(const TileBlock& block)
{
    return Degrees(TileXToLongitude(block.MinX + 0.5, block.Zoom)) + u','
        + Degrees(TileXToLongitude(block.MaxX + 0.5, block.Zoom)) + u','
        + Degrees(TileYToLatitude(block.MinY + 0.5, block.Zoom)) + u','
        + Degrees(TileYToLatitude(block.MaxY + 0.5, block.Zoom));
}

// Runs the program to its end with no display; its own rusage gives the peak.
ProgramRun RunProgram(const QString& program, const QStringList& arguments)
{
    std::vector<QByteArray> storage{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer elapsed;
    elapsed.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return {};
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return {};
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, double(elapsed.nsecsElapsed()) / 1e9,
        double(usage.ru_maxrss) / 1024};
}

// `map`: MAPNIK without one, else a map source's name.
ProgramRun RunTask(const QString& program, const TileBlock& block, const QString& folder, const QString& name,
    const QString& map = {})
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QStringList arguments{QStringLiteral("new"), name, QStringLiteral("--area"), AreaOf(block), QStringLiteral("--zoom"),
        QString::number(block.Zoom), QStringLiteral("--folder"), folder, QStringLiteral("--yes"), QStringLiteral("--run")};
    if (!map.isEmpty())
        arguments << QStringLiteral("--map") << map;
    return RunProgram(program, arguments);
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QString parent = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir work(parent + QStringLiteral("/tessaly-cli-XXXXXX"));
    QTemporaryDir exe;
    if (!work.isValid() || !exe.isValid()) {
        std::printf("cannot create the folders\n");
        return 1;
    }
    const QString program = exe.filePath(QStringLiteral("tessaly"));
    std::vector<double> programRates, sourceRates, curlRates, peaks;
    {
        const NginxTileServer server(QStringLiteral("/dev/shm"), kBlock, QByteArray(4096, 't'));
        if (server.BaseUrl().isEmpty() || !PlaceProgram(exe.path(), server.BaseUrl())) {
            std::printf("%s\n", qPrintable(server.Failure()));
            return 1;
        }
        std::printf("%lld tiles of 4,096 bytes from nginx at %s\n", kBlock.Count(), qPrintable(server.BaseUrl()));
        for (int round = 1; round <= kRounds; ++round) {
            const ProgramRun run = RunTask(program, kBlock, work.filePath(QStringLiteral("tasks")), QStringLiteral("bench"));
            if (!run.Ok)
                std::printf("  tessaly run failed\n");
            programRates.push_back(kBlock.Count() / run.Seconds);
            peaks.push_back(run.PeakMegabytes);
            const ProgramRun source =
                RunTask(program, kBlock, work.filePath(QStringLiteral("tasks")), QStringLiteral("bench"), QStringLiteral("bench"));
            if (!source.Ok)
                std::printf("  tessaly run of the map source failed\n");
            sourceRates.push_back(kBlock.Count() / source.Seconds);
            curlRates.push_back(CurlTilesPerSecond(kBlock, server.BaseUrl(), work.filePath(QStringLiteral("curl"))));
            std::printf("round %d: tessaly run %.0f tiles/s (peak %.1f MB), map source %.0f tiles/s, curl --parallel-max 8 "
                        "%.0f tiles/s\n",
                round, programRates.back(), peaks.back(), sourceRates.back(), curlRates.back());
            std::fflush(stdout);
        }
    }
    std::printf("\n");
    PrintSpread("tessaly run, 8 workers", programRates, "tiles/s");
    PrintSpread("curl --parallel-max 8", curlRates, "tiles/s");
    std::printf("  ratio to curl (medians): %.2f\n", SpreadOf(programRates).Median / SpreadOf(curlRates).Median);
    PrintSpread("tessaly run, a map source, 8 workers", sourceRates, "tiles/s");
    std::printf("  ratio to curl (medians): %.2f\n", SpreadOf(sourceRates).Median / SpreadOf(curlRates).Median);
    PrintSpread("peak memory, 20,000 tiles", peaks, "MB");
    std::fflush(stdout);

    // Small tiles in the system's temporary folder, which nginx's workers may enter.
    const NginxTileServer large(QDir::tempPath(), kLargeBlock, QByteArray(64, 't'));
    if (large.BaseUrl().isEmpty() || !PlaceProgram(exe.path(), large.BaseUrl())) {
        std::printf("%s\n", qPrintable(large.Failure()));
        return 1;
    }
    const ProgramRun run = RunTask(program, kLargeBlock, work.filePath(QStringLiteral("large")), QStringLiteral("large"));
    std::printf("  %lld tiles: %s in %.1f s, %.0f tiles/s, peak memory %.1f MB\n", kLargeBlock.Count(),
        run.Ok ? "all stored" : "FAILED", run.Seconds, kLargeBlock.Count() / run.Seconds, run.PeakMegabytes);
    return 0;
}
