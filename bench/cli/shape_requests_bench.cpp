// The requests a route's task sends against its rectangle's, through the
// built program: `tessaly new --shape route.gpx --corridor ... --run` and
// `tessaly new --area <the route's bounds> --run` fetch from nginx on
// 127.0.0.1 (static tiles over the whole rectangle, MapnikPause=0). Each run
// must store every tile of its task (exit status 0), so its requests are the
// tile files it leaves; reported with the time each run took.
//
//   scripts/bench-setup.sh; build/bench/cli/shape_requests_bench [kilometres] [zoom] [corridor metres]
//
// Default: the 300 km sample route at zoom 15 with 1 km on each side.
#include "geo/area_shape.h"
#include "geo/tile_math.h"
#include "nginx_tile_server.h"
#include "placed_program.h"
#include "route_gpx.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {
struct TaskRun {
    bool AllStored = false;
    qint64 Requests = 0;
    double Seconds = 0;
};

TaskRun RunNew(const QString& program, const QString& folder, const QStringList& area, int zoom)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer elapsed;
    elapsed.start();
    process.start(program, QStringList{QStringLiteral("new"), QStringLiteral("sample")} + area
        + QStringList{QStringLiteral("--zoom"), QString::number(zoom), QStringLiteral("--folder"), folder,
            QStringLiteral("--yes"), QStringLiteral("--run")});
    process.waitForFinished(-1);
    TaskRun run;
    run.Seconds = double(elapsed.nsecsElapsed()) / 1e9;
    run.AllStored = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    run.Requests = QDir(folder + QStringLiteral("/sample")).entryList(QDir::Files).size();
    return run;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const double kilometres = argc > 1 ? std::atof(argv[1]) : 300;
    const int zoom = argc > 2 ? std::atoi(argv[2]) : 15;
    const double corridor = argc > 3 ? std::atof(argv[3]) : 1000;
    QTemporaryDir work, exe;
    const QString route = work.filePath(QStringLiteral("route.gpx"));
    QFile file(route);
    if (!work.isValid() || !exe.isValid() || !file.open(QIODevice::WriteOnly) || file.write(RouteGpx(kilometres)) < 0)
        return 1;
    file.close();
    const ShapeResult shape = ReadShape({route, {}, corridor});
    if (!shape.Ok()) {
        std::printf("%s\n", qPrintable(shape.ProblemText));
        return 1;
    }
    const AreaShape& area = *shape.Shape;
    const TileBlock rectangle{zoom, LongitudeToTileX(area.West(), zoom), LongitudeToTileX(area.East(), zoom),
        LatitudeToTileY(area.North(), zoom), LatitudeToTileY(area.South(), zoom)};
    const NginxTileServer server(QDir::tempPath(), rectangle, QByteArray(64, 't'));
    if (server.BaseUrl().isEmpty() || !PlaceProgram(exe.path(), server.BaseUrl())) {
        std::printf("%s\n", qPrintable(server.Failure()));
        return 1;
    }
    const QString program = exe.filePath(QStringLiteral("tessaly"));
    std::printf("%.0f km route, zoom %d, corridor %.0f m on each side; nginx serves its rectangle's %lld tiles\n",
        kilometres, zoom, corridor, rectangle.Count());
    const TaskRun shaped = RunNew(program, work.filePath(QStringLiteral("shaped")),
        {QStringLiteral("--shape"), route, QStringLiteral("--corridor"), QString::number(corridor) + u'm'}, zoom);
    const TaskRun boxed = RunNew(program, work.filePath(QStringLiteral("rectangle")),
        {QStringLiteral("--area"), QStringLiteral("%1,%2,%3,%4").arg(area.West(), 0, 'g', 17).arg(area.East(), 0, 'g', 17)
            .arg(std::min(area.North(), 85.0), 0, 'g', 17).arg(std::max(area.South(), -85.0), 0, 'g', 17)}, zoom);
    std::printf("  shaped task     %lld requests, %.1f s%s\n", shaped.Requests, shaped.Seconds,
        shaped.AllStored ? "" : " (NOT all stored)");
    std::printf("  rectangle task  %lld requests, %.1f s%s\n", boxed.Requests, boxed.Seconds,
        boxed.AllStored ? "" : " (NOT all stored)");
    if (shaped.Requests > 0)
        std::printf("  the rectangle sends %.1f times the requests\n", double(boxed.Requests) / double(shaped.Requests));
    return shaped.AllStored && boxed.AllStored ? 0 : 1;
}
