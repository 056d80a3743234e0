#include "combiner/combine_run.h"
#include "combiner/geotiff_writer.h"
#include "combiner/png_writer.h"

#include <QFileInfo>

namespace {
std::unique_ptr<MosaicWriter> CreateImageWriter(const CombineRun& run, const MosaicGeometry& geometry)
{
    const CombineRequest& request = run.Request();
    if (request.Format == OutputFormat::Png)
        return std::make_unique<PngWriter>(request.Target, geometry);
    return std::make_unique<GeoTiffWriter>(request.Target, geometry,
        GeoTiffOptions{request.Overviews, request.Servers.AttributionFor(run.MapType())});
}

// An image holds one zoom level: the deepest given, from the first task of
// that zoom. The report says which tasks it leaves out.
size_t ChooseTask(CombineRun& run)
{
    const std::vector<OpenedTask>& tasks = run.Tasks();
    size_t chosen = 0;
    for (size_t i = 1; i < tasks.size(); ++i)
        if (tasks[i].Parameters->Zoom > tasks[chosen].Parameters->Zoom)
            chosen = i;
    const QString format = run.Request().Format == OutputFormat::Png ? QStringLiteral("a PNG") : QStringLiteral("a GeoTIFF");
    for (size_t i = 0; i < tasks.size(); ++i) {
        if (i == chosen)
            continue;
        run.Observer().TileNote(QStringLiteral("left out: %1 (zoom %2): %3 holds one zoom level, zoom %4 of %5")
                                    .arg(tasks[i].Parameters->TaskName).arg(tasks[i].Parameters->Zoom).arg(format)
                                    .arg(tasks[chosen].Parameters->Zoom).arg(tasks[chosen].Parameters->TaskName));
    }
    return chosen;
}
}

void CombineImage(CombineRun& run)
{
    const OpenedTask& task = run.Tasks()[ChooseTask(run)];
    const MosaicGeometry geometry = MosaicGeometry::ForTask(*task.Task);
    const auto writer = CreateImageWriter(run, geometry);
    run.AddToTotal(geometry.TileCount());
    run.ReadTask(task, writer->SpanLength(), writer->NeedsPixels(),
        [&writer](SourceTile& tile) { writer->PrepareTile(tile); },
        [&writer](const std::vector<SourceTile>& tiles) { writer->WriteSpan(tiles); });
    run.CheckCancel();
    writer->Finish();
}
