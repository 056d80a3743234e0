#include "recovery/redownload_job.h"

#include "platform/app_error.h"
#include "recovery/failed_tile_redownload.h"

RedownloadJob::RedownloadJob(HttpClientSettings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings))
{
}

void RedownloadJob::Start(const QString& listFile)
{
    job_ = StartPoolJob(this, [this, listFile](const PoolJobContext& job) { Run(job, listFile); }, PoolWork::Waiting);
}

void RedownloadJob::Run(const PoolJobContext& job, const QString& listFile)
{
    FailedTileRedownload run(settings_, [this, &job](const QString& line) { Log(job, line); });
    run.StopOn(job.CancelFlag());
    RedownloadEnd end;
    try {
        run.RunFile(listFile);
    } catch (...) {
        end.Problem = ErrorText(std::current_exception());
    }
    const FailedTileRedownload::LineTally tally = run.Tally();
    end.ListOpened = tally.ListOpened;
    end.Fetched = tally.Fetched;
    end.NotFetched = tally.NotFetched;
    end.Stopped = job.CancelRequested();
    job.Report([this, end] { emit Ended(end); });
}

void RedownloadJob::Log(const PoolJobContext& job, const QString& line)
{
    std::lock_guard lock(mutex_);
    pending_ << line;
    if (deliveryQueued_)
        return;
    deliveryQueued_ = true;
    job.Report([this] {
        QStringList lines;
        {
            std::lock_guard lock(mutex_);
            lines.swap(pending_);
            deliveryQueued_ = false;
        }
        emit Logged(lines);
    });
}
