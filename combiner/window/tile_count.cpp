#include "combiner/window/tile_count.h"

#include "task/opened_task.h"

#include <QtConcurrent/QtConcurrentRun>

TileCount::TileCount(std::shared_ptr<const OpenedTask> task, QObject* parent)
    : QObject(parent)
{
    connect(&watcher_, &QFutureWatcherBase::progressValueChanged, this, &TileCount::Progressed);
    connect(&watcher_, &QFutureWatcherBase::finished, this, [this] {
        if (watcher_.future().resultCount() > 0)
            emit Counted(watcher_.result());
        else if (!watcher_.isCanceled())
            emit Failed();
    });
    // The job holds the task itself: it may outlive this object by a tile.
    watcher_.setFuture(QtConcurrent::run([task = std::move(task)](QPromise<TileTaskSummary>& promise) {
        const qint64 total = MosaicGeometry::ForTask(*task->Task).TileCount();
        promise.setProgressRange(0, 100);
        TileTaskSummary summary = SummariseTask(*task->Task, [&](qint64 counted) {
            promise.setProgressValue(int(counted * 100 / std::max<qint64>(1, total)));
            return !promise.isCanceled();
        });
        if (!promise.isCanceled())
            promise.addResult(std::move(summary));
    }));
}

TileCount::~TileCount()
{
    watcher_.disconnect(this);
    watcher_.cancel();
}
