#include "viewer/tile_scan.h"

#include "task/task_walk_of.h"
#include "task/download_task.h"
#include "viewer/tile_file_check.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QDateTime>
#include <QFileInfo>
#include <QSet>

namespace {
// Checked reports come at most this often, so the GUI thread stays free.
constexpr qint64 kReportEveryMs = 100;
// A running task's new tiles show within about a second.
constexpr int kFollowEveryMs = 400;
// The coarsest folder time of a common file system (FAT's two seconds).
constexpr qint64 kFolderTimeGrainMs = 2000;
// The workers take turns along the walk, and a slow one lags behind the rest:
// tiles this far before the furthest file seen may still come, and the next
// ones this far after it.
constexpr qint64 kFollowBehind = 256;
constexpr qint64 kFollowAhead = 256;

// The tile a file name stands for, when it is exactly the name the task
// gives that tile: prefix_x_y_zoom.png.
std::optional<QPoint> TileOfFileName(const MDTask& task, const QString& name)
{
    const QStringList parts = name.section(u'.', 0, 0).split(u'_');
    if (parts.size() != 4)
        return std::nullopt;
    bool columnOk = false, rowOk = false;
    const int x = parts[1].toInt(&columnOk);
    const int y = parts[2].toInt(&rowOk);
    if (!columnOk || !rowOk || !TaskHoldsTile(task, x, y))
        return std::nullopt;
    if (task.TileFileName(x, y) != name)
        return std::nullopt;
    return QPoint(x, y);
}
}

namespace {
// A tile read, in the counts of its state (failed: removed since it was listed).
void Count(TileCounts& counts, TileState state)
{
    switch (state) {
    case TileState::Stored: ++counts.Stored; break;
    case TileState::Blank: ++counts.Blank; break;
    case TileState::Unreadable: ++counts.Unreadable; break;
    case TileState::Failed: ++counts.Failed; break;
    case TileState::Missing: ++counts.Missing; break;
    }
}
}

TileScan::TileScan(const MDTask& task, TileStateRule rule, QObject* parent)
    : QObject(parent), task_(task), rule_(std::move(rule))
{
}

TileScan::~TileScan()
{
    job_ = PoolJob();
}

void TileScan::Start()
{
    job_ = StartPoolJob(this, [this](const PoolJobContext& job) { List(job); });
}

void TileScan::List(const PoolJobContext& job)
{
    CoverageMap coverage = CoverageMap::ForTask(task_);
    coverage.Fill(TileState::Missing);
    TileCounts counts;
    QList<FoundFile> files = ListFiles(job, coverage, counts);
    if (job.CancelRequested())
        return;
    MarkFailedTiles(coverage, counts);
    counts.Missing = task_.TotalCount - counts.Unchecked - counts.Failed;
    job.Report([this, files = std::move(files), coverage, counts] {
        emit Listed(coverage, counts);
        // Checking every file may take minutes; it runs only when the machine
        // has time to spare, so panning and decoding what is in view stay quick.
        job_ = StartPoolJob(this, [this, files, coverage, counts](const PoolJobContext& job) {
            Check(job, files, coverage, counts);
        }, PoolWork::Spare);
    });
}

void TileScan::Check(const PoolJobContext& job, const QList<FoundFile>& files, CoverageMap coverage, TileCounts counts)
{
    const TileCounts checked = CheckFiles(job, files, counts);
    if (job.CancelRequested() || checked.Missing + checked.Failed == 0)
        return;
    // Blocks of tiles tell no tile's state: not worth their memory while following.
    if (coverage.BlockSize() > 1)
        coverage = CoverageMap();
    job.Report([this, files, coverage, checked] {
        job_ = StartPoolJob(this, [this, files, coverage, checked](const PoolJobContext& job) mutable {
            Follow(job, std::move(files), coverage, checked);
        }, PoolWork::Waiting);
    });
}

QList<TileScan::FoundFile> TileScan::ListFiles(const PoolJobContext& job, CoverageMap& coverage, TileCounts& counts) const
{
    QList<FoundFile> files;
    QDirIterator folder(task_.ImageFolder, QDir::Files | QDir::Hidden);
    while (folder.hasNext() && !job.CancelRequested()) {
        const QFileInfo file = folder.nextFileInfo();
        const auto tile = TileOfFileName(task_, file.fileName());
        if (!tile)
            continue;
        files.append({tile->x(), tile->y()});
        coverage.SetTileState(tile->x(), tile->y(), TileState::Stored);
        ++counts.Unchecked;
        counts.BytesOnDisk += file.size();
    }
    // Row by row, as a reader of the map would look.
    std::sort(files.begin(), files.end(), [](const FoundFile& a, const FoundFile& b) {
        return std::tie(a.Y, a.X) < std::tie(b.Y, b.X);
    });
    return files;
}

void TileScan::MarkFailedTiles(CoverageMap& coverage, TileCounts& counts) const
{
    for (const QString& name : ReadFailedTileNames(task_.FailedFileName)) {
        const auto tile = TileOfFileName(task_, name);
        if (!tile || coverage.TileStateAt(tile->x(), tile->y()) == TileState::Stored)
            continue;
        if (coverage.BlockSize() > 1 && QFileInfo::exists(task_.TileFilePath(tile->x(), tile->y())))
            continue;
        const TileState state = rule_.ForMissingFile(name);
        coverage.SetTileState(tile->x(), tile->y(), state);
        if (state == TileState::Failed)
            ++counts.Failed;
    }
}

TileCounts TileScan::CheckFiles(const PoolJobContext& job, const QList<FoundFile>& files, TileCounts counts)
{
    QList<TileStateChange> changes;
    QElapsedTimer sinceReport;
    sinceReport.start();
    qint64 checked = 0;
    const qint64 toCheck = files.size();
    for (const FoundFile& file : files) {
        if (job.CancelRequested())
            return counts;
        const QString name = task_.TileFileName(file.X, file.Y);
        const TileFileContent content = ReadTileFile(task_.ImageFolder + name, name, rule_);
        --counts.Unchecked;
        Count(counts, content.State);
        ++checked;
        if (content.State != TileState::Stored)
            changes.append({file.X, file.Y, content.State});
        if (sinceReport.elapsed() >= kReportEveryMs) {
            job.Report([this, changes, counts, checked, toCheck] { emit Checked(changes, counts, checked, toCheck); });
            changes.clear();
            sinceReport.restart();
        }
    }
    job.Report([this, changes, counts, checked, toCheck] {
        emit Checked(changes, counts, checked, toCheck);
        emit Finished(counts);
    });
    return counts;
}

void TileScan::Follow(const PoolJobContext& job, QList<FoundFile> files, const CoverageMap& coverage, TileCounts counts)
{
    // Places count from 0 along the walk: a shaped task's places are its area's tiles.
    const TaskWalk walk = WalkOf(task_);
    const auto placeOf = [&](int x, int y) { return walk.PlaceOf(x, y) - 1; };
    qint64 furthest = -1;
    for (const FoundFile& file : files)
        furthest = std::max(furthest, placeOf(file.X, file.Y));
    qint64 from = std::max<qint64>(0, furthest - kFollowBehind);
    // Places in the walk from `from` on whose files are counted.
    QSet<qint64> seen;
    for (const FoundFile& file : files)
        if (placeOf(file.X, file.Y) >= from)
            seen.insert(placeOf(file.X, file.Y));
    // Files found unreadable once: perhaps still being written, so looked at again.
    QSet<qint64> unsure;
    qint64 checked = files.size();
    files = {};
    QDateTime folderChanged, lastLook;
    bool foundLastTime = false;
    while (!job.CancelRequested() && counts.Missing + counts.Failed > 0) {
        job.Pause(kFollowEveryMs);
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime changed = QFileInfo(task_.ImageFolder).lastModified();
        // Folder times are coarse: a file made just after the last look may
        // leave the time as it was, so only a time well before that look
        // proves nothing came since. A file found (or half written) last
        // time may have company still being written.
        const bool settled = changed == folderChanged && changed.msecsTo(lastLook) > kFolderTimeGrainMs;
        if (job.CancelRequested() || (settled && !foundLastTime))
            continue;
        folderChanged = changed;
        lastLook = now;
        QList<TileStateChange> changes;
        foundLastTime = false;
        for (qint64 place = from; place <= furthest + kFollowAhead && place < task_.TotalCount && !job.CancelRequested(); ++place) {
            if (seen.contains(place))
                continue;
            const auto [x, y] = walk.TileAt(place + 1);
            const QString name = task_.TileFileName(x, y);
            const QFileInfo file(task_.ImageFolder + name);
            if (!file.exists())
                continue;
            const TileFileContent content = ReadTileFile(file.filePath(), name, rule_);
            if (content.State == TileState::Unreadable && !unsure.contains(place)) {
                unsure.insert(place);
                foundLastTime = true;
                continue;
            }
            unsure.remove(place);
            if (coverage.TileStateAt(x, y) == TileState::Failed)
                --counts.Failed;
            else
                --counts.Missing;
            Count(counts, content.State);
            counts.BytesOnDisk += file.size();
            changes.append({x, y, content.State});
            seen.insert(place);
            furthest = std::max(furthest, place);
        }
        if (changes.isEmpty())
            continue;
        foundLastTime = true;
        checked += changes.size();
        job.Report([this, changes, counts, checked] { emit Checked(changes, counts, checked, checked); });
        from = std::max(from, furthest - kFollowBehind);
        seen.removeIf([from](qint64 place) { return place < from; });
    }
}
