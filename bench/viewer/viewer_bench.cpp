// Cost of the Map Viewer on large tasks.
//
//   QT_QPA_PLATFORM=offscreen build/bench/viewer/viewer_bench [folder]
//
// Builds two tasks in a temporary folder (or in `folder`, where a later run
// finds them again): 100,000 small tile files (all
// stored), and 1,000,000 tiles of which one in a hundred has a file. For
// each, in a 1280 x 1024 window: the time from creating the window to the
// first painted frame, the time until the scan has listed the files, the
// milliseconds per frame (mean and worst) while panning in coverage mode and
// in image mode (while tiles are being decoded, and once they are), and at
// the end the process's peak memory.
#include "geo/tile_math.h"
#include "support/run_until.h"
#include "task/download_task.h"
#include "viewer/viewed_task.h"
#include "viewer/window/map_view.h"
#include "viewer/window/viewer_window.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {
constexpr int kZoom = 14;
constexpr int kFirstColumn = 13000;
constexpr int kFirstRow = 6000;
constexpr int kFrames = 60;

double Milliseconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

long PeakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A full-size tile of a few hundred bytes.
QByteArray SmallPng()
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(120, 180, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A task of columns x rows tiles whose every `fileEvery`-th tile has a file.
QString MakeTask(const QString& folder, const QString& name, int columns, int rows, int fileEvery)
{
    if (QFileInfo::exists(folder + name))
        return folder + name;
    TaskParameters p;
    p.Zoom = kZoom;
    p.LeftLongitude = TileXToLongitude(kFirstColumn + 0.5, kZoom);
    p.RightLongitude = TileXToLongitude(kFirstColumn + columns - 0.5, kZoom);
    p.TopLatitude = TileYToLatitude(kFirstRow + 0.5, kZoom);
    p.BottomLatitude = TileYToLatitude(kFirstRow + rows - 0.5, kZoom);
    p.Path = folder;
    p.TaskName = name;
    const MDTask task(&p);
    task.WriteProjectFile();
    const QByteArray png = SmallPng();
    qint64 place = 0;
    for (int x = task.MinX; x <= task.MaxX; ++x)
        for (int y = task.MinY; y <= task.MaxY; ++y)
            if (place++ % fileEvery == 0) {
                QFile file(task.TileFilePath(x, y));
                if (file.open(QIODevice::WriteOnly))
                    file.write(png);
            }
    std::printf("  %s: %lld tiles, %lld files\n", qPrintable(name), task.TotalCount, (place + fileEvery - 1) / fileEvery);
    return p.Path + p.TaskName;
}

struct FrameTimes {
    double Mean = 0;
    double Worst = 0;
};

FrameTimes PanFrames(MapView& view)
{
    FrameTimes times;
    for (int i = 0; i < kFrames; ++i) {
        view.Geometry().PanBy(QPointF(i % 20 < 10 ? 9 : -9, i % 40 < 20 ? 5 : -5));
        QElapsedTimer frame;
        frame.start();
        view.repaint();
        const double ms = Milliseconds(frame);
        times.Mean += ms / kFrames;
        times.Worst = std::max(times.Worst, ms);
        QCoreApplication::processEvents();
    }
    return times;
}

void Report(const char* what, const FrameTimes& times)
{
    std::printf("  %-44s %7.2f ms mean, %7.2f ms worst\n", what, times.Mean, times.Worst);
}

void Measure(const QString& projectFile)
{
    std::printf("%s\n", qPrintable(QFileInfo(projectFile).fileName()));
    QElapsedTimer clock;
    clock.start();
    ViewerWindow window;
    window.resize(1280, 1024);
    window.show();
    window.OpenTask(projectFile);
    window.View()->repaint();
    std::printf("  %-44s %7.1f ms\n", "first painted frame", Milliseconds(clock));
    RunEventsUntil([&] { return window.Task()->IsListed(); }, 600000);
    std::printf("  %-44s %7.1f ms\n", "files listed (coverage complete)", Milliseconds(clock));

    MapView& view = *window.View();
    Report("coverage mode, whole task", PanFrames(view));
    view.Geometry().ZoomAt(QPointF(640, 512), 8);
    if (view.IsCoverageMode())
        Report("coverage mode, zoomed in", PanFrames(view));

    // The smallest tiles the image mode draws: the most images per frame.
    view.Geometry().ZoomAt(QPointF(640, 512), MapView::kCoverageBelowPixels / view.Geometry().PixelsPerTile());
    std::printf("  image mode at %.0f px per tile\n", view.Geometry().PixelsPerTile());
    Report("image mode, tiles being decoded", PanFrames(view));
    QElapsedTimer decoding;
    decoding.start();
    RunEventsUntil([&] { return !window.Task()->IsDecoding(); }, 600000);
    std::printf("  %-44s %7.1f ms\n", "rest of the view decoded", Milliseconds(decoding));
    Report("image mode, tiles decoded", PanFrames(view));
    view.Geometry().ZoomAt(QPointF(640, 512), 256 / view.Geometry().PixelsPerTile());
    Report("image mode, full-size tiles", PanFrames(view));
    RunEventsUntil([&] { return window.Task()->IsCounted(); }, 600000);
    std::printf("  %-44s %7.1f ms\n", "every file checked (summary complete)", Milliseconds(clock));
    std::printf("  %-44s %7ld MB\n", "peak memory so far", PeakMemoryMb());
}
}

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The recent-files list of the user stays as it is.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir temporary;
    const QString path = (argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path()) + u'/';
    std::printf("building the tasks in %s\n", qPrintable(path));
    const QString full = MakeTask(path, QStringLiteral("tiles_100k.qtsk"), 316, 317, 1);
    const QString sparse = MakeTask(path, QStringLiteral("tiles_1m.qtsk"), 1000, 1000, 100);
    Measure(full);
    Measure(sparse);
    std::printf("peak memory: %ld MB\n", PeakMemoryMb());
    return 0;
}
