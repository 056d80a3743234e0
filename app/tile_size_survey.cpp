#include "app/tile_size_survey.h"

#include <QPromise>
#include <QThreadPool>

namespace {
constexpr int kQuietTimeMs = 400;
}

TileSizeSurvey::TileSizeSurvey(QObject* parent) : QObject(parent)
{
    quietTime_.setSingleShot(true);
    quietTime_.setInterval(kQuietTimeMs);
    connect(&quietTime_, &QTimer::timeout, this, &TileSizeSurvey::StartSample);
    connect(&watcher_, &QFutureWatcher<TileSizeSample>::finished, this, [this] {
        if (watcher_.future().resultCount() == 0)
            return;
        sampling_ = false;
        average_ = watcher_.result().AverageTileBytes();
        emit AverageFound();
    });
}

TileSizeSurvey::~TileSizeSurvey()
{
    CancelSample();
}

void TileSizeSurvey::Survey(const QString& folder, const QString& filePrefix)
{
    if (surveyed_ && folder == folder_ && filePrefix == prefix_)
        return;
    CancelSample();
    folder_ = folder;
    prefix_ = filePrefix;
    surveyed_ = true;
    average_.reset();
    quietTime_.start();
}

void TileSizeSurvey::Forget()
{
    CancelSample();
    surveyed_ = false;
    average_.reset();
}

double TileSizeSurvey::AverageTileBytes() const
{
    return average_.value_or(kDefaultTileBytes);
}

bool TileSizeSurvey::Sampling() const
{
    return quietTime_.isActive() || sampling_;
}

void TileSizeSurvey::StartSample()
{
    cancel_ = std::make_shared<std::atomic<bool>>(false);
    sampling_ = true;
    auto promise = std::make_shared<QPromise<TileSizeSample>>();
    watcher_.setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, cancel = cancel_, folder = folder_, prefix = prefix_] {
        promise->addResult(SampleTileSizes(folder, prefix, kMaxEntries, *cancel));
        promise->finish();
    });
}

// A sample still running ends at its next entry; its result is not used.
void TileSizeSurvey::CancelSample()
{
    quietTime_.stop();
    if (cancel_)
        *cancel_ = true;
    cancel_.reset();
    sampling_ = false;
    watcher_.setFuture(QFuture<TileSizeSample>());
}
