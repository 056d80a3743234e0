#include "viewer/viewed_task.h"

#include "task/stored_shape.h"
#include "task/task_walk_of.h"
#include "geo/tile_math.h"

namespace {
QList<QPolygonF> OutlineInTiles(const QList<QList<QPointF>>& rings, int zoom)
{
    QList<QPolygonF> outline;
    for (const QList<QPointF>& ring : rings) {
        QPolygonF polygon;
        for (const QPointF& corner : ring)
            polygon << QPointF(LongitudeToTileXFraction(corner.x(), zoom), LatitudeToTileYFraction(corner.y(), zoom));
        outline << polygon;
    }
    return outline;
}

// The machine's cores go to decoding what is in view; the scan takes one more.
constexpr int kDecoderThreads = 2;
}

ViewedTask::ViewedTask(const QString& projectFile, QObject* parent)
    : QObject(parent), projectFile_(projectFile), opened_(OpenStoredTaskReadOnly(projectFile))
{
    const MDTask& task = *opened_.Task;
    coverage_ = CoverageMap::ForTask(task);
    if (const auto& shape = opened_.Parameters->Shape)
        outline_ = OutlineInTiles(shape->Outline(), Zoom());
    const TileStateRule rule = TileStateRule::ForTask(task);
    scan_ = std::make_unique<TileScan>(task, rule);
    decoder_ = std::make_unique<TileDecoder>(task, rule, kDecoderThreads);
    connect(scan_.get(), &TileScan::Listed, this, &ViewedTask::OnListed);
    connect(scan_.get(), &TileScan::Checked, this, &ViewedTask::OnChecked);
    connect(decoder_.get(), &TileDecoder::Decoded, this, &ViewedTask::OnDecoded);
    scan_->Start();
    // The validator file of a large task is long: read off the GUI thread.
    // Its report reaches this object only while it holds the job.
    agesJob_ = StartPoolJob(this, [this, file = TileValidatorsFileName(task)](const PoolJobContext& job) {
        const TileAges ages(ReadTileValidators(file), QDateTime::currentDateTimeUtc());
        job.Report([this, ages] {
            ages_ = ages;
            agesRead_ = true;
            emit CountsChanged();
            emit Changed();
        });
    }, PoolWork::Waiting);
}

ViewedTask::~ViewedTask() = default;

QRectF ViewedTask::TileArea() const
{
    const MDTask& task = *opened_.Task;
    return QRectF(QPointF(task.MinX, task.MinY), QPointF(double(task.MaxX) + 1, double(task.MaxY) + 1));
}

QRectF ViewedTask::RequestedArea() const
{
    const TaskParameters& p = *opened_.Parameters;
    return QRectF(QPointF(LongitudeToTileXFraction(p.LeftLongitude, p.Zoom), LatitudeToTileYFraction(p.TopLatitude, p.Zoom)),
                  QPointF(LongitudeToTileXFraction(p.RightLongitude, p.Zoom),
                          LatitudeToTileYFraction(p.BottomLatitude, p.Zoom)));
}

bool ViewedTask::IsShaped() const
{
    return opened_.Task->Walk.IsShaped();
}

bool ViewedTask::Contains(int x, int y) const
{
    return TaskHoldsTile(*opened_.Task, x, y);
}

std::optional<TileState> ViewedTask::StateOf(int x, int y)
{
    if (!Contains(x, y))
        return std::nullopt;
    if (const auto* entry = images_.FindAnySize(TileKey{x, y, 0}))
        return entry->State;
    return coverage_.TileStateAt(x, y);
}

void ViewedTask::Want(const QList<TileKey>& keys)
{
    decoder_->SetWanted(keys);
}

bool ViewedTask::IsDecoding() const
{
    return decoder_->IsBusy();
}

void ViewedTask::OnListed(const CoverageMap& coverage, const TileCounts& counts)
{
    coverage_ = coverage;
    // Tiles decoded before the listing arrived know better.
    for (const TileStateChange& early : decodedBeforeListing_)
        coverage_.SetTileState(early.X, early.Y, early.State);
    decodedBeforeListing_.clear();
    listed_ = true;
    counts_ = counts;
    filesToCheck_ = counts.Unchecked;
    emit CountsChanged();
    emit Changed();
}

void ViewedTask::OnChecked(const QList<TileStateChange>& changes, const TileCounts& counts, qint64 checked,
                           qint64 toCheck)
{
    // A tile decoded before its file came (or changed) shows what the check
    // found, and is decoded again when wanted.
    for (const TileStateChange& change : changes) {
        coverage_.SetTileState(change.X, change.Y, change.State);
        images_.ForgetOtherThan(change.X, change.Y, change.State);
    }
    counts_ = counts;
    filesChecked_ = checked;
    filesToCheck_ = toCheck;
    counted_ = checked == toCheck;
    emit CountsChanged();
    if (!changes.isEmpty())
        emit Changed();
}

void ViewedTask::OnDecoded(const TileKey& key, const QImage& image, TileState state)
{
    images_.Insert(key, image, state);
    coverage_.SetTileState(key.X, key.Y, state);
    if (!listed_)
        decodedBeforeListing_.append({key.X, key.Y, state});
    emit Changed();
}
