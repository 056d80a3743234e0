#include "combiner/combine.h"

#include "task/stored_shape.h"
#include "combiner/combine_run.h"
#include "platform/app_error.h"
#include "platform/work_pool.h"
#include "task/task_size_estimate.h"
#include "task/zoom_series.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>
#include <optional>

qint64 CombineProgress::SecondsLeft() const
{
    const double rate = TilesPerSecond();
    return rate > 0 ? qint64(std::ceil((Total - Done) / rate)) : -1;
}

QString CombineProgress::Text() const
{
    QString text = QStringLiteral("%1 of %2 tiles").arg(GroupedNumber(Done), GroupedNumber(Total));
    if (Done == 0 || Seconds <= 0)
        return text;
    text += QStringLiteral(", %1 tiles/s").arg(GroupedNumber(qRound64(TilesPerSecond())));
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
    QString text = QStringLiteral("%1 stored, %2 missing, %3 failed, %4 blank, %5 unreadable, %6 scaled")
                       .arg(GroupedNumber(Stored), GroupedNumber(Missing), GroupedNumber(Failed), GroupedNumber(Blank),
                           GroupedNumber(Unreadable), GroupedNumber(Scaled));
    if (Converted)
        text += QStringLiteral(", %1 converted").arg(GroupedNumber(Converted));
    if (Duplicate)
        text += QStringLiteral(", %1 duplicate").arg(GroupedNumber(Duplicate));
    if (Built)
        text += QStringLiteral(", %1 built").arg(GroupedNumber(Built));
    return text;
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

namespace {
QString FileNameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}

std::vector<OpenedTask> OpenTasks(const CombineRequest& request)
{
    if (request.ProjectFiles.isEmpty())
        throw AppError(QStringLiteral("Name a task to combine."));
    std::vector<OpenedTask> tasks;
    for (const QString& file : request.ProjectFiles) {
        if (QFileInfo(request.Target).absoluteFilePath() == QFileInfo(file).absoluteFilePath())
            throw AppError(QStringLiteral("Cannot write %1: it is the task's own project file.")
                               .arg(QDir::toNativeSeparators(request.Target)));
        tasks.push_back(OpenStoredTaskReadOnly(file));
    }
    const auto prefixOf = [](const OpenedTask& task) { return MapFilePrefix(task.Parameters->MapsType, task.Parameters->Source.get()); };
    const int mapType = tasks.front().Parameters->MapsType;
    for (size_t i = 1; i < tasks.size(); ++i)
        if (tasks[i].Parameters->MapsType != mapType || prefixOf(tasks[i]) != prefixOf(tasks.front()))
            throw AppError(QStringLiteral("Tasks of different map types cannot be combined: %1 is of map type %2, %3 of map type %4.")
                               .arg(FileNameOf(request.ProjectFiles[0]), prefixOf(tasks.front()),
                                   FileNameOf(request.ProjectFiles[qsizetype(i)]), prefixOf(tasks[i])));
    return tasks;
}
}

QString CombineRun::Attribution() const
{
    const MapSource* source = tasks_.front().Parameters->Source.get();
    return source ? source->Attribution : request_.Servers.AttributionFor(MapType());
}

CombineRun::CombineRun(const CombineRequest& request, CombineObserver& observer)
    : request_(request), observer_(observer), tasks_(OpenTasks(request))
{
    clock_.start();
}

QString CombineRun::Name() const
{
    // The members of a zoom series go by the series' name.
    if (const auto series = ParseSeriesProjectFileName(request_.ProjectFiles.front()))
        return MDTask::TaskBase(QFileInfo(series->BaseProjectFile).fileName());
    return MDTask::TaskBase(tasks_.front().Parameters->TaskName);
}

void CombineRun::Advance(qint64 tiles)
{
    progress_.Done = std::min(progress_.Done + tiles, progress_.Total);
    progress_.Seconds = clock_.elapsed() / 1000.0;
    observer_.Progress(progress_);
}

void CombineRun::CheckCancel() const
{
    if (observer_.CancelRequested())
        throw CombineCancelled{};
}

// Counts the tile and reports it when it is not stored or was scaled; in
// strict mode the first tile that is not stored ends the run.
void CombineRun::ReportTile(const SourceTile& tile)
{
    counts_.Count(tile);
    const QString note = TileNoteLine(tile);
    if (!note.isEmpty())
        observer_.TileNote(note);
    if (request_.Strict && tile.State != TileState::Stored)
        throw AppError(QStringLiteral("Nothing was written: the tile %1 is %2, and strict mode takes only stored tiles.")
                           .arg(tile.FileName, TileStateName(tile.State)));
}

void CombineRun::NoteDuplicate(const SourceTile& tile, size_t index, size_t keptFrom)
{
    ++counts_.Duplicate;
    observer_.TileNote(QStringLiteral("duplicate: %1 of %2, kept from %3")
                           .arg(tile.FileName, tasks_[index].Parameters->TaskName, tasks_[keptFrom].Parameters->TaskName));
}

// Places no task covers are no task's tiles: neither counted nor reported.
void CombineRun::ReportTiles(const MosaicSpan& span)
{
    for (const SourceTile& tile : span.Shown)
        if (tile.Task >= 0)
            ReportTile(tile);
    const int firstX = span.Shown.empty() ? 0 : span.Shown.front().X;
    for (const SourceTile& tile : span.Hidden) {
        ReportTile(tile);
        const SourceTile& shown = span.Shown[size_t(tile.X - firstX)];
        if (tile.State == TileState::Stored && shown.State == TileState::Stored)
            NoteDuplicate(tile, size_t(tile.Task), size_t(shown.Task));
    }
}

namespace {
struct TileSpan {
    int Y, FirstX, Count;
};

// Rows top to bottom, each cut into spans of at most `length` tiles.
class TileSpans {
public:
    TileSpans(const MosaicGeometry& area, int length)
        : area_(area), length_(length), perRow_((area.Columns + length - 1) / length) {}

    qint64 Count() const { return perRow_ * area_.Rows; }

    TileSpan operator[](qint64 index) const
    {
        const qint64 column = (index % perRow_) * length_;
        return {int(area_.MinY + index / perRow_), int(area_.MinX + column), int(std::min<qint64>(length_, area_.Columns - column))};
    }

private:
    const MosaicGeometry& area_;
    qint64 length_;
    qint64 perRow_;
};
}

void CombineRun::ReadMosaic(const MosaicTileReader& reader, int spanLength, bool wantPixels,
    const std::function<void(SourceTile&)>& prepare, const std::function<void(const std::vector<SourceTile>&)>& consume)
{
    observer_.Progress(progress_);
    // The next span is read (on all cores) while this one is consumed: two
    // spans in memory at most.
    const TileSpans spans(reader.Geometry(), spanLength);
    std::optional<MosaicSpan> read;
    const auto readAhead = [&](const TileSpan& span) {
        return StartPoolJob(nullptr, [&read, &reader, span, wantPixels, &prepare](const PoolJobContext&) {
            read = reader.ReadSpan(span.Y, span.FirstX, span.Count, wantPixels, prepare);
        });
    };
    PoolJob next = readAhead(spans[0]);
    for (qint64 i = 0; i < spans.Count(); ++i) {
        next.Wait();
        const MosaicSpan span = std::move(*read);
        CheckCancel();
        if (i + 1 < spans.Count())
            next = readAhead(spans[i + 1]);
        ReportTiles(span);
        consume(span.Shown);
        Advance(qint64(span.Shown.size()));
    }
}

CombineCounts Combine(const CombineRequest& request, CombineObserver& observer)
{
    CombineRun run(request, observer);
    if (IsTileSetFormat(request.Format))
        CombineTileSet(run);
    else
        CombineImage(run);
    return run.Counts();
}
