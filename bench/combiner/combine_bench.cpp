// Generates tasks of N x N tiles (default 10 x 10 and 100 x 100, palette PNG
// tiles of varied content like a tile server's), combines each into a Cloud
// Optimized GeoTIFF, a GeoTIFF without overviews, PNG, MBTiles and
// GeoPackage with the quiltry program beside tessaly, and makes the same
// Cloud Optimized GeoTIFF the GDAL way (gdalbuildvrt over the tiles with
// world files, gdal_translate -of COG expanding the palette to RGBA, DEFLATE
// at the same level 6, overviews by averaging) in the same run, for sides up
// to 100. Then a zoom series of three zoom levels over the same area goes
// into MBTiles and GeoPackage, against a short Python sqlite3 script doing
// the same work (each tile read, inflated whole with its CRCs checked,
// inserted in one transaction, fsync). Reports seconds, tiles per second,
// peak memory of each process and the output's size.
//
//   build/bench/combiner/combine_bench [--map-like] [--geotiff-only] [side|WIDTHxHEIGHT ...]
//
// --map-like makes tiles like a street map's (flat areas, roads, labels; see
// map_like_tiles.h) instead of the dithered ones; --geotiff-only runs the
// two GeoTIFFs and GDAL's route alone.
//
//   build/bench/combiner/combine_bench --memory 10 200
//
// With --memory only quiltry's five outputs run (no GDAL, no series): their
// time and peak memory at true sizes such as 200 x 200 (some 30 minutes on
// two busy cores, nearly all of it decoding and compressing in the GeoTIFFs
// and the PNG). The tiles are hard links to the few distinct tile files, so
// 40,000 of them are made in seconds.
//
// Every run is a child process, so its peak memory is its own. With
// COMBINE_BENCH_KEEP set the generated tasks and outputs stay for a look.

#include "map_like_tiles.h"

#include "geo/tile_math.h"
#include "platform/folders.h"
#include "task/download_task.h"
#include "task/zoom_series.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <fcntl.h>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr int kZoom = 14;
constexpr int kFirstX = 8000, kFirstY = 5000;
constexpr int kDistinctTiles = 64;
bool mapLikeTiles = false;

struct Run {
    double Seconds = 0;
    long PeakKiB = 0;
    bool Ok = false;
};

// Runs a program to its end; its peak memory comes from wait4.
Run RunChild(const QStringList& command, const QString& stdoutFile = {})
{
    std::vector<QByteArray> storage;
    for (const QString& part : command)
        storage.push_back(part.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& part : storage)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    // Nothing the run did not write itself may reach the disk on its clock
    // (an fsync can flush the generated tiles too).
    sync();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = stdoutFile.isEmpty() ? QByteArray("/dev/null") : stdoutFile.toLocal8Bit();
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    Run run;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        rusage usage {};
        wait4(pid, &status, 0, &usage);
        run.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        run.PeakKiB = usage.ru_maxrss;
    }
    run.Seconds = timer.nsecsElapsed() / 1e9;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// One palette for every tile: gdalbuildvrt refuses tiles whose palettes differ.
QList<QRgb> SharedPalette()
{
    QList<QRgb> colours;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                colours << qRgb(r * 51, g * 51, b * 51);
    return colours;
}

// A tile with roads, blocks and a shaded corner, in 216 colours: compresses
// like a map tile.
QByteArray MakeTile(QRandomGenerator& random)
{
    QImage image(256, 256, QImage::Format_RGBA8888);
    image.fill(QColor(242, 239, 233));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 150; ++i) {
        painter.setBrush(QColor::fromHsv(random.bounded(360), 40 + random.bounded(60), 200 + random.bounded(55)));
        painter.setPen(Qt::NoPen);
        painter.drawRect(random.bounded(256), random.bounded(256), 3 + random.bounded(30), 3 + random.bounded(30));
    }
    for (int i = 0; i < 60; ++i) {
        painter.setPen(QPen(QColor::fromHsv(random.bounded(360), 80, 255), 1 + random.bounded(6)));
        painter.drawLine(random.bounded(256), random.bounded(256), random.bounded(256), random.bounded(256));
    }
    painter.fillRect(0, 0, 40, 40, QColor(0, 0, 255, 90));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_Indexed8, SharedPalette(), Qt::ThresholdDither).save(&buffer, "PNG");
    return bytes;
}

void WriteFile(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// Places `pool` file `index` at `path`: a hard link, a copy where links fail.
void PlaceTile(const QString& pool, int index, const QString& path)
{
    const QString source = pool + QStringLiteral("/%1.png").arg(index);
    if (::link(QFile::encodeName(source).constData(), QFile::encodeName(path).constData()) != 0)
        QFile::copy(source, path);
}

// A task as the downloader leaves it: project file, tile list, empty failed
// list and every tile; with `forGdal` a world file per tile. Returns the
// project file. `zoom` below kZoom covers the same area in fewer tiles.
QString GenerateTask(const QString& folder, QSize size, bool forGdal, int zoom = kZoom,
    const QString& name = QStringLiteral("bench.qtsk"))
{
    TaskParameters p;
    p.Zoom = zoom;
    p.LeftLongitude = TileXToLongitude(kFirstX + 0.5, kZoom);
    p.RightLongitude = TileXToLongitude(kFirstX + size.width() - 0.5, kZoom);
    p.TopLatitude = TileYToLatitude(kFirstY + 0.5, kZoom);
    p.BottomLatitude = TileYToLatitude(kFirstY + size.height() - 0.5, kZoom);
    p.Path = WithTrailingSeparator(folder);
    p.TaskName = name;
    const MDTask task(&p);
    task.WriteProjectFile();
    task.WriteTileList();
    task.CreateFailedTileList();

    QRandomGenerator random(42);
    const QString pool = folder + QStringLiteral("/pool-") + name;
    QDir().mkpath(pool);
    for (int i = 0; i < kDistinctTiles; ++i)
        WriteFile(pool + QStringLiteral("/%1.png").arg(i), mapLikeTiles ? MakeMapLikeTile(random) : MakeTile(random));
    QFile list(folder + QStringLiteral("/gdal_inputs.txt"));
    list.open(QIODevice::WriteOnly);
    const double metresPerTile = 2 * 20037508.342789244 / (1 << zoom);
    const double pixel = metresPerTile / 256;
    for (int x = task.MinX; x <= task.MaxX; ++x)
        for (int y = task.MinY; y <= task.MaxY; ++y) {
            const QString path = task.TileFilePath(x, y);
            PlaceTile(pool, random.bounded(kDistinctTiles), path);
            if (!forGdal)
                continue;
            const double west = -20037508.342789244 + x * metresPerTile;
            const double north = 20037508.342789244 - y * metresPerTile;
            WriteFile(path.chopped(3) + QStringLiteral("pgw"),
                QStringLiteral("%1\n0\n0\n%2\n%3\n%4\n").arg(pixel, 0, 'f', 12).arg(-pixel, 0, 'f', 12)
                    .arg(west + pixel / 2, 0, 'f', 10).arg(north - pixel / 2, 0, 'f', 10).toLatin1());
            list.write(path.toLocal8Bit() + '\n');
        }
    return p.Path + p.TaskName;
}

// What the Python peer does with each tile: every chunk's CRC checked and
// the image data inflated whole, then the bytes inserted.
const char kPythonPeer[] = R"(import os, sqlite3, struct, sys, zlib
def check(data):
    if data[:8] != b'\x89PNG\r\n\x1a\n': raise ValueError('not png')
    at, idat, width, height = 8, [], 0, 0
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if zlib.crc32(kind + body) != struct.unpack('>I', data[at + 8 + length:at + 12 + length])[0]: raise ValueError('crc')
        if kind == b'IHDR': width, height = struct.unpack('>II', body[:8])
        if kind == b'IDAT': idat.append(body)
        at += 12 + length
    if len(zlib.decompress(b''.join(idat))) < height: raise ValueError('short')
out = sys.argv[1]
db = sqlite3.connect(out)
db.execute('CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)')
for folder in sys.argv[2:]:
    for name in os.listdir(folder):
        if not name.endswith('.png'): continue
        _, x, y, z = name[:-4].split('_')
        with open(os.path.join(folder, name), 'rb') as f: data = f.read()
        check(data)
        db.execute('INSERT INTO tiles VALUES (?, ?, ?, ?)', (int(z), int(x), (1 << int(z)) - 1 - int(y), data))
db.execute('CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)')
db.commit()
db.close()
fd = os.open(out, os.O_RDONLY); os.fsync(fd); os.close(fd)
)";

void Report(const char* what, int tiles, const Run& run, const QString& output)
{
    std::printf("  %-34s %8.2f s %9.0f tiles/s %7.1f MB peak %9.1f MB out%s\n", what, run.Seconds,
        tiles / run.Seconds, run.PeakKiB / 1024.0, QFileInfo(output).size() / 1048576.0, run.Ok ? "" : "  FAILED");
    std::fflush(stdout);
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QList<QSize> sides;
    bool memoryOnly = false;
    bool geotiffOnly = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArrayView option(argv[i]);
        if (option == "--memory" || option == "--map-like" || option == "--geotiff-only") {
            (option == "--memory" ? memoryOnly : option == "--map-like" ? mapLikeTiles : geotiffOnly) = true;
            continue;
        }
        const QStringList parts = QString::fromLocal8Bit(argv[i]).split(u'x');
        sides << QSize(parts[0].toInt(), parts.value(1, parts[0]).toInt());
    }
    if (sides.isEmpty())
        sides = {QSize(10, 10), QSize(100, 100)};
    const QString quiltry = QCoreApplication::applicationDirPath() + QStringLiteral("/../../bin/quiltry");

    for (const QSize side : sides) {
        QTemporaryDir folder(QDir::currentPath() + QStringLiteral("/combine_bench-XXXXXX"));
        folder.setAutoRemove(qEnvironmentVariableIsEmpty("COMBINE_BENCH_KEEP"));
        const bool withGdal = !memoryOnly && side.width() <= 100 && side.height() <= 100;
        const QString project = GenerateTask(folder.path(), side, withGdal);
        const QString out = folder.path() + QStringLiteral("/out");
        const int tiles = side.width() * side.height();
        std::printf("%d x %d tiles (%d x %d pixels), %d cores\n", side.width(), side.height(), side.width() * 256, side.height() * 256,
            QThread::idealThreadCount());
        const QList<std::pair<const char*, QStringList>> runs = {
            {"quiltry tif (COG)", {QStringLiteral("out.tif")}},
            {"quiltry tif --no-overviews", {QStringLiteral("plain.tif"), QStringLiteral("--no-overviews")}},
            {"quiltry png", {QStringLiteral("out.png")}},
            {"quiltry mbtiles", {QStringLiteral("out.mbtiles")}},
            {"quiltry gpkg", {QStringLiteral("out.gpkg")}},
        };
        for (const auto& [what, arguments] : runs) {
            if (geotiffOnly && !arguments[0].endsWith(QStringLiteral(".tif")))
                continue;
            const QString target = folder.path() + u'/' + arguments[0];
            Report(what, tiles, RunChild(QStringList{quiltry, project, QStringLiteral("-o"), target} + arguments.mid(1)), target);
        }
        if (memoryOnly)
            continue;
        if (withGdal) {
            const QString vrt = folder.path() + QStringLiteral("/mosaic.vrt");
            const QString gdalTif = folder.path() + QStringLiteral("/gdal.tif");
            const Run build = RunChild({QStringLiteral("gdalbuildvrt"), QStringLiteral("-input_file_list"),
                folder.path() + QStringLiteral("/gdal_inputs.txt"), vrt});
            const Run translate = RunChild({QStringLiteral("gdal_translate"), QStringLiteral("-q"), QStringLiteral("-expand"),
                QStringLiteral("rgba"), QStringLiteral("-a_srs"), QStringLiteral("EPSG:3857"), QStringLiteral("-of"),
                QStringLiteral("COG"), QStringLiteral("-co"), QStringLiteral("COMPRESS=DEFLATE"), QStringLiteral("-co"),
                QStringLiteral("LEVEL=6"), QStringLiteral("-co"), QStringLiteral("OVERVIEW_RESAMPLING=AVERAGE"), vrt, gdalTif});
            const Run gdal{build.Seconds + translate.Seconds, std::max(build.PeakKiB, translate.PeakKiB), build.Ok && translate.Ok};
            Report("gdalbuildvrt + gdal_translate COG", tiles, gdal, gdalTif);
        }

        if (geotiffOnly)
            continue;
        // A zoom series over the same area: kZoom and the two levels above it.
        const QString seriesFolder = folder.path() + QStringLiteral("/series");
        QDir().mkpath(seriesFolder);
        QStringList members;
        QStringList imageFolders;
        for (int zoom = kZoom - 2; zoom <= kZoom; ++zoom) {
            members << GenerateTask(seriesFolder, side, false, zoom, SeriesProjectFileName(QStringLiteral("series.qtsk"), zoom));
            imageFolders << members.last().chopped(5);
        }
        qint64 seriesTiles = 0;
        for (const QString& folderName : imageFolders)
            seriesTiles += QDir(folderName).entryList({QStringLiteral("*.png")}, QDir::Files).size();
        std::printf("  zoom series %d to %d: %lld tiles\n", kZoom - 2, kZoom, seriesTiles);
        for (const char* ending : {"mbtiles", "gpkg"}) {
            const QString target = seriesFolder + QStringLiteral("/series.") + QLatin1String(ending);
            Report((QStringLiteral("quiltry series ") + QLatin1String(ending)).toLatin1().constData(), int(seriesTiles),
                RunChild(QStringList{quiltry} + members + QStringList{QStringLiteral("-o"), target}), target);
        }
        const QString script = folder.path() + QStringLiteral("/peer.py");
        WriteFile(script, kPythonPeer);
        const QString peerOut = seriesFolder + QStringLiteral("/peer.mbtiles");
        Report("python3 sqlite3 peer", int(seriesTiles),
            RunChild(QStringList{QStringLiteral("/usr/bin/python3"), script, peerOut} + imageFolders), peerOut);
    }
    return 0;
}
