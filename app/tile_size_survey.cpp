#include "app/tile_size_survey.h"

namespace {
constexpr int kQuietTimeMs = 400;
}

TileSizeSurvey::TileSizeSurvey(QObject* parent) : QObject(parent)
{
    quietTime_.setSingleShot(true);
    quietTime_.setInterval(kQuietTimeMs);
    connect(&quietTime_, &QTimer::timeout, this, &TileSizeSurvey::StartSample);
}

TileSizeSurvey::~TileSizeSurvey()
{
    CancelSample();
}

void TileSizeSurvey::Survey(const QString& folder, const QString& filePrefix, const QString& extension)
{
    if (surveyed_ && folder == folder_ && filePrefix == prefix_ && extension == extension_)
        return;
    CancelSample();
    folder_ = folder;
    prefix_ = filePrefix;
    extension_ = extension;
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
    sampling_ = true;
    sample_ = StartPoolJob(this, [this, folder = folder_, prefix = prefix_, extension = extension_](const PoolJobContext& job) {
        const double average = SampleTileSizes(folder, prefix, kMaxEntries, job.CancelFlag(), extension).AverageTileBytes();
        if (job.CancelRequested())
            return;
        job.Report([this, average] {
            sampling_ = false;
            average_ = average;
            emit AverageFound();
        });
    });
}

// A sample still running ends at its next entry; its result is not used.
void TileSizeSurvey::CancelSample()
{
    quietTime_.stop();
    sample_.Drop();
    sampling_ = false;
}
