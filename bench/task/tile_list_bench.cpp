// Writes the tile list of a task of N x N tiles (default 1000 x 1000) and the
// same number of bytes with a plain buffered write, and reports lines per
// second, both times and the peak memory of the process.
//
//   build/bench/task/tile_list_bench [side]
//
// Run it with a small and a large side: peak memory must not grow with the
// tile count, and the list should take at most twice the plain write.

#include "geo/tile_math.h"
#include "task/download_task.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
long PeakMemoryKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// `synced`: also flush to disk, as every task file's atomic replace does.
double PlainWriteSeconds(const QString& fileName, qint64 bytes, bool synced)
{
    const QByteArray chunk(64 * 1024, 'x');
    QElapsedTimer timer;
    timer.start();
    std::FILE* file = std::fopen(fileName.toLocal8Bit().constData(), "wb");
    for (qint64 written = 0; written < bytes; written += chunk.size())
        std::fwrite(chunk.constData(), 1, static_cast<std::size_t>(std::min<qint64>(chunk.size(), bytes - written)), file);
    std::fflush(file);
    if (synced)
        fsync(fileno(file));
    std::fclose(file);
    return timer.nsecsElapsed() / 1e9;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int side = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int zoom = 14;
    QTemporaryDir folder;

    TaskParameters parameters;
    parameters.Zoom = zoom;
    parameters.LeftLongitude = TileXToLongitude(5000.5, zoom);
    parameters.RightLongitude = TileXToLongitude(5000.5 + side - 1, zoom);
    parameters.TopLatitude = TileYToLatitude(5000.5, zoom);
    parameters.BottomLatitude = TileYToLatitude(5000.5 + side - 1, zoom);
    parameters.Path = folder.path() + '/';
    parameters.TaskName = QStringLiteral("bench.qtsk");
    const MDTask task(&parameters);

    QElapsedTimer timer;
    timer.start();
    task.WriteTileList();
    const double listSeconds = timer.nsecsElapsed() / 1e9;
    const qint64 bytes = QFileInfo(task.ListFileName).size();
    const double plainSeconds = PlainWriteSeconds(folder.path() + "/plain.bin", bytes, false);
    const double syncedSeconds = PlainWriteSeconds(folder.path() + "/synced.bin", bytes, true);

    std::printf("tiles: %lld, list bytes: %lld\n", static_cast<long long>(task.TotalCount), static_cast<long long>(bytes));
    std::printf("tile list: %.3f s, %.0f lines/s\n", listSeconds, task.TotalCount / listSeconds);
    std::printf("plain buffered write of the same bytes: %.3f s (list / plain = %.2f)\n", plainSeconds,
        listSeconds / plainSeconds);
    std::printf("the same, flushed to disk: %.3f s (list / flushed = %.2f)\n", syncedSeconds, listSeconds / syncedSeconds);
    std::printf("peak memory: %ld KiB\n", PeakMemoryKiB());
    return 0;
}
