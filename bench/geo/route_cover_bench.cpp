// The tiles of a route's corridor: reads a long diagonal route from a GPX
// file, buffers it and works out its tile cover, then reports the times, the
// tile count against the route's rectangle, and the peak memory of the
// process.
//
//   build/bench/geo/route_cover_bench [kilometres] [zoom] [corridor metres]
//
// Default: 2,000 km at zoom 18 with 1 km on each side (goal: the cover in
// under 2 s and the process under 100 MB), then a 300 km sample at zoom 15.

#include "geo/area_shape.h"
#include "geo/tile_cover.h"
#include "geo/tile_math.h"
#include "route_gpx.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {
long PeakMemoryKiB()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Measure(double kilometres, int zoom, double corridorMetres)
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath("route.gpx");
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(RouteGpx(kilometres)) < 0)
        std::exit(1);
    file.close();

    QElapsedTimer timer;
    timer.start();
    const ShapeResult route = ReadShape({fileName, {}, corridorMetres});
    const double readSeconds = timer.nsecsElapsed() / 1e9;
    if (!route.Ok()) {
        std::printf("%s\n", qPrintable(route.ProblemText));
        std::exit(1);
    }
    timer.restart();
    const TileCover cover(*route.Shape, zoom);
    const double coverSeconds = timer.nsecsElapsed() / 1e9;

    const double rectangle = (static_cast<double>(cover.MaxX()) - cover.MinX() + 1)
        * (static_cast<double>(cover.MaxY()) - cover.MinY() + 1);
    std::printf("%.0f km route, zoom %d, corridor %.0f m on each side\n", kilometres, zoom, corridorMetres);
    std::printf("  read and corridor  %.3f s\n", readSeconds);
    std::printf("  tile cover         %.3f s\n", coverSeconds);
    std::printf("  tiles              %lld\n", static_cast<long long>(cover.Count()));
    std::printf("  rectangle's tiles  %.0f (%.0f times as many)\n", rectangle, rectangle / cover.Count());
    std::printf("  peak memory        %.1f MB\n", PeakMemoryKiB() / 1024.0);
}
}  // namespace

int main(int argc, char* argv[])
{
    if (argc > 1) {
        Measure(std::atof(argv[1]), argc > 2 ? std::atoi(argv[2]) : 18, argc > 3 ? std::atof(argv[3]) : 1000);
        return 0;
    }
    Measure(2000, 18, 1000);
    Measure(300, 15, 1000);
    return 0;
}
