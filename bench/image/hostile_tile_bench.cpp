// Peak memory of the Map Viewer and the Map Combiner with one hostile tile in
// a 4 x 3 task (the rest plain 256 x 256 tiles).
//
//   build/bench/image/hostile_tile_bench make KIND FOLDER
//   QT_QPA_PLATFORM=offscreen build/bench/image/hostile_tile_bench PROGRAM FOLDER
//
// `make` writes the task into FOLDER (emptied first) with one tile of KIND:
// none, huge-chunk (a 140-byte file whose second chunk declares 2 GiB - 1
// bytes), big-text (a valid tile with a 64 MiB text chunk), text-15mb (one
// with a 15 MB text chunk, within the file size cap), big-pixels (every
// tile 5792 x 5792), largest-pixels (every tile 4096 x 4096, the most
// decoded), dev-zero (a link to /dev/zero), sparse (a real tile padded with
// zeros to 1 GiB), fifo (a named pipe).
// PROGRAM: viewer (the task opened as the viewer does, scanned, every tile
// decoded at full size) or geotiff / png / mbtiles (the task combined).
// Prints the counts and the process's peak memory; run each case in a
// process of its own, apart from `make`.
#include "combiner/combine.h"
#include "geo/tile_math.h"
#include "support/hostile_files.h"
#include "support/hostile_tiles.h"
#include "support/png_bytes.h"
#include "support/run_until.h"
#include "task/download_task.h"
#include "viewer/viewed_task.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {
constexpr int kZoom = 10;

long PeakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void MakeTask(const QString& folder, const QString& kind)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    TaskParameters p;
    p.Zoom = kZoom;
    p.LeftLongitude = TileXToLongitude(840.5, kZoom);
    p.RightLongitude = TileXToLongitude(843.5, kZoom);
    p.TopLatitude = TileYToLatitude(387.5, kZoom);
    p.BottomLatitude = TileYToLatitude(389.5, kZoom);
    p.Path = QDir(folder).absolutePath() + u'/';
    p.TaskName = QStringLiteral("hostile.qtsk");
    const MDTask task(&p);
    task.WriteProjectFile();
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(120, 180, 90));
    const QByteArray real = PngBytes(image);
    const QByteArray huge = kind == "big-pixels" ? hostile::PlainPng(5792, 5792)
        : kind == "largest-pixels"               ? hostile::PlainPng(4096, 4096)
                                                 : QByteArray();
    for (int x = task.MinX; x <= task.MaxX; ++x)
        for (int y = task.MinY; y <= task.MaxY; ++y) {
            QFile file(task.TileFilePath(x, y));
            if (file.open(QIODevice::WriteOnly))
                file.write(huge.isEmpty() ? real : huge);
        }
    const QString hostile = task.TileFilePath(task.MinX + 1, task.MinY + 1);
    const auto write = [&](const QByteArray& bytes) {
        QFile file(hostile);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    };
    if (kind == "huge-chunk")
        write(hostile::WithHugeChunkLength(real, "tEXt").left(140));
    else if (kind == "big-text" || kind == "text-15mb")
        write(hostile::WithChunkAfterHeader(real, "tEXt",
            QByteArray("Comment\0", 8) + QByteArray(kind == "big-text" ? 64 << 20 : 15 << 20, 'x')));
    else if (kind == "dev-zero" || kind == "fifo" || kind == "sparse") {
        QFile::remove(hostile);
        if (kind == "dev-zero")
            hostile::LinkToDevZero(hostile);
        else if (kind == "fifo")
            hostile::MakeFifo(hostile);
        else
            hostile::WriteSparseFile(hostile, real, qint64(1) << 30);
    }

}

struct SilentObserver : CombineObserver {
    void Progress(const CombineProgress&) override {}
    void TileNote(const QString& line) override { std::printf("  %s\n", qPrintable(line)); }
};
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString program = QString::fromLocal8Bit(argv[1]);
    if (program == "make" && argc == 4) {
        MakeTask(QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: hostile_tile_bench make KIND FOLDER | viewer|geotiff|png|mbtiles FOLDER\n");
        return 2;
    }
    const QString project = QDir(QString::fromLocal8Bit(argv[2])).absoluteFilePath(QStringLiteral("hostile.qtsk"));
    if (program == "viewer") {
        ViewedTask viewed(project);
        if (!RunEventsUntil([&] { return viewed.IsCounted(); }, 120000))
            return 1;
        QList<TileKey> wanted;
        for (int y = 387; y <= 389; ++y)
            for (int x = 840; x <= 843; ++x)
                wanted.append({x, y, 256});
        viewed.Want(wanted);
        RunEventsUntil([&] {
            return std::all_of(wanted.begin(), wanted.end(), [&](const TileKey& key) { return viewed.Images().Find(key); });
        }, 120000);
        const TileCounts& counts = viewed.Counts();
        std::printf("viewer: %lld stored, %lld unreadable, %lld missing\n", counts.Stored, counts.Unreadable,
            counts.Missing);
    } else {
        const OutputFormat format = program == "png" ? OutputFormat::Png
            : program == "mbtiles"                  ? OutputFormat::MBTiles
                                                    : OutputFormat::GeoTiff;
        SilentObserver observer;
        const QString target = QFileInfo(project).absolutePath() + QStringLiteral("/out.") + program;
        const CombineCounts counts = Combine({{project}, target, format}, observer);
        std::printf("%s: %s\n", argv[1], qPrintable(counts.Text()));
    }
    std::printf("peak memory: %ld MB\n", PeakMemoryMb());
    return 0;
}
