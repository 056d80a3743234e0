#include "combiner/combine.h"

#include "combiner/geotiff_writer.h"
#include "combiner/mbtiles_writer.h"
#include "combiner/png_writer.h"
#include "platform/app_error.h"
#include "task/opened_task.h"

#include <QDir>
#include <QLocale>
#include <cmath>
#include <future>

qint64 CombineProgress::SecondsLeft() const
{
    const double rate = TilesPerSecond();
    return rate > 0 ? qint64(std::ceil((Total - Done) / rate)) : -1;
}

QString CombineProgress::Text() const
{
    const QLocale locale;
    QString text = QStringLiteral("%1 of %2 tiles").arg(locale.toString(Done), locale.toString(Total));
    if (Done == 0 || Seconds <= 0)
        return text;
    text += QStringLiteral(", %1 tiles/s").arg(locale.toString(qRound64(TilesPerSecond())));
    const qint64 left = SecondsLeft();
    text += QStringLiteral(", %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
    return text;
}

void CombineCounts::Count(const SourceTile& tile)
{
    switch (tile.State) {
    case TileState::Stored: ++Stored; break;
    case TileState::Blank: ++Blank; break;
    case TileState::Failed: ++Failed; break;
    case TileState::Missing: ++Missing; break;
    case TileState::Unreadable: ++Unreadable; break;
    }
    if (tile.Scaled)
        ++Scaled;
}

QString CombineCounts::Text() const
{
    return QStringLiteral("%1 stored, %2 missing, %3 failed, %4 blank, %5 unreadable, %6 scaled")
        .arg(Stored).arg(Missing).arg(Failed).arg(Blank).arg(Unreadable).arg(Scaled);
}

QString TileNoteLine(const SourceTile& tile)
{
    if (tile.State != TileState::Stored) {
        const QString line = TileStateName(tile.State) + QStringLiteral(": ") + tile.FileName;
        return tile.Problem.isEmpty() ? line : line + QStringLiteral(" (") + tile.Problem + u')';
    }
    if (tile.Scaled)
        return QStringLiteral("scaled: ") + tile.FileName;
    return {};
}

std::unique_ptr<MosaicWriter> CreateMosaicWriter(OutputFormat format, const QString& target,
    const MosaicGeometry& geometry, const QString& taskName)
{
    switch (format) {
    case OutputFormat::GeoTiff: return std::make_unique<GeoTiffWriter>(target, geometry);
    case OutputFormat::Png: return std::make_unique<PngWriter>(target, geometry);
    case OutputFormat::MBTiles: return std::make_unique<MBTilesWriter>(target, geometry, taskName);
    }
    return nullptr;
}

namespace {
struct TileSpan {
    int Y, FirstX, Count;
};

// Rows top to bottom, each cut into spans of at most `length` tiles.
class TileSpans {
public:
    TileSpans(const MDTask& task, int length)
        : task_(task), length_(length), perRow_((qint64(task.MaxX) - task.MinX + length) / length) {}

    qint64 Count() const { return perRow_ * (qint64(task_.MaxY) - task_.MinY + 1); }

    TileSpan operator[](qint64 index) const
    {
        const qint64 x = task_.MinX + (index % perRow_) * length_;
        return {int(task_.MinY + index / perRow_), int(x), int(std::min<qint64>(length_, qint64(task_.MaxX) - x + 1))};
    }

private:
    const MDTask& task_;
    qint64 length_;
    qint64 perRow_;
};

// Counts the tiles and reports those that are not stored or were scaled; in
// strict mode the first tile that is not stored ends the run.
void ReportTiles(const std::vector<SourceTile>& tiles, bool strict, CombineCounts& counts, CombineObserver& observer)
{
    for (const SourceTile& tile : tiles) {
        counts.Count(tile);
        const QString note = TileNoteLine(tile);
        if (!note.isEmpty())
            observer.TileNote(note);
        if (strict && tile.State != TileState::Stored)
            throw AppError(QStringLiteral("Nothing was written: the tile %1 is %2, and strict mode takes only stored tiles.")
                               .arg(tile.FileName, TileStateName(tile.State)));
    }
}

void RefuseProjectFileAsTarget(const CombineRequest& request)
{
    if (QFileInfo(request.Target).absoluteFilePath() == QFileInfo(request.ProjectFile).absoluteFilePath())
        throw AppError(QStringLiteral("Cannot write %1: it is the task's own project file.")
                           .arg(QDir::toNativeSeparators(request.Target)));
}
}

CombineCounts Combine(const CombineRequest& request, CombineObserver& observer)
{
    RefuseProjectFileAsTarget(request);
    const OpenedTask opened = OpenTaskReadOnly(request.ProjectFile);
    const MDTask& task = *opened.Task;
    const TaskTileReader reader(task, TileStateRule::ForTask(task));
    const MosaicGeometry& geometry = reader.Geometry();
    const auto writer = CreateMosaicWriter(request.Format, request.Target, geometry,
        MDTask::TaskBase(opened.Parameters->TaskName));

    CombineCounts counts;
    CombineProgress progress{0, geometry.TileCount(), 0};
    QElapsedTimer clock;
    clock.start();
    observer.Progress(progress);
    // The next span is read (on all cores) while the writer stores this one:
    // two spans in memory at most.
    const TileSpans spans(task, writer->SpanLength());
    const auto prepare = [&writer](SourceTile& tile) { writer->PrepareTile(tile); };
    const auto read = [&](const TileSpan& span) {
        return reader.ReadSpan(span.Y, span.FirstX, span.Count, writer->NeedsPixels(), prepare);
    };
    std::future<std::vector<SourceTile>> next = std::async(std::launch::async, read, spans[0]);
    for (qint64 i = 0; i < spans.Count(); ++i) {
        const std::vector<SourceTile> tiles = next.get();
        if (observer.CancelRequested())
            throw CombineCancelled{};
        if (i + 1 < spans.Count())
            next = std::async(std::launch::async, read, spans[i + 1]);
        ReportTiles(tiles, request.Strict, counts, observer);
        writer->WriteSpan(tiles);
        progress.Done += qint64(tiles.size());
        progress.Seconds = clock.elapsed() / 1000.0;
        observer.Progress(progress);
    }
    if (observer.CancelRequested())
        throw CombineCancelled{};
    writer->Finish();
    return counts;
}
