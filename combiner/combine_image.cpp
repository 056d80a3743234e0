#include "combiner/combine_run.h"
#include "combiner/geotiff_writer.h"
#include "combiner/png_writer.h"

#include <QFileInfo>

namespace {
std::unique_ptr<MosaicWriter> CreateImageWriter(const CombineRun& run, const MosaicGeometry& geometry)
{
    const CombineRequest& request = run.Request();
    if (request.Format == OutputFormat::Png)
        return std::make_unique<PngWriter>(request.Target, geometry, run.Attribution());
    return std::make_unique<GeoTiffWriter>(request.Target, geometry, GeoTiffOptions{request.Overviews, run.Attribution()});
}

// An image holds one zoom level: the deepest given, joining every task of
// that zoom in the order given. The report says which tasks it leaves out.
std::vector<size_t> ChooseTasks(CombineRun& run)
{
    const std::vector<OpenedTask>& tasks = run.Tasks();
    int deepest = 0;
    for (const OpenedTask& task : tasks)
        deepest = std::max(deepest, task.Parameters->Zoom);
    std::vector<size_t> chosen;
    QStringList names;
    for (size_t i = 0; i < tasks.size(); ++i)
        if (tasks[i].Parameters->Zoom == deepest) {
            chosen.push_back(i);
            names << tasks[i].Parameters->TaskName;
        }
    const QString format = run.Request().Format == OutputFormat::Png ? QStringLiteral("a PNG") : QStringLiteral("a GeoTIFF");
    if (run.Request().LowerZooms >= 0)
        run.Observer().TileNote(QStringLiteral("lower zooms: none built, %1 holds one zoom level (MBTiles and GeoPackage hold several)").arg(format));
    for (const OpenedTask& task : tasks)
        if (task.Parameters->Zoom != deepest)
            run.Observer().TileNote(QStringLiteral("left out: %1 (zoom %2): %3 holds one zoom level, zoom %4 of %5")
                                        .arg(task.Parameters->TaskName).arg(task.Parameters->Zoom).arg(format)
                                        .arg(deepest).arg(names.join(QStringLiteral(", "))));
    return chosen;
}
}

void CombineImage(CombineRun& run)
{
    const MosaicTileReader reader(run.Tasks(), ChooseTasks(run));
    const auto writer = CreateImageWriter(run, reader.Geometry());
    run.AddToTotal(reader.Geometry().TileCount());
    run.ReadMosaic(reader, writer->SpanLength(), writer->NeedsPixels(),
        [&writer](SourceTile& tile) { writer->PrepareTile(tile); },
        [&writer](const std::vector<SourceTile>& tiles) { writer->WriteSpan(tiles); });
    run.CheckCancel();
    writer->Finish();
}
