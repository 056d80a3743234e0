#include "combiner/window/tile_count.h"

#include "task/download_task.h"
#include "task/opened_task.h"

TileCount::TileCount(std::shared_ptr<const OpenedTask> task, QObject* parent)
    : QObject(parent)
{
    job_ = StartPoolJob(this, [this, task = std::move(task)](const PoolJobContext& job) {
        const qint64 total = std::max<qint64>(1, task->Task->TotalCount);
        int shown = -1;
        try {
            TileTaskSummary summary = SummariseTask(*task->Task, [&](qint64 counted) {
                const int percent = int(counted * 100 / total);
                if (percent != shown) {
                    shown = percent;
                    job.Report([this, percent] { emit Progressed(percent); });
                }
                return !job.CancelRequested();
            });
            if (!job.CancelRequested())
                job.Report([this, summary = std::move(summary)] { emit Counted(summary); });
        } catch (const std::exception&) {
            job.Report([this] { emit Failed(); });
        }
    });
}

TileCount::~TileCount()
{
    job_.Drop();
}
